// The S-record reader on arbitrary bytes and an arbitrary address window: the
// validation pass, the rewind, the sending pass, and the reports the
// programming run builds from every record that goes out.
#include "fuzzcheck.h"
#include "programmingrun.h"
#include "srecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

namespace {

QString imagePath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("marlow-fuzz-srecord-%1.s19").arg(qint64(::getpid())));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    // The three Settings fields as typed, and the micro option.
    const QString flashStart = QString::fromLatin1(in.ConsumeRandomLengthString(12));
    const QString bootloaderStart = QString::fromLatin1(in.ConsumeRandomLengthString(12));
    const QString bootloaderEnd = QString::fromLatin1(in.ConsumeRandomLengthString(12));
    const auto micro = Micro(in.ConsumeIntegralInRange<int>(0, 3));
    const std::string image = in.ConsumeRemainingBytesAsString();

    QFile file(imagePath());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(image.data(), qint64(image.size())) == qint64(image.size()));
    file.close();

    const AddressWindow window = AddressWindow::fromFields(flashStart, bootloaderStart, bootloaderEnd, micro);
    S19Reader reader;
    FUZZ_CHECK(reader.open(imagePath()));
    const S19Reader::Validation validation = reader.validate(window);
    if (!validation.ok) {
        FUZZ_CHECK(!validation.message.isEmpty());
        return 0;
    }
    FUZZ_CHECK(validation.total >= 0 && validation.total % 4 == 0);

    // The sending pass yields exactly what the validation pass counted, and
    // only records the validation pass let through.
    FUZZ_CHECK(reader.rewind());
    S19Record record;
    int records = 0;
    qint64 total = 0;
    while (reader.next(window, record)) {
        ++records;
        total += record.n;
        FUZZ_CHECK(window.accepts(record.address));
        FUZZ_CHECK(record.n >= 0 && record.n % 4 == 0 && record.n <= S19Reader::MaxRecordBytes);
        // Unless the line cut its address field to an odd number of digits, the
        // module is told the very address the window accepted.
        const auto header = BootloaderReports::header(record);
        const quint32 address = quint32(record.address);
        FUZZ_CHECK(record.addressText.size() % 2 != 0 ||
                   (header[0] == std::uint8_t(address >> 24) && header[1] == std::uint8_t(address >> 16) &&
                    header[2] == std::uint8_t(address >> 8) && header[3] == std::uint8_t(address)));
        FUZZ_CHECK(header[4] == record.n);
        const QByteArray bytes = record.data();
        for (int j = 0; j < 4; ++j) {
            const auto report = BootloaderReports::data(record, j);
            for (int i = 0; i < 8; ++i) {
                const int k = 8 * j + i;
                if (k < bytes.size())
                    FUZZ_CHECK(report[std::size_t(i)] == std::uint8_t(bytes[k]));
                else if (k >= record.n)
                    FUZZ_CHECK(report[std::size_t(i)] == 0);
            }
        }
    }
    FUZZ_CHECK(records == validation.records && total == validation.total);
    reader.close();
    return 0;
}
