// Writes the two example images in examples/, for the default JM64 window
// (flash 0x4000 to 0xFFFF outside the bootloader):
//   example-jm64.s19    4112 bytes of code from 0x4000 in 32-byte records,
//                       the last record 16 bytes, framed by S0, S5 and S9;
//   malformed-jm64.s19  starts the same way, then a record at 0x8000 with 15
//                       data bytes, which the tuner refuses before sending.
// The bytes come from a fixed generator, so every run writes the same files.
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class Image {
public:
    explicit Image(const char *header)
    {
        record('0', 0, std::vector<std::uint8_t>(header, header + std::char_traits<char>::length(header)));
    }

    // An S1 (4-digit), S5 or S9 record; checksum over count, address and data.
    void record(char type, std::uint32_t address, const std::vector<std::uint8_t> &data)
    {
        const int count = 2 + int(data.size()) + 1;
        unsigned sum = unsigned(count) + (address >> 8 & 0xFF) + (address & 0xFF);
        QByteArray line = QByteArray("S") + type + hex(count) + hex(address >> 8 & 0xFF) + hex(address & 0xFF);
        for (std::uint8_t b : data) {
            line += hex(b);
            sum += b;
        }
        line += hex(~sum & 0xFF);
        m_text += line + "\r\n";
        if (type == '1')
            ++m_dataRecords;
    }

    void code(std::uint32_t address, int bytes, std::uint32_t &seed)
    {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < bytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            data.push_back(std::uint8_t(seed >> 16));
        }
        record('1', address, data);
    }

    bool write(const QString &path, std::uint32_t entry)
    {
        record('5', std::uint32_t(m_dataRecords), {});
        record('9', entry, {});
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(m_text) != m_text.size()) {
            std::fprintf(stderr, "make-example-s19: cannot write %s: %s\n", qPrintable(path),
                         qPrintable(file.errorString()));
            return false;
        }
        return true;
    }

private:
    static QByteArray hex(unsigned value) { return QByteArray::number(value, 16).toUpper().rightJustified(2, '0'); }
    QByteArray m_text;
    int m_dataRecords = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-example-s19 FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    std::uint32_t seed = 0x4D564754;
    Image good("example-jm64");
    for (std::uint32_t a = 0x4000; a < 0x5000; a += 32)
        good.code(a, 32, seed);
    good.code(0x5000, 16, seed);

    seed = 0x4D564754;
    Image bad("malformed-jm64");
    for (std::uint32_t a = 0x4000; a < 0x4100; a += 32)
        bad.code(a, 32, seed);
    bad.code(0x8000, 15, seed);

    return good.write(folder.filePath(QStringLiteral("example-jm64.s19")), 0x4000) &&
                   bad.write(folder.filePath(QStringLiteral("malformed-jm64.s19")), 0x4000)
               ? 0
               : 1;
}
