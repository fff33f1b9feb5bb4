#include "transfer.h"
#include "ansicodec.h"
#include "cellvalue.h"
#include "messageset.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "tablediff.h"

namespace Transfer {

using namespace MessageSet;
namespace usb = NonBlockingUSB;

namespace {

// The parameter table's values; column 0 holds the labels.
constexpr int ValueColumn = 1;

// Cells are reached by making them current, as the window's other users of
// the grids expect: an edit in progress is committed when its cell is left.
QString visit(FlexGrid &grid, int row, int col)
{
    grid.setRow(row);
    grid.setCol(col);
    return grid.Text();
}

// Places stream bytes in OutBuffer and hands each report over as its eighth byte lands.
class StreamWriter {
public:
    void put(std::uint8_t byte)
    {
        usb::OutBuffer[m_pos++] = byte;
        if (m_pos == ReportBytes) {
            m_unwritten += int(!usb::WriteReport());
            m_pos = 0;
            ++m_written;
        }
    }
    void putZeros(int count)
    {
        for (int i = 0; i < count; ++i)
            put(0);
    }
    // Zeros the rest of a partly filled report and sends it.
    void finish() { putZeros((ReportBytes - m_pos) % ReportBytes); }
    int written() const { return m_written; }
    int unwritten() const { return m_unwritten; }

private:
    int m_pos = 0;
    int m_written = 0;
    int m_unwritten = 0;
};

// Walks an answer that spans reports, byte by byte. A report whose read fails
// would leave the previous report's bytes in InBuffer; the reader notes it so
// that no stale byte is ever taken for the module's.
class AnswerReader {
public:
    // `firstArrived`: the result of reading the answer's first report.
    explicit AnswerReader(bool firstArrived) : m_arrived(int(firstArrived)), m_lost(!firstArrived) {}
    std::uint8_t next()
    {
        if (m_pos == ReportBytes) {
            if (usb::ReadReport())
                ++m_arrived;
            else
                m_lost = true;
            m_pos = 0;
        }
        return usb::InBuffer[m_pos++];
    }
    int arrived() const { return m_arrived; }
    bool lost() const { return m_lost; }

private:
    int m_pos = 0;
    int m_arrived;
    bool m_lost;
};

struct NameRead {
    QString name;
    bool cut = false;     // a report never came, the first included
    bool tooLong = false; // no zero byte within the characters a setup block can carry
};

// Collects the name from the name reports, the first of which has just been
// read. Bounded: a module may never send the zero byte, and a failed read
// would otherwise offer the same eight non-zero bytes again and again.
NameRead collectName(bool firstArrived)
{
    NameRead out;
    AnswerReader in(firstArrived);
    if (in.lost()) {
        out.cut = true;
        return out;
    }
    for (;;) {
        const std::uint8_t byte = in.next();
        if (in.lost()) {
            out.cut = true;
            break;
        }
        if (byte == 0)
            break;
        if (out.name.size() == MaxBoardNameLength) {
            out.tooLong = true;
            // Whatever else the module queued belongs to this overlong name;
            // left queued, it would be taken as the answer to the next command.
            usb::Drain();
            break;
        }
        out.name += Ansi::Character(byte);
    }
    return out;
}

QString numberProblem(const QString &text, double integer, const QString &allowed)
{
    const QString counted = CellText(integer);
    const QString found =
        text.trimmed() == counted ? counted : QStringLiteral("\"%1\", which counts as %2").arg(text, counted);
    return QStringLiteral("it holds %1, outside the range %2").arg(found, allowed);
}

QString characterProblem(int position, char32_t character)
{
    return Ansi::Describe(position, character) +
           QStringLiteral(" is not one the module can store in a name: it takes the characters of Windows-1252");
}

const QString ByteRange = QStringLiteral("0 to 255");
const QString RpmRange = QStringLiteral("-255 to 65535");

// Each field's check, the same for Send and for Unsendable: empty when the
// field's encoding carries the text.
QString byteProblem(const QString &text)
{
    const double integer = CellInteger(CellValue(text));
    return ByteField(integer) ? QString() : numberProblem(text, integer, ByteRange);
}
QString rpmProblem(const QString &text)
{
    const double integer = CellInteger(CellValue(text));
    return RpmField(integer) ? QString() : numberProblem(text, integer, RpmRange);
}
QString nameLengthProblem(qsizetype length)
{
    return length <= MaxBoardNameLength ? QString()
                                        : QStringLiteral("it has %1 characters, and the module takes at most %2")
                                              .arg(length)
                                              .arg(MaxBoardNameLength);
}

} // namespace

QString FieldError::message() const
{
    const QString after = reportsWritten == 0
                              ? QStringLiteral("Nothing was sent to the module.")
                              : QStringLiteral("The module received only the part of the calibration before it.");
    return QStringLiteral("Send stopped at %1: %2. %3 Correct the value and send again.").arg(place, problem, after);
}

QString SendResult::message() const
{
    if (error)
        return error->message();
    return QStringLiteral("Download Complete");
}

QList<FieldError> Unsendable(const CalibrationTables &t)
{
    QList<FieldError> found;
    auto check = [&found](const QString &place, const QString &problem) {
        if (!problem.isEmpty())
            found.append({place, problem});
    };
    for (int r = 1; r <= MapSize; ++r)
        for (int c = 1; c <= MapSize; ++c)
            check(TableDiff::mapPlace(r, c), byteProblem(t.map().TextMatrix(r, c)));
    for (int c = 1; c <= MapSize; ++c)
        check(TableDiff::brakePlace(c), byteProblem(t.brake().TextMatrix(0, c)));
    const QList<uint> characters = t.param(BoardName).toUcs4();
    check(parameterLabel(BoardName), nameLengthProblem(characters.size()));
    for (ParamRow row : {RpmStart, RpmIncrement})
        check(parameterLabel(row), rpmProblem(t.param(row)));
    for (ParamRow row : {LoadStart, LoadIncrement})
        check(parameterLabel(row), byteProblem(t.param(row)));
    if (characters.size() <= MaxBoardNameLength)
        for (int i = 0; i < int(characters.size()); ++i)
            if (!Ansi::Code(char32_t(characters[i])))
                found.append({parameterLabel(BoardName), characterProblem(i + 1, char32_t(characters[i]))});
    return found;
}

SendResult Send(CalibrationTables &t, Misc &misc, const std::function<void()> &beforeLastRead)
{
    StreamWriter out;
    int unanswered = 0;
    auto stop = [&](const QString &place, const QString &problem) {
        return SendResult{FieldError{place, problem, out.written()}, out.written(), out.unwritten(), unanswered};
    };
    auto &map = t.map();
    auto &brake = t.brake();
    auto &params = t.params();
    auto byteOf = [](const QString &text) { return ByteField(CellInteger(CellValue(text))); };

    // A field the module cannot hold stops the send where it stands rather than
    // after a check of the whole calibration: the reports before it are already
    // on their way, and the message says so.
    out.put(WriteTables);
    for (int r = 1; r <= MapSize; ++r) {
        for (int c = 1; c <= MapSize; ++c) {
            const QString text = visit(map, r, c);
            const auto byte = byteOf(text);
            if (!byte)
                return stop(TableDiff::mapPlace(r, c), byteProblem(text));
            out.put(*byte);
        }
    }
    for (int c = 1; c <= MapSize; ++c) {
        const QString text = visit(brake, 0, c);
        const auto byte = byteOf(text);
        if (!byte)
            return stop(TableDiff::brakePlace(c), byteProblem(text));
        out.put(*byte);
    }
    for (ParamRow row : {MaxPosition, MaxAdjust, MaxBoost})
        out.put(LimitField(CellInteger(CellValue(visit(params, row, ValueColumn)))));
    out.putZeros(4);

    misc.Sleep(50);
    unanswered += int(!usb::ReadReport());
    misc.Wait(2000);

    const QString name = visit(params, BoardName, ValueColumn);
    const QList<uint> characters = name.toUcs4();
    const int length = int(characters.size());
    if (length > MaxBoardNameLength)
        return stop(parameterLabel(BoardName), nameLengthProblem(length));

    auto putRpm = [&](ParamRow row) {
        const QString text = visit(params, row, ValueColumn);
        const auto bytes = RpmField(CellInteger(CellValue(text)));
        if (!bytes)
            return std::optional(stop(parameterLabel(row), rpmProblem(text)));
        out.put((*bytes)[0]);
        out.put((*bytes)[1]);
        return std::optional<SendResult>();
    };
    auto putLoad = [&](ParamRow row) {
        const QString text = visit(params, row, ValueColumn);
        const auto byte = byteOf(text);
        if (!byte)
            return std::optional(stop(parameterLabel(row), byteProblem(text)));
        out.put(*byte);
        return std::optional<SendResult>();
    };

    out.put(WriteSetup);
    out.put(static_cast<std::uint8_t>(SetupLength(length)));
    out.putZeros(2);
    if (auto e = putRpm(RpmStart))
        return *e;
    out.putZeros(2);
    if (auto e = putRpm(RpmIncrement))
        return *e;
    if (auto e = putLoad(LoadStart))
        return *e;
    if (auto e = putLoad(LoadIncrement))
        return *e;
    // The name's characters are due: back to its cell, whose text was taken
    // for the length a moment ago with no event in between.
    visit(params, BoardName, ValueColumn);
    for (int i = 0; i < length; ++i) {
        const char32_t character = characters[i];
        const auto code = Ansi::Code(character);
        if (!code)
            return stop(parameterLabel(BoardName), characterProblem(i + 1, character));
        out.put(*code);
    }
    out.putZeros(SetupFill(length) + 1);
    out.finish();

    misc.Sleep(50);
    if (beforeLastRead)
        beforeLastRead();
    unanswered += int(!usb::ReadReport());
    return {std::nullopt, out.written(), out.unwritten(), unanswered};
}

QString ReceiveResult::message() const
{
    const QString again = QStringLiteral(" Receive again to read the whole calibration.");
    switch (outcome) {
    case Complete:
    case NoAnswer: return {};
    case TablesCut:
        return QStringLiteral("Receive stopped: the module stopped answering after %1 of its %2 table reports. The "
                              "cells filled until then show the module's values; the rest of the calibration is "
                              "as it was.")
                   .arg(tableReports)
                   .arg(TablesReports) +
               again;
    case ScalingMissing:
        return QStringLiteral("Receive stopped: the module did not send its axis scaling. The map, brake row and "
                              "limits show the module's values; the axis scaling and board name are as they were.") +
               again;
    case NameCut:
        return QStringLiteral("Receive stopped: the module stopped answering during the board name. Everything else "
                              "shows the module's values, but the board name shown is not the module's whole name.") +
               again;
    case NameTooLong:
        return QStringLiteral("The module's board name did not end within %1 characters; only the first %1 are shown.")
            .arg(MaxBoardNameLength);
    }
    return {};
}

ReceiveResult Receive(CalibrationTables &t, Misc &misc)
{
    ReceiveResult result;
    auto &map = t.map();
    auto &brake = t.brake();
    auto &params = t.params();

    usb::Drain();
    usb::SetCommand(ReadTables);
    usb::WriteReport();
    misc.Sleep(50);
    AnswerReader tables(usb::ReadReport());
    if (tables.lost()) {
        result.outcome = ReceiveResult::NoAnswer;
        return result;
    }
    // A report that never came stops the walk before its cells: the previous
    // report's bytes, still in InBuffer, are not the module's values for them.
    auto take = [&](FlexGrid &grid, int row, int col) {
        const std::uint8_t byte = tables.next();
        if (tables.lost())
            return false;
        visit(grid, row, col);
        grid.setText(QString::number(byte));
        return true;
    };
    bool whole = true;
    for (int r = 1; whole && r <= MapSize; ++r)
        for (int c = 1; whole && c <= MapSize; ++c)
            whole = take(map, r, c);
    for (int c = 1; whole && c <= MapSize; ++c)
        whole = take(brake, 0, c);
    for (ParamRow row : {MaxPosition, MaxAdjust, MaxBoost})
        whole = whole && take(params, row, ValueColumn);
    result.tableReports = tables.arrived();
    if (!whole) {
        result.outcome = ReceiveResult::TablesCut;
        return result;
    }

    usb::SetCommand(ReadSetup);
    usb::WriteReport();
    misc.Sleep(50);
    if (!usb::ReadReport()) {
        result.outcome = ReceiveResult::ScalingMissing;
        return result;
    }
    const auto scaling = usb::InBuffer;
    auto put = [&params](ParamRow row, int value) {
        visit(params, row, ValueColumn);
        params.setText(QString::number(value));
    };
    put(RpmStart, scaling[0] * 256 + scaling[1]);
    put(LoadStart, scaling[2]);
    put(RpmIncrement, scaling[3] * 256 + scaling[4]);
    put(LoadIncrement, scaling[5]);

    misc.Sleep(10);
    const bool firstNameReport = usb::ReadReport();
    const NameRead name = collectName(firstNameReport);
    // Without its first report the name is not touched; with it, the cell
    // shows what came, all of it or the part before a lost report.
    if (firstNameReport) {
        visit(params, BoardName, ValueColumn);
        params.setText(name.name);
    }
    if (name.cut)
        result.outcome = ReceiveResult::NameCut;
    else if (name.tooLong)
        result.outcome = ReceiveResult::NameTooLong;
    return result;
}

bool Verify(CalibrationTables &t, Misc &misc, ModuleAnswer *answer)
{
    auto &map = t.map();
    auto &brake = t.brake();
    auto &params = t.params();
    CalibrationTables *module = answer ? answer->tables : nullptr;

    usb::Drain();
    bool verdict = true;
    bool whole = true;
    usb::SetCommand(ReadTables);
    usb::WriteReport();
    misc.Sleep(50);
    // Every report is read and every field compared whatever went wrong before,
    // so the whole answer is consumed. A report that never came fails the
    // verdict: the bytes compared in its place were another report's.
    AnswerReader tables(usb::ReadReport());
    auto compare = [&](FlexGrid &grid, FlexGrid *moduleGrid, int row, int col, int received) {
        if (CellValue(visit(grid, row, col)) != received)
            verdict = false;
        if (moduleGrid)
            moduleGrid->setTextMatrix(row, col, QString::number(received));
    };
    FlexGrid *moduleParams = module ? &module->params() : nullptr;
    for (int r = 1; r <= MapSize; ++r)
        for (int c = 1; c <= MapSize; ++c)
            compare(map, module ? &module->map() : nullptr, r, c, tables.next());
    for (int c = 1; c <= MapSize; ++c)
        compare(brake, module ? &module->brake() : nullptr, 0, c, tables.next());
    for (ParamRow row : {MaxPosition, MaxAdjust, MaxBoost})
        compare(params, moduleParams, row, ValueColumn, tables.next());
    if (tables.lost())
        whole = false;

    usb::SetCommand(ReadSetup);
    usb::WriteReport();
    misc.Sleep(50);
    if (!usb::ReadReport())
        whole = false;
    const auto scaling = usb::InBuffer;
    compare(params, moduleParams, RpmStart, ValueColumn, scaling[0] * 256 + scaling[1]);
    compare(params, moduleParams, LoadStart, ValueColumn, scaling[2]);
    compare(params, moduleParams, RpmIncrement, ValueColumn, scaling[3] * 256 + scaling[4]);
    compare(params, moduleParams, LoadIncrement, ValueColumn, scaling[5]);

    const NameRead name = collectName(usb::ReadReport());
    const QString shown = visit(params, BoardName, ValueColumn);
    if (moduleParams)
        moduleParams->setTextMatrix(BoardName, ValueColumn, name.name);
    if (name.cut || name.tooLong)
        whole = false;
    if (answer)
        answer->whole = whole;
    return verdict && whole && name.name == shown;
}

} // namespace Transfer
