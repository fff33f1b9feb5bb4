#include "marlowvgt.h"
#include "calibrationfile.h"
#include "linkcommands.h"
#include "liveinputs.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "operatingpoint.h"
#include "programmingrun.h"
#include "reflashaccess.h"
#include "startoptions.h"
#include "tablediff.h"
#include "transfer.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <map>
#include <optional>

using namespace MarlowVgt;

namespace {

const QString programName = QStringLiteral("marlow-vgt");
const QString udevHint = QStringLiteral("install the udev rule (see README)");

// The log's shortest interval: its two exchanges each wait for their reply.
constexpr int MinIntervalMs = 2 * LinkCommand::ReplyWaitMs;

QString exitTable()
{
    QString text = QStringLiteral("Exit status:\n");
    for (int code = Done; code <= Interrupted; ++code)
        text += QStringLiteral("  %1  %2\n").arg(code).arg(QLatin1String(ExitMeanings[code]));
    return text + QStringLiteral("With --json a failure prints no JSON: its message goes to stderr.\n");
}

int fail(QTextStream &err, int code, const QString &message)
{
    err << programName << ": " << message << '\n';
    err.flush();
    return code;
}

// The one place where an exchange's result becomes an exit code. An overlong
// name came whole as far as it goes: the file is written and the tool refuses.
int exitCodeFor(const Transfer::ReceiveResult &result)
{
    switch (result.outcome) {
    case Transfer::ReceiveResult::Complete: return Done;
    case Transfer::ReceiveResult::NameTooLong: return DifferencesOrRefused;
    default: return LinkFailed;
    }
}
int exitCodeFor(const Transfer::SendResult &result)
{
    return !result.complete() ? DifferencesOrRefused : result.linkLost() ? LinkFailed : Done;
}
int exitCodeFor(bool verified, const Transfer::ModuleAnswer &answer)
{
    return !answer.whole ? LinkFailed : verified ? Done : DifferencesOrRefused;
}

// The transport opens the first matching device every time; --instance picks
// another one for the whole run.
class PinnedInstance final : public UsbHidApi {
public:
    PinnedInstance(UsbHidApi &inner, int instance) : m_inner(inner) { m_inner.SetInstance(instance); }
    void SetInstance(int) override {}
    int Open(int vendorId, int productId, const char *manufacturer, const char *serial, const char *deviceName,
             int getReportLengths) override
    {
        return m_inner.Open(vendorId, productId, manufacturer, serial, deviceName, getReportLengths);
    }
    void GetReportLengths(int *inputLength, int *outputLength) override
    {
        m_inner.GetReportLengths(inputLength, outputLength);
    }
    int Write(ConstReportBuffer report) override { return m_inner.Write(report); }
    int Read(ReportBuffer report) override { return m_inner.Read(report); }
    OpenProblem LastOpenProblem() const override { return m_inner.LastOpenProblem(); }
    std::vector<DeviceInfo> Enumerate(int vendorId, int productId) override
    {
        return m_inner.Enumerate(vendorId, productId);
    }

private:
    UsbHidApi &m_inner;
};

// The transport is process-wide: a run hands it back empty, whichever way it ends.
struct TransportInUse {
    explicit TransportInUse(UsbHidApi &api) { NonBlockingUSB::UseBackend(&api); }
    ~TransportInUse() { NonBlockingUSB::UseBackend(nullptr); }
    TransportInUse(const TransportInUse &) = delete;
    TransportInUse &operator=(const TransportInUse &) = delete;
};

struct Session {
    Context &context;
    const QCommandLineParser &parser;
    QStringList arguments; // the command's own, after its name
    bool json = false;
    bool instanceChosen = false;
    QString board; // the board that answered

    bool interrupted() const { return context.interrupt && *context.interrupt; }
    int fail(int code, const QString &message) { return ::fail(context.err, code, message); }
    void progress(const QString &what)
    {
        if (context.errIsTerminal) {
            context.err << what << "...\n";
            context.err.flush();
        }
    }
    // Text as it is, or the JSON object on one line.
    void result(const QString &text, const QJsonObject &object)
    {
        if (json)
            context.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
        else
            context.out << text;
    }
};

struct Command {
    QString name;
    QString arguments; // as the usage line shows them
    QString summary;
    bool needsLink;
    void (*addOptions)(QCommandLineParser &);
    int (*run)(Session &);
};

const QString noModuleText = QStringLiteral("No module found on USB");

std::vector<UsbHidApi::DeviceInfo> modulesPresent()
{
    return NonBlockingUSB::Backend()->Enumerate(NonBlockingUSB::ModuleVendorId, NonBlockingUSB::ModuleProductId);
}

// Opens the module as Connect does, the KTRM first and then the PNDX.
int openModule(Session &s, bool needKtrm)
{
    const ModuleOpen opened = OpenModule();
    s.board = opened.board;
    if (s.board.isEmpty())
        return s.fail(NoModule, opened.problem.isEmpty() ? noModuleText : opened.problem);
    // With two alike on the bus, which one answered is chance: a script must say.
    if (!s.instanceChosen) {
        const auto devices = modulesPresent();
        const auto alike = std::count_if(devices.begin(), devices.end(),
                                         [&s](const auto &device) { return device.product == s.board.toStdString(); });
        if (alike > 1)
            return s.fail(Usage, QStringLiteral("%1 modules answer as %2: choose one with --instance (%3 list shows "
                                                "them)")
                                     .arg(alike)
                                     .arg(s.board, programName));
    }
    NonBlockingUSB::Connected = true;
    NonBlockingUSB::Drain();
    if (needKtrm && s.board != QLatin1String("KTRM"))
        return s.fail(DifferencesOrRefused, KtrmNotFoundText());
    return Done;
}

QString fileProblem(const QString &path, const FileError &error)
{
    return QStringLiteral("%1: %2 (error %3)").arg(path, error.description).arg(error.number);
}

// Reads a calibration file as Open does into tables set up as the window's.
int load(Session &s, const QString &path, CalibrationTables &tables)
{
    SetUpGrids(tables);
    QFile file(path);
    FileError error = CalibrationFile::openForReading(file);
    if (!error)
        error = CalibrationFile::read(tables, file);
    return error ? s.fail(Usage, fileProblem(path, error)) : Done;
}

// Writes as Save does once the user agreed to write over a file already there.
int save(Session &s, CalibrationTables &tables, const QString &path)
{
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    FileError error = CalibrationFile::openForWriting(file);
    if (!error)
        error = CalibrationFile::writeOver(tables, file, QStringLiteral(" "));
    file.close();
    if (error && !existed)
        file.remove(); // nothing half-written is left where there was nothing
    return error ? s.fail(Usage, fileProblem(path, error)) : Done;
}

void noOptions(QCommandLineParser &) {}

int runList(Session &s)
{
    const auto devices = modulesPresent();
    std::map<std::string, int> instances; // Open counts each device name apart
    QString text;
    QJsonArray modules;
    for (const auto &device : devices) {
        const int instance = instances[device.product]++;
        const QString board = QString::fromStdString(device.product);
        const QString path = QString::fromStdString(device.path);
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(instance)
                    .arg(board, path,
                         device.mayOpen ? QStringLiteral("may open") : QStringLiteral("may not open: ") + udevHint);
        modules.append(
            QJsonObject{{"instance", instance}, {"board", board}, {"path", path}, {"mayOpen", device.mayOpen}});
    }
    // A script reads an empty list; a person is told why it is empty.
    s.result(text, {{"modules", modules}});
    return devices.empty() ? s.fail(NoModule, noModuleText) : Done;
}

int runVersion(Session &s)
{
    if (const int code = openModule(s, false))
        return code;
    const BoardVersion version = RequestBoardVersion(s.context.misc);
    if (!version.answered)
        return s.fail(LinkFailed, QStringLiteral("The module did not answer."));
    const QString text = BoardVersionText(version);
    s.result(text + u'\n', {{"board", s.board}, {"major", version.major}, {"minor", version.minor}, {"text", text}});
    return Done;
}

// A receive that stopped short says so; nothing that came is kept.
int receiveFailed(Session &s, const Transfer::ReceiveResult &result, const QString &what)
{
    const QString message =
        result.message().isEmpty() ? QStringLiteral("The module did not answer.") : result.message();
    return s.fail(exitCodeFor(result), message + u' ' + what);
}

int runReceive(Session &s)
{
    const QString path = s.arguments[0];
    // A folder that is not there is told before the module is asked for anything.
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return s.fail(Usage, fileProblem(path, CalibrationFile::error(CalibrationFile::PathNotFound)));
    // A swapped argument must not cost a kept calibration: Save asks first, and so must a script.
    if (QFileInfo::exists(path) && !s.parser.isSet(QStringLiteral("force")))
        return s.fail(Usage,
                      QStringLiteral("%1 is there already, and receive writes over it only with --force").arg(path));
    if (const int code = openModule(s, true))
        return code;
    CalibrationTables tables;
    SetUpGrids(tables);
    s.progress(QStringLiteral("Receiving the calibration"));
    const Transfer::ReceiveResult received = Transfer::Receive(tables, s.context.misc);
    const int code = exitCodeFor(received);
    if (code == LinkFailed)
        return receiveFailed(s, received, path + QStringLiteral(" was not written."));
    UpdateAxisHeadings(tables);
    if (const int written = save(s, tables, path))
        return written;
    s.result(QStringLiteral("Save Complete\n"), {{"file", path}, {"boardName", tables.param(BoardName)}});
    return code == Done ? Done : s.fail(code, received.message());
}

// The Verify exchange; on a mismatch, the fields of its answer that differ.
int verifyAgainst(Session &s, CalibrationTables &file, QJsonObject json, QString text)
{
    s.progress(QStringLiteral("Verifying"));
    CalibrationTables module;
    SetUpGrids(module);
    Transfer::ModuleAnswer answer{&module};
    const bool same = Transfer::Verify(file, s.context.misc, &answer);
    json.insert("verified", same);
    text += same ? QStringLiteral("Verified OK\n") : QStringLiteral("Verified FAILED\n");
    if (!same && answer.whole) {
        UpdateAxisHeadings(module);
        const auto differences = TableDiff::diff(file, module);
        if (s.json)
            json.insert("differences",
                        TableDiff::toJson(differences, QStringLiteral("file"), QStringLiteral("module")));
        else
            text += TableDiff::toText(differences, QStringLiteral("file"), QStringLiteral("module"));
    }
    s.result(text, json);
    if (!answer.whole)
        return s.fail(exitCodeFor(same, answer), QStringLiteral("The module's answer was incomplete: the differing "
                                                                "fields are unknown. Verify again."));
    return exitCodeFor(same, answer);
}

// What the module may hold after a send the link let down.
QString linkLostText(const Transfer::SendResult &sent, const QString &file)
{
    const QString counts = QStringLiteral("The module stopped answering during the send: %1 of %2 reports did not "
                                          "go out, and %3 of its 2 acknowledgements did not come. ")
                               .arg(sent.unwritten)
                               .arg(sent.reports)
                               .arg(sent.unanswered);
    if (sent.unwritten == sent.reports)
        return counts + QStringLiteral("It holds the calibration it had.");
    return counts +
           (sent.unwritten == 0 ? QStringLiteral("It may hold all of %1, or only part of it.")
                                : QStringLiteral("It may hold part of %1 with part of the calibration it "
                                                 "had."))
               .arg(file) +
           QStringLiteral(" Send again.");
}

int runSend(Session &s)
{
    CalibrationTables tables;
    if (const int code = load(s, s.arguments[0], tables))
        return code;
    // The whole file is checked before the first report: a send that stopped
    // part-way would leave the module with half of each calibration.
    const QList<Transfer::FieldError> refused = Transfer::Unsendable(tables);
    if (!refused.isEmpty()) {
        QJsonArray fields;
        for (const Transfer::FieldError &field : refused) {
            s.context.err << programName << ": " << field.place << ": " << field.problem << '\n';
            fields.append(QJsonObject{{"field", field.place}, {"problem", field.problem}});
        }
        if (s.json)
            s.result({}, {{"sent", false}, {"refused", fields}});
        return s.fail(DifferencesOrRefused, QStringLiteral("Nothing was sent to the module. Correct the values "
                                                           "and send again."));
    }
    if (const int code = openModule(s, true))
        return code;
    if (s.interrupted())
        return s.fail(Interrupted, QStringLiteral("Interrupted: nothing was sent to the module."));
    s.progress(QStringLiteral("Sending ") + s.arguments[0]);
    // Ctrl+C does not cut a send: the map means something only under its own
    // axis scaling, so a module left with the new tables and the old setup
    // would run cells at the wrong engine speed and load. The 2 s to the end
    // of the setup block are the price of a module that holds one calibration.
    const Transfer::SendResult sent = Transfer::Send(tables, s.context.misc);
    if (!sent.complete())
        return s.fail(exitCodeFor(sent), sent.message());
    if (sent.linkLost())
        return s.fail(exitCodeFor(sent), linkLostText(sent, s.arguments[0]));
    if (s.interrupted())
        return s.fail(Interrupted, QStringLiteral("Interrupted: the module holds all of %1, as a send is never cut "
                                                  "part-way.%2")
                                       .arg(s.arguments[0], s.parser.isSet(QStringLiteral("verify"))
                                                                ? QStringLiteral(" It was not verified.")
                                                                : QString()));
    const QString text = sent.message() + u'\n';
    const QJsonObject json{{"sent", true}, {"message", sent.message()}};
    if (!s.parser.isSet(QStringLiteral("verify"))) {
        s.result(text, json);
        return Done;
    }
    return verifyAgainst(s, tables, json, text);
}

int runVerify(Session &s)
{
    CalibrationTables tables;
    if (const int code = load(s, s.arguments[0], tables))
        return code;
    if (const int code = openModule(s, true))
        return code;
    return verifyAgainst(s, tables, {}, {});
}

int runDiff(Session &s)
{
    CalibrationTables first, second;
    if (const int code = load(s, s.arguments[0], first))
        return code;
    if (const int code = load(s, s.arguments[1], second))
        return code;
    const auto differences = TableDiff::diff(first, second);
    // Only the form asked for is built: the other would double the time.
    if (s.json)
        s.result({}, {{"differences", TableDiff::toJson(differences, QStringLiteral("a"), QStringLiteral("b"))}});
    else
        s.result(TableDiff::toText(differences, s.arguments[0], s.arguments[1]), {});
    return differences.isEmpty() ? Done : DifferencesOrRefused;
}

// One row of the log, as text, CSV and JSON; a part whose reply did not come
// stays empty (null in JSON), so a glitch costs one reading, not the log.
struct LogRow {
    qint64 ms;
    std::optional<LiveInputs> in;
    std::optional<OperatingPoint> at;

    QString seconds() const { return QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0')); }
    QString cell() const
    {
        if (!at)
            return QStringLiteral("no answer");
        return at->brake ? TableDiff::brakePlace(at->col + 1) : TableDiff::mapPlace(at->row + 1, at->col + 1);
    }
    QString text() const
    {
        auto onOff = [this](bool on) { return !in ? QString() : on ? QStringLiteral("on") : QStringLiteral("off"); };
        const LiveInputs shown = in.value_or(LiveInputs{});
        return QStringLiteral("%1 %2 %3 %4  %5 %6  %7\n")
            .arg(seconds(), 8)
            .arg(shown.rpm, 6)
            .arg(shown.load, 6)
            .arg(shown.user, 5)
            .arg(onOff(shown.atIdle), -7)
            .arg(onOff(shown.exhaustBrake), -12)
            .arg(cell());
    }
    QString csv() const
    {
        auto flag = [this](bool on) { return in ? QString::number(int(on)) : QString(); };
        const LiveInputs shown = in.value_or(LiveInputs{});
        const QString grid = !at ? QString() : at->brake ? QStringLiteral("brake") : QStringLiteral("map");
        return QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9\n")
            .arg(seconds(), shown.rpm, shown.load, shown.user, flag(shown.atIdle), flag(shown.exhaustBrake), grid,
                 at && !at->brake ? QString::number(at->row + 1) : QString(),
                 at ? QString::number(at->col + 1) : QString());
    }
    QJsonObject json() const
    {
        QJsonObject row{{"time", double(ms) / 1000}, {"rpm", {}}, {"load", {}}, {"user", {}}, {"atIdle", {}},
                        {"exhaustBrake", {}},        {"cell", {}}};
        if (in) {
            row["rpm"] = in->rpm.toInt(), row["load"] = in->load.toInt(), row["user"] = in->user.toInt();
            row["atIdle"] = in->atIdle, row["exhaustBrake"] = in->exhaustBrake;
        }
        if (at) {
            QJsonObject cellObject{{"grid", at->brake ? "brake" : "map"}, {"column", at->col + 1}};
            if (!at->brake)
                cellObject.insert("row", at->row + 1);
            row["cell"] = cellObject;
        }
        return row;
    }
};

// The inputs and the operating point every interval, paced from the log's
// start so the rows do not drift; the sleeps are cut so Ctrl+C is seen soon.
int runLog(Session &s)
{
    constexpr int LongestSleepMs = 250, GiveUpAfterMs = 1000;
    bool ok = false;
    const QString intervalText = s.parser.value(QStringLiteral("interval"));
    const int interval = intervalText.toInt(&ok);
    if (!ok || interval < MinIntervalMs)
        return s.fail(
            Usage,
            QStringLiteral("--interval takes milliseconds from %1, not %2").arg(MinIntervalMs).arg(intervalText));
    const QString durationText = s.parser.value(QStringLiteral("duration"));
    const double duration = durationText.isEmpty() ? 0 : durationText.toDouble(&ok);
    if (!durationText.isEmpty() && (!ok || !(duration > 0 && duration < 1e9)))
        return s.fail(Usage, QStringLiteral("--duration takes seconds above 0, not %1").arg(durationText));
    if (const int code = openModule(s, true))
        return code;
    // Rows go straight to the file, one write each, so a kill loses none. A
    // file already there is never written over: the name may be a calibration's.
    QFile csv(s.parser.value(QStringLiteral("csv")));
    auto csvWrite = [&](const QString &line) { return csv.write(line.toUtf8()) >= 0; };
    const bool csvOpen =
        csv.fileName().isEmpty() ||
        (csv.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) &&
         csvWrite(QStringLiteral("time_s,rpm,load_percent,user,at_idle,exhaust_brake,grid,row,column\n")));
    if (!csvOpen)
        return s.fail(Usage, QStringLiteral("%1: %2").arg(csv.fileName(),
                                                          csv.exists() && !csv.isOpen()
                                                              ? QStringLiteral("the log writes only a new file, and "
                                                                               "this one is there already")
                                                              : csv.errorString()));
    if (!s.json)
        s.context.out << "  time s    RPM load %  user  at idle exh brake     cell\n";
    Misc &misc = s.context.misc;
    const qint64 start = misc.Now();
    const qint64 end = duration > 0 ? qint64(duration * 1000) : -1;
    qint64 missingSince = -1; // when the run of lost replies began
    for (qint64 due = 0; end < 0 || due < end; due += interval) {
        for (qint64 now = misc.Now() - start; now < due && !s.interrupted(); now = misc.Now() - start)
            misc.Sleep(int(std::min<qint64>(due - now, LongestSleepMs)));
        if (s.interrupted())
            break;
        LogRow row{misc.Now() - start, {}, {}};
        if (Exchange(LinkCommand::RequestInputs, misc))
            row.in = DecodeInputs(NonBlockingUSB::InBuffer);
        if (Exchange(LinkCommand::OperatingPoint, misc))
            row.at = DecodeOperatingPoint(NonBlockingUSB::InBuffer);
        if (csv.isOpen() && !csvWrite(row.csv()))
            return s.fail(Usage, QStringLiteral("%1: %2").arg(csv.fileName(), csv.errorString()));
        s.result(row.text(), row.json());
        s.context.out.flush();
        missingSince = row.in && row.at ? -1 : missingSince < 0 ? row.ms : missingSince;
        if (missingSince >= 0 && row.ms - missingSince >= GiveUpAfterMs)
            return s.fail(LinkFailed, QStringLiteral("The module stopped answering."));
    }
    // Without a duration Ctrl+C is the way a log ends; with one, it cuts the log short.
    return s.interrupted() && end >= 0 ? s.fail(Interrupted, QStringLiteral("Interrupted: the log ends early.")) : Done;
}

// The firmware window's part in a programming run, on a terminal: the
// window's fields come from the options, its messages become lines.
class FlashView final : public ProgrammingView {
public:
    FlashView(Session &s, const QString &image, const AddressWindow &window) : m_s(s), m_image(image), m_window(window)
    {
    }
    QString imageFileName() override { return m_image; }
    AddressWindow addressWindow() override { return m_window; }
    void showAddress(const QString &) override { ++shown; }
    int progressMaximum() const override { return m_maximum; }
    void setProgressMaximum(int maximum) override
    {
        m_maximum = maximum;
        sending = true; // the run sets the range once the file has passed its checks
    }
    int progressValue() const override { return m_value; }
    void setProgressValue(int value) override
    {
        m_value = value;
        if (!m_s.context.errIsTerminal || !sending || m_maximum <= 0)
            return;
        if (value == 0) { // the run is over: the bar's line ends
            endBar();
        } else {
            m_barOpen = true;
            const int filled = int(qint64(value) * 40 / m_maximum);
            m_s.context.err << "\r[" << QString(filled, u'#') << QString(40 - filled, u'.') << "] " << value << '/'
                            << m_maximum;
        }
        m_s.context.err.flush();
    }
    void message(const QString &text) override
    {
        if (stopping)
            return; // the run was stopped by us, not by a second "Program"
        linkLost = linkLost || text == QLatin1String("USB timeout");
        done = text == QLatin1String("Done!!!");
        if (!done) {
            endBar();
            m_s.context.err << programName << ": " << text << '\n';
            m_s.context.err.flush();
        }
    }
    QString linkRefusal() const override { return {}; }
    void holdLink(bool) override {}
    bool stopBeforeNextRecord() override
    {
        stoppedBetweenRecords = m_s.interrupted();
        return stoppedBetweenRecords;
    }

    int shown = 0; // records sent, each whole
    bool sending = false, stopping = false, stoppedBetweenRecords = false, linkLost = false, done = false;

private:
    Session &m_s;
    QString m_image;
    AddressWindow m_window;
    int m_maximum = 0, m_value = 0;
    bool m_barOpen = false;

    void endBar()
    {
        if (std::exchange(m_barOpen, false))
            m_s.context.err << '\n';
    }
};

// The one wait before the start report, where the window would take a
// second press of "Program": Ctrl+C there stops the run before anything is sent.
class StopBeforeStart final : public Misc {
public:
    StopBeforeStart(Session &s, std::function<void()> stop) : m_s(s), m_stop(std::move(stop)) {}
    qint64 Now() const override { return m_s.context.misc.Now(); }
    void Sleep(int ms) override { m_s.context.misc.Sleep(ms); }
    void Wait(int ms) override { m_s.context.misc.Wait(ms); }
    void DoEvents() override
    {
        m_s.context.misc.DoEvents();
        if (m_s.interrupted() && m_stop)
            std::exchange(m_stop, {})();
    }

private:
    Session &m_s;
    std::function<void()> m_stop;
};

int runFlash(Session &s)
{
    const QString image = s.arguments[0];
    const QString microText = s.parser.value(QStringLiteral("micro")).toLower();
    const std::map<QString, Micro> micros{
        {"jm64", Micro::JM64}, {"jm32", Micro::JM32}, {"ac256", Micro::AC256}, {"ac128", Micro::AC128}};
    if (!micros.count(microText))
        return s.fail(Usage, QStringLiteral("--micro takes jm64, jm32, ac256 or ac128, not ") + microText);
    const char *const names[] = {"flash-start", "bootloader-start", "bootloader-end"};
    const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    QString fields[3];
    for (int i = 0; i < 3; ++i) {
        fields[i] = s.parser.value(QLatin1String(names[i]));
        if (!hex.match(fields[i]).hasMatch())
            return s.fail(Usage, QStringLiteral("--%1 takes 1 to 8 hex digits, not %2").arg(names[i], fields[i]));
    }
    const AddressWindow window = AddressWindow::fromFields(fields[0], fields[1], fields[2], micros.at(microText));
    // The run checks the file again; checked here first, a bad file is told
    // before anyone is asked for a response.
    S19Reader reader;
    const ProgrammingRun::Check checked = ProgrammingRun::check(reader, image, window);
    reader.close();
    if (!checked.refusal.isEmpty())
        return s.fail(checked.opened ? DifferencesOrRefused : Usage, checked.refusal);

    const qint32 key = s.context.drawKey
                           ? s.context.drawKey()
                           : ReflashAccess::KeyGenerator(quint32(QTime::currentTime().msecsSinceStartOfDay()))
                                 .draw(QTime::currentTime().msecsSinceStartOfDay());
    s.context.err << "Enter password for key of " << key << '\n';
    s.context.err.flush();
    const bool accepted = ReflashAccess::Accepts(key, s.context.readResponse ? s.context.readResponse() : QString());
    if (s.interrupted())
        return s.fail(Interrupted, QStringLiteral("Interrupted: nothing was sent to the module."));
    if (!accepted)
        return s.fail(DifferencesOrRefused,
                      QStringLiteral("The response does not belong to key %1; nothing was sent.").arg(key));
    if (const int code = openModule(s, false))
        return code;

    // Ctrl+C stops the run between records, never inside one.
    FlashView view(s, image, window);
    bool stoppedBeforeStart = false;
    ProgrammingRun *running = nullptr;
    StopBeforeStart misc(s, [&] {
        stoppedBeforeStart = view.stopping = true;
        running->program(view);
    });
    ProgrammingRun run(misc);
    running = &run;
    run.program(view);
    if (stoppedBeforeStart)
        return s.fail(Interrupted, QStringLiteral("Interrupted: nothing was sent to the module."));
    if (view.stoppedBetweenRecords)
        return s.fail(Interrupted,
                      QStringLiteral("Interrupted: the module took the start report and %1 of %2 records of %3; it "
                                     "holds no whole program until it is flashed again.")
                          .arg(view.shown)
                          .arg(checked.records)
                          .arg(image));
    if (view.done) {
        s.result(QStringLiteral("Done!!!\n"), {{"done", true}, {"message", "Done!!!"}, {"records", checked.records}});
        return Done;
    }
    return view.sending && view.linkLost ? LinkFailed : DifferencesOrRefused;
}

const Command commands[] = {
    {QStringLiteral("list"),
     {},
     QStringLiteral("The modules present and whether this user may open them."),
     true,
     noOptions,
     runList},
    {QStringLiteral("version"),
     {},
     QStringLiteral("The board version, as Board Version shows it."),
     true,
     noOptions,
     runVersion},
    {QStringLiteral("receive"), QStringLiteral("FILE.dat"),
     QStringLiteral("The module's calibration into FILE.dat, as Save writes it after a Receive."), true,
     [](QCommandLineParser &p) {
         p.addOption({QStringLiteral("force"),
                      QStringLiteral("Write over FILE.dat if it is there; it is kept as a copy until the new one is "
                                     "whole.")});
     },
     runReceive},
    {QStringLiteral("send"), QStringLiteral("FILE.dat"),
     QStringLiteral("FILE.dat into the module; refused before the first report if a field cannot be carried."), true,
     [](QCommandLineParser &p) {
         p.addOption({QStringLiteral("verify"), QStringLiteral("Verify the module against the file afterwards.")});
     },
     runSend},
    {QStringLiteral("verify"), QStringLiteral("FILE.dat"),
     QStringLiteral("Compares the module with FILE.dat and names every differing field."), true, noOptions, runVerify},
    {QStringLiteral("diff"), QStringLiteral("A.dat B.dat"),
     QStringLiteral("Names every field in which two calibration files differ, map cells by A.dat's RPM and load "
                    "headings; no module needed."),
     false, noOptions, runDiff},
    {QStringLiteral("log"),
     {},
     QStringLiteral("The live inputs and the map cell in use, a row each interval, until the duration or Ctrl+C."),
     true,
     [](QCommandLineParser &p) {
         p.addOption({QStringLiteral("csv"),
                      QStringLiteral("Also write the rows to the new file <file>, each as it is taken."),
                      QStringLiteral("file")});
         p.addOption({QStringLiteral("interval"),
                      QStringLiteral("Take a row every <ms> milliseconds, from %1 (300).").arg(MinIntervalMs),
                      QStringLiteral("ms"), QStringLiteral("300")});
         p.addOption({QStringLiteral("duration"),
                      QStringLiteral("Stop after <s> seconds; without it the log runs until Ctrl+C."),
                      QStringLiteral("s")});
     },
     runLog},
    {QStringLiteral("flash"), QStringLiteral("IMAGE.s19"),
     QStringLiteral("Programs IMAGE.s19 into the module's bootloader once the response to the key shown is typed "
                    "(not echoed)."),
     true,
     [](QCommandLineParser &p) {
         p.addOption({QStringLiteral("micro"), QStringLiteral("The micro: jm64 (the default), jm32, ac256 or ac128."),
                      QStringLiteral("micro"), QStringLiteral("jm64")});
         p.addOption({QStringLiteral("flash-start"), QStringLiteral("Flash Start, in hex (410)."),
                      QStringLiteral("hex"), QStringLiteral("410")});
         p.addOption({QStringLiteral("bootloader-start"), QStringLiteral("Bootloader Start, in hex (410)."),
                      QStringLiteral("hex"), QStringLiteral("410")});
         p.addOption({QStringLiteral("bootloader-end"), QStringLiteral("Bootloader End, in hex (3FFF)."),
                      QStringLiteral("hex"), QStringLiteral("3FFF")});
     },
     runFlash},
};

const Command *find(const QString &name)
{
    for (const Command &command : commands)
        if (command.name == name)
            return &command;
    return nullptr;
}

void addCommonOptions(QCommandLineParser &parser)
{
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("instance"),
                      QStringLiteral("Use module <n> of several that answer to the same board name; 0 is the first. A "
                                     "KTRM is taken before a PNDX, as Connect takes them."),
                      QStringLiteral("n"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Write the result as JSON, for scripts.")});
    StartOptions::add(parser);
}

// Qt's option list, without its usage line, which names the test runner in tests.
QString optionsText(const QCommandLineParser &parser)
{
    const QString help = parser.helpText();
    const qsizetype from = help.indexOf(QLatin1String("Options:"));
    const qsizetype to = help.indexOf(QLatin1String("\nArguments:"));
    return help.mid(from, to < 0 ? -1 : to - from + 1);
}

QString mainHelp(const QCommandLineParser &parser)
{
    QString text = QStringLiteral("Usage: %1 [options] <command> [arguments]\n"
                                  "Reads, writes, checks and compares the calibration of a Marlow variable-geometry "
                                  "turbo controller, logs its live inputs and programs its firmware.\n\nCommands:\n")
                       .arg(programName);
    for (const Command &command : commands)
        text += QStringLiteral("  %1 %2\n").arg(command.name, -8).arg(command.summary);
    text += QStringLiteral("  help     The help of a command: help <command>.\n\n");
    return text + optionsText(parser) + u'\n' + exitTable();
}

QString commandHelp(const Command &command, const QCommandLineParser &parser)
{
    const QString arguments = command.arguments.isEmpty() ? QString() : u' ' + command.arguments;
    return QStringLiteral("Usage: %1 [options] %2%3\n%4\n\n")
               .arg(programName, command.name, arguments, command.summary) +
           optionsText(parser) + u'\n' + exitTable();
}

int usage(Context &context, const QString &message) { return fail(context.err, Usage, message); }

// --simulate takes the next word as its board only when it names one, so a
// bare --simulate may stand anywhere, before a file's name too.
QStringList normalised(QStringList args)
{
    const QRegularExpression board(QStringLiteral("^(ktrm|pndx)$"), QRegularExpression::CaseInsensitiveOption);
    for (qsizetype i = 1; i < args.size(); ++i)
        if ((args[i] == QLatin1String("--simulate") || args[i] == QLatin1String("-simulate")) &&
            !board.match(args.value(i + 1)).hasMatch())
            args[i] = QStringLiteral("--simulate=ktrm");
    return StartOptions::normalised(args);
}

} // namespace

int runMarlowVgt(const QStringList &rawArgs, Context &context)
{
    const QStringList args = normalised(rawArgs);
    // First pass: the common options and the command's name; whatever follows
    // the name is the command's, read in the second pass.
    QCommandLineParser first;
    addCommonOptions(first);
    first.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!first.parse(args))
        return usage(context, first.errorText());
    QStringList words = first.positionalArguments();
    bool help = first.isSet(QStringLiteral("help")) || first.isSet(QStringLiteral("help-all"));
    if (words.value(0) == QLatin1String("help")) {
        help = true;
        words.removeFirst();
    }
    if (first.isSet(QStringLiteral("version")) || (words.size() > 1 && words.contains(QLatin1String("--version")))) {
        context.out << programName << ' ' << MARLOW_VERSION << '\n';
        return Done;
    }
    if (words.isEmpty()) {
        if (!help)
            return usage(context, QStringLiteral("no command given; %1 --help lists them").arg(programName));
        context.out << mainHelp(first);
        return Done;
    }
    const Command *command = find(words[0]);
    if (!command)
        return usage(context, QStringLiteral("unknown command %1; %2 --help lists them").arg(words[0], programName));

    QCommandLineParser parser;
    addCommonOptions(parser);
    command->addOptions(parser);
    if (!parser.parse(args))
        return usage(context, parser.errorText());
    if (help || parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        context.out << commandHelp(*command, parser);
        return Done;
    }
    Session session{context,
                    parser,
                    parser.positionalArguments(),
                    parser.isSet(QStringLiteral("json")),
                    parser.isSet(QStringLiteral("instance")),
                    {}};
    session.arguments.removeFirst();
    const qsizetype wanted = command->arguments.isEmpty() ? 0 : command->arguments.count(u' ') + 1;
    if (session.arguments.size() != wanted)
        return usage(context, QStringLiteral("%1 takes %2; %3 help %1 tells more")
                                  .arg(command->name, wanted ? command->arguments : QStringLiteral("no arguments"),
                                       programName));
    bool numeric = false;
    const int instance = parser.value(QStringLiteral("instance")).toInt(&numeric);
    if (!numeric || instance < 0)
        return usage(context, QStringLiteral("--instance takes a number from 0, not ") +
                                  parser.value(QStringLiteral("instance")));
    const StartOptions::Choice choice = StartOptions::readOptions(parser);
    if (!choice.error.isEmpty())
        return usage(context, choice.error);
    if (!command->needsLink)
        return command->run(session);

    StartOptions::Link link(choice, context.misc, context.device);
    if (!link.link())
        return usage(context, link.error());
    PinnedInstance pinned(*link.link(), instance);
    const TransportInUse transport(pinned);
    return command->run(session);
}
