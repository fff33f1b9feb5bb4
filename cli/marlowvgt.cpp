#include "marlowvgt.h"
#include "calibrationfile.h"
#include "filebackup.h"
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
// The numbers the transport opens the module by.
constexpr int ModuleVendorId = 49610;
constexpr int ModuleProductId = 65535;
const QString udevHint = QStringLiteral("install the udev rule (see README)");

const QString exitTable = QStringLiteral("Exit status:\n"
                                         "  0  done\n"
                                         "  1  differences found, or refused (a field the module cannot carry, "
                                         "the wrong board)\n"
                                         "  2  usage: a bad command, option or argument, or a file that cannot be "
                                         "read or written\n"
                                         "  3  no module: none found, or one this user may not open\n"
                                         "  4  the link failed: the module stopped answering\n"
                                         "  5  interrupted (Ctrl+C or SIGTERM): the message says what the module "
                                         "now holds\n");

// The one place where an exchange's result becomes an exit code.
int exitCodeFor(const Transfer::ReceiveResult &result)
{
    return result.outcome == Transfer::ReceiveResult::Complete ? Done : LinkFailed;
}
int exitCodeFor(const Transfer::SendResult &result) { return result.complete() ? Done : DifferencesOrRefused; }
int exitCodeFor(bool verified) { return verified ? Done : DifferencesOrRefused; }

// The transport opens the first matching device every time; --instance picks
// another one for the whole run. Notes whether the last read found a report,
// which the version exchange does not look at.
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
    int Read(ReportBuffer report) override
    {
        const int length = m_inner.Read(report);
        lastReadFound = length > 0;
        return length;
    }
    OpenProblem LastOpenProblem() const override { return m_inner.LastOpenProblem(); }
    std::vector<DeviceInfo> Enumerate(int vendorId, int productId) override
    {
        return m_inner.Enumerate(vendorId, productId);
    }

    bool lastReadFound = false;

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
    QString board;                        // the board that answered
    const PinnedInstance *link = nullptr; // while a command holds the module

    bool interrupted() const { return context.interrupt && *context.interrupt; }
    int fail(int code, const QString &message)
    {
        context.err << programName << ": " << message << '\n';
        context.err.flush();
        return code;
    }
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

// Opens the module as Connect does, the KTRM first and then the PNDX.
int connect(Session &s, bool needKtrm)
{
    using Problem = UsbHidApi::OpenProblem;
    Problem ktrm = Problem::None;
    if (NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"))) {
        s.board = QStringLiteral("KTRM");
    } else {
        ktrm = NonBlockingUSB::Backend()->LastOpenProblem();
        if (NonBlockingUSB::OpenDevice(QStringLiteral("PNDX")))
            s.board = QStringLiteral("PNDX");
    }
    if (s.board.isEmpty()) {
        const bool denied =
            ktrm == Problem::NotPermitted || NonBlockingUSB::Backend()->LastOpenProblem() == Problem::NotPermitted;
        return s.fail(NoModule, denied ? QStringLiteral("Module found but not accessible: ") + udevHint
                                       : QStringLiteral("No module found on USB"));
    }
    // With two alike on the bus, which one answered is chance: a script must say.
    if (!s.instanceChosen) {
        const auto devices = NonBlockingUSB::Backend()->Enumerate(ModuleVendorId, ModuleProductId);
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
        return s.fail(DifferencesOrRefused, QStringLiteral("KTRM not found"));
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

// Writes as Save does: a file already there waits beside it as a copy until
// the new content is on the disk, and is not touched when no copy can be made.
int save(Session &s, CalibrationTables &tables, const QString &path)
{
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    FileError error = CalibrationFile::openForWriting(file);
    std::optional<FileBackup> backup;
    if (!error && file.size() > 0) {
        backup.emplace(QFileInfo(path).absoluteFilePath());
        error = backup->made() ? CalibrationFile::recreate(file)
                               : FileError{CalibrationFile::PermissionDenied,
                                           QStringLiteral("The file was left as it was: no backup of it could be "
                                                          "made, as %1.")
                                               .arg(backup->problem())};
    }
    if (!error)
        error = CalibrationFile::write(tables, file);
    if (!error && !(backup ? backup->release(file) : file.flush()))
        error = CalibrationFile::error(CalibrationFile::DeviceIoError);
    if (error && backup && backup->made())
        error.description += QStringLiteral(" The file you saved over is kept as %1.").arg(backup->path());
    file.close();
    if (error && !existed)
        file.remove(); // nothing half-written is left where there was nothing
    return error ? s.fail(Usage, fileProblem(path, error)) : Done;
}

void noOptions(QCommandLineParser &) {}

int runList(Session &s)
{
    const auto devices = NonBlockingUSB::Backend()->Enumerate(ModuleVendorId, ModuleProductId);
    if (devices.empty())
        return s.fail(NoModule, QStringLiteral("No module found on USB"));
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
    s.result(text, {{"modules", modules}});
    return Done;
}

int runVersion(Session &s)
{
    if (const int code = connect(s, false))
        return code;
    const BoardVersion version = RequestBoardVersion(s.context.misc);
    if (!s.link->lastReadFound)
        return s.fail(LinkFailed, QStringLiteral("The module did not answer."));
    auto hex = [](std::uint8_t b) { return QStringLiteral("%1").arg(int(b), 2, 16, QLatin1Char('0')).toUpper(); };
    const QString text = QStringLiteral("Board Version ") + hex(version.major) + hex(version.minor);
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
    if (const int code = connect(s, true))
        return code;
    CalibrationTables tables;
    SetUpGrids(tables);
    s.progress(QStringLiteral("Receiving the calibration"));
    const Transfer::ReceiveResult received = Transfer::Receive(tables, s.context.misc);
    if (exitCodeFor(received) != Done)
        return receiveFailed(s, received, path + QStringLiteral(" was not written."));
    UpdateAxisHeadings(tables);
    if (const int code = save(s, tables, path))
        return code;
    s.result(QStringLiteral("Save Complete\n"), {{"file", path}, {"boardName", tables.param(BoardName)}});
    return Done;
}

// The Verify exchange; on a mismatch a Receive names every differing field.
int verifyAgainst(Session &s, CalibrationTables &file, QJsonObject json, QString text)
{
    s.progress(QStringLiteral("Verifying"));
    const bool same = Transfer::Verify(file, s.context.misc);
    const QString verdict = same ? QStringLiteral("Verified OK") : QStringLiteral("Verified FAILED");
    json.insert("verified", same);
    text += verdict + u'\n';
    if (same) {
        s.result(text, json);
        return exitCodeFor(same);
    }
    CalibrationTables module;
    SetUpGrids(module);
    const Transfer::ReceiveResult received = Transfer::Receive(module, s.context.misc);
    if (exitCodeFor(received) != Done) {
        s.result(text, json);
        return receiveFailed(s, received, QStringLiteral("The differing fields are unknown."));
    }
    UpdateAxisHeadings(module);
    const auto differences = TableDiff::diff(file, module);
    if (s.json)
        json.insert("differences", TableDiff::toJson(differences, QStringLiteral("file"), QStringLiteral("module")));
    else
        text += TableDiff::toText(differences, QStringLiteral("file"), QStringLiteral("module"));
    s.result(text, json);
    return exitCodeFor(same);
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
    if (const int code = connect(s, true))
        return code;
    if (s.interrupted())
        return s.fail(Interrupted, QStringLiteral("Interrupted: nothing was sent to the module."));
    s.progress(QStringLiteral("Sending ") + s.arguments[0]);
    // Ctrl+C does not cut a send: the map means something only under its own
    // axis scaling, so a module left with the new tables and the old setup
    // would run cells at the wrong engine speed and load. The 2 s to the end
    // of the setup block are the price of a module that holds one calibration.
    const Transfer::SendResult sent = Transfer::Send(tables, s.context.misc);
    if (exitCodeFor(sent) != Done)
        return s.fail(exitCodeFor(sent), sent.message());
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
    if (const int code = connect(s, true))
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

// One row of the log, as text, CSV and JSON.
struct LogRow {
    qint64 ms;
    LiveInputs in;
    OperatingPoint at;

    QString seconds() const { return QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0')); }
    QString cell() const
    {
        return at.brake ? QStringLiteral("brake column %1").arg(at.col + 1)
                        : QStringLiteral("map row %1, column %2").arg(at.row + 1).arg(at.col + 1);
    }
    QString text() const
    {
        auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
        return QStringLiteral("%1 %2 %3 %4  %5 %6  %7\n")
            .arg(seconds(), 8)
            .arg(in.rpm, 6)
            .arg(in.load, 6)
            .arg(in.user, 5)
            .arg(onOff(in.atIdle), -7)
            .arg(onOff(in.exhaustBrake), -12)
            .arg(cell());
    }
    QString csv() const
    {
        return QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9\n")
            .arg(seconds(), in.rpm, in.load, in.user)
            .arg(int(in.atIdle))
            .arg(int(in.exhaustBrake))
            .arg(at.brake ? QStringLiteral("brake") : QStringLiteral("map"),
                 at.brake ? QString() : QString::number(at.row + 1))
            .arg(at.col + 1);
    }
    QJsonObject json() const
    {
        QJsonObject cellObject{{"grid", at.brake ? "brake" : "map"}, {"column", at.col + 1}};
        if (!at.brake)
            cellObject.insert("row", at.row + 1);
        return {{"time", double(ms) / 1000}, {"rpm", in.rpm.toInt()}, {"load", in.load.toInt()},
                {"user", in.user.toInt()},   {"atIdle", in.atIdle},   {"exhaustBrake", in.exhaustBrake},
                {"cell", cellObject}};
    }
};

// The inputs and the operating point every interval, paced from the log's
// start so the rows do not drift; the sleeps are cut so Ctrl+C is seen soon.
int runLog(Session &s)
{
    constexpr int MinIntervalMs = 2 * LinkCommand::ReplyWaitMs, LongestSleepMs = 250;
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
    if (const int code = connect(s, true))
        return code;
    // Rows go straight to the file, one write each, so a kill loses none. A
    // file already there is never written over: the name may be a calibration's.
    QFile csv(s.parser.value(QStringLiteral("csv")));
    if (!csv.fileName().isEmpty()) {
        if (!csv.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return s.fail(Usage, QStringLiteral("%1: %2").arg(
                                     csv.fileName(),
                                     csv.exists() ? QStringLiteral(
                                                        "the log writes only a new file, and this one is there already")
                                                  : csv.errorString()));
        csv.write("time_s,rpm,load_percent,user,at_idle,exhaust_brake,grid,row,column\n");
    }
    if (!s.json)
        s.context.out << "  time s    RPM load %  user  at idle exh brake     cell\n";
    Misc &misc = s.context.misc;
    const qint64 start = misc.Now();
    const qint64 end = duration > 0 ? qint64(duration * 1000) : -1;
    for (qint64 due = 0; end < 0 || due < end; due += interval) {
        for (qint64 now = misc.Now() - start; now < due && !s.interrupted(); now = misc.Now() - start)
            misc.Sleep(int(std::min<qint64>(due - now, LongestSleepMs)));
        if (s.interrupted())
            break;
        LogRow row{misc.Now() - start, RequestInputs(misc), {}};
        const bool inputsCame = s.link->lastReadFound;
        row.at = RequestOperatingPoint(misc);
        if (!inputsCame || !s.link->lastReadFound)
            return s.fail(LinkFailed, QStringLiteral("The module stopped answering."));
        if (csv.isOpen() && csv.write(row.csv().toUtf8()) < 0)
            return s.fail(Usage, QStringLiteral("%1: %2").arg(csv.fileName(), csv.errorString()));
        s.result(row.text(), row.json());
        s.context.out.flush();
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

    int shown = 0; // records whose header went out
    bool sending = false, stopping = false, linkLost = false, done = false;

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

// The run's waits, where the window would take a second press of "Program":
// Ctrl+C stops the run there, between records, never inside one.
class StopOnInterrupt final : public Misc {
public:
    StopOnInterrupt(Session &s, std::function<void(bool started)> stop) : m_s(s), m_stop(std::move(stop)) {}
    qint64 Now() const override { return m_s.context.misc.Now(); }
    void Sleep(int ms) override { m_s.context.misc.Sleep(ms); }
    void Wait(int ms) override { m_s.context.misc.Wait(ms), check(true); }
    void DoEvents() override { m_s.context.misc.DoEvents(), check(false); }

private:
    void check(bool started)
    {
        if (m_s.interrupted() && m_stop)
            std::exchange(m_stop, {})(started);
    }
    Session &m_s;
    std::function<void(bool)> m_stop;
};

int runFlash(Session &s)
{
    const QString image = s.arguments[0];
    const QString microText = s.parser.value(QStringLiteral("micro")).toLower();
    const QStringList micros{"jm64", "jm32", "ac256", "ac128"}; // in the order of Micro
    if (!micros.contains(microText))
        return s.fail(Usage, QStringLiteral("--micro takes jm64, jm32, ac256 or ac128, not ") + microText);
    const char *const names[] = {"flash-start", "bootloader-start", "bootloader-end"};
    const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    QString fields[3];
    for (int i = 0; i < 3; ++i) {
        fields[i] = s.parser.value(QLatin1String(names[i]));
        if (!hex.match(fields[i]).hasMatch())
            return s.fail(Usage, QStringLiteral("--%1 takes 1 to 8 hex digits, not %2").arg(names[i], fields[i]));
    }
    const AddressWindow window =
        AddressWindow::fromFields(fields[0], fields[1], fields[2], Micro(micros.indexOf(microText)));
    // The run checks the file again; checked here first, a bad file is told
    // before anyone is asked for a response.
    S19Reader reader;
    if (!reader.open(image))
        return s.fail(Usage, reader.errorMessage());
    const S19Reader::Validation validation = reader.validate(window);
    reader.close();
    if (!validation.ok)
        return s.fail(DifferencesOrRefused, validation.message);
    if (validation.records == 0)
        return s.fail(DifferencesOrRefused, ProgrammingRun::noRecordMessage(image, window));

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
    if (const int code = connect(s, false))
        return code;

    FlashView view(s, image, window);
    int stoppedAfter = -1; // records sent whole when Ctrl+C stopped the run; -1: not stopped
    ProgrammingRun *running = nullptr;
    StopOnInterrupt misc(s, [&](bool started) {
        // Every wait after the start report's is a pause between a record's
        // header and its data: that record is not whole.
        stoppedAfter = started ? std::max(view.shown - 1, 0) : -2;
        view.stopping = true;
        running->program(view);
    });
    ProgrammingRun run(misc);
    running = &run;
    run.program(view);
    if (stoppedAfter == -2)
        return s.fail(Interrupted, QStringLiteral("Interrupted: nothing was sent to the module."));
    if (stoppedAfter >= 0)
        return s.fail(Interrupted,
                      QStringLiteral("Interrupted: the module took the start report and %1 of %2 records of %3; it "
                                     "holds no whole program until it is flashed again.")
                          .arg(stoppedAfter)
                          .arg(validation.records)
                          .arg(image));
    if (view.done) {
        s.result(QStringLiteral("Done!!!\n"),
                 {{"done", true}, {"message", "Done!!!"}, {"records", validation.records}});
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
     QStringLiteral("The module's calibration into FILE.dat, as Save writes it after a Receive."), true, noOptions,
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
     QStringLiteral("Names every field in which two calibration files differ; no module needed."), false, noOptions,
     runDiff},
    {QStringLiteral("log"),
     {},
     QStringLiteral("The live inputs and the map cell in use, a row each interval, until the duration or Ctrl+C."),
     true,
     [](QCommandLineParser &p) {
         p.addOption({QStringLiteral("csv"),
                      QStringLiteral("Also write the rows to the new file <file>, each as it is taken."),
                      QStringLiteral("file")});
         p.addOption({QStringLiteral("interval"), QStringLiteral("Take a row every <ms> milliseconds, from 100 (300)."),
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
                      QStringLiteral("Use module <n> of several that answer to the same board name; 0 is the first."),
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
    return text + optionsText(parser) + u'\n' + exitTable;
}

QString commandHelp(const Command &command, const QCommandLineParser &parser)
{
    const QString arguments = command.arguments.isEmpty() ? QString() : u' ' + command.arguments;
    return QStringLiteral("Usage: %1 [options] %2%3\n%4\n\n")
               .arg(programName, command.name, arguments, command.summary) +
           optionsText(parser) + u'\n' + exitTable;
}

int usage(Context &context, const QString &message)
{
    context.err << programName << ": " << message << '\n';
    context.err.flush();
    return Usage;
}

// A bare --simulate before the command's name takes the default board, as
// one before the end or another option does.
QStringList normalised(QStringList args)
{
    for (qsizetype i = 0; i + 1 < args.size(); ++i)
        if ((args[i] == QLatin1String("--simulate") || args[i] == QLatin1String("-simulate")) && find(args[i + 1]))
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
    session.link = &pinned;
    return command->run(session);
}
