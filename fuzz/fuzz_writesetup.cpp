// The WriteSetup stream over arbitrary board names and axis scaling texts,
// sent to the virtual module: a send that completes leaves the module holding
// exactly what the window shows, its name up to any zero character, and
// Receive brings that name back; a send that stops says where, and the module
// keeps its setup.
#include "ansicodec.h"
#include "cellvalue.h"
#include "fuzzcheck.h"
#include "journal.h"
#include "messageset.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "simcalibration.h"
#include "transfer.h"
#include "virtualmodule.h"

#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

QString text(FuzzedDataProvider &in, int kind, std::size_t maxBytes)
{
    const std::string bytes = maxBytes ? in.ConsumeRandomLengthString(maxBytes) : in.ConsumeRemainingBytesAsString();
    switch (kind) {
    case 0: return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    case 1: return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    default: {
        std::u16string units(bytes.size() / 2, u'\0');
        std::memcpy(units.data(), bytes.data(), units.size() * 2);
        return QString::fromStdU16String(units);
    }
    }
}

int cellInteger(const CalibrationTables &t, ParamRow row)
{
    return int(MessageSet::CellInteger(CellValue(t.param(row))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Journal journal;
    VirtualMisc misc(&journal);
    VirtualModule module(misc);
    module.setJournal(&journal);
    NonBlockingUSB::UseBackend(&module);
    NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));

    CalibrationTables tables;
    SetUpGrids(tables);
    const int kind = in.ConsumeIntegralInRange(0, 2);
    for (ParamRow row : {RpmStart, RpmIncrement, LoadStart, LoadIncrement})
        tables.params().setTextMatrix(row, 1, text(in, 1, 12));
    const QString name = text(in, kind, 0);
    tables.params().setTextMatrix(BoardName, 1, name);

    const HeldCalibration before = module.calibration().held();
    const Transfer::SendResult sent = Transfer::Send(tables, misc);
    const HeldCalibration &held = module.calibration().held();
    if (!sent.complete()) {
        FUZZ_CHECK(!sent.message().isEmpty());
        FUZZ_CHECK(held.boardName == before.boardName && held.rpmStart == before.rpmStart &&
                   held.loadIncrement == before.loadIncrement);
        NonBlockingUSB::UseBackend(nullptr);
        return 0;
    }

    // Where the name's characters went on the wire: the length byte counts the
    // stream after itself, a multiple of 8 within one byte.
    const QList<uint> characters = name.toUcs4();
    const int length = int(characters.size());
    const int n = MessageSet::SetupLength(length);
    FUZZ_CHECK(n % 8 == 0 && n >= 16 && n <= 248);
    FUZZ_CHECK(module.writesReceived() == MessageSet::TablesReports + n / 8 + 1);
    const QByteArray setupStart = journal.writes().at(MessageSet::TablesReports).payload;
    FUZZ_CHECK(std::uint8_t(setupStart[0]) == MessageSet::WriteSetup && std::uint8_t(setupStart[1]) == n);

    // Every character went as its code, a zero code among them, and zeros to
    // the end; the module keeps the name up to its first zero.
    QByteArray codes;
    for (uint c : characters)
        codes.append(char(*Ansi::Code(char32_t(c))));
    QByteArray setup;
    for (const auto &write : journal.writes().mid(MessageSet::TablesReports))
        setup += write.payload;
    FUZZ_CHECK(setup.mid(12) == codes + QByteArray(setup.size() - 12 - codes.size(), '\0'));
    FUZZ_CHECK(held.boardName == codes.split('\0').constFirst());
    auto rpm = [](int v) { return quint16((v / 256 & 0xFF) << 8 | (v & 0xFF)); };
    FUZZ_CHECK(held.rpmStart == rpm(cellInteger(tables, RpmStart)));
    FUZZ_CHECK(held.rpmIncrement == rpm(cellInteger(tables, RpmIncrement)));
    FUZZ_CHECK(held.loadStart == cellInteger(tables, LoadStart));
    FUZZ_CHECK(held.loadIncrement == cellInteger(tables, LoadIncrement));

    CalibrationTables back;
    SetUpGrids(back);
    FUZZ_CHECK(Transfer::Receive(back, misc).outcome == Transfer::ReceiveResult::Complete);
    const QString shown =
        QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), characters.size());
    FUZZ_CHECK(back.param(BoardName) == shown.section(QChar(0), 0, 0));
    NonBlockingUSB::UseBackend(nullptr);
    return 0;
}
