// Every module command against every fault the virtual module can play, on
// virtual time: each ends within its fixed waits, shows what it should, and
// leaves the window ready, so the same command works once the fault is gone.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"
#include "simcalibration.h"
#include "simengine.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum class Command { Connect, Version, Request, InputsTick, TrackingTick, TestTurbo, Send, Receive, Verify, Program };
enum class Fault { NoReply, ShortReply, WriteFails, Unplugged, Flood, RefusedRecord, ShortQueued };

// Three 32-byte records at 0x4000, 0x4020 and 0x4040: eleven reports after the
// start report, the reply to record 1 following the command's 6th report.
const QByteArray Image = "S1234000" + QByteArray(64, '1') + "00\r\nS1234020" + QByteArray(64, '2') + "00\r\nS1234040" +
                         QByteArray(64, '3') + "00\r\nS9030000FC\r\n";

struct Bench {
    Rig rig;
    QTemporaryDir dir;
    frmBootloader *firmware = nullptr;

    explicit Bench(Command command)
    {
        if (command != Command::Connect)
            rig.connect();
        if (command == Command::Program)
            openFirmwareWindow();
        carry(command, 42);
        if (command == Command::TrackingTick)
            rig.window->chkIndex->setChecked(true);
    }
    // A map value for a transfer to carry, one the other side does not hold yet.
    void carry(Command command, std::uint8_t value)
    {
        if (command == Command::Send)
            rig.window->tables.map().setTextMatrix(1, 1, QString::number(value));
        HeldCalibration held = rig.module.calibration().held();
        held.cell(1, 1) = value;
        held.rpmStart = quint16(value * 10);
        if (command == Command::Receive || command == Command::Connect)
            rig.module.calibration().setHeld(held);
    }
    void openFirmwareWindow()
    {
        rig.dialogs.onShow = [this](const ShownBox &box) {
            const qint32 key = box.text.section(QLatin1Char(' '), -1).toInt();
            rig.dialogs.inputAnswers.enqueue(QString::number(ReflashAccess::Response(key)));
        };
        rig.window->mnuReflash_Click();
        rig.dialogs.onShow = nullptr;
        rig.dialogs.clear();
        firmware = rig.window->findChild<frmBootloader *>();
        QFile file(dir.filePath(QStringLiteral("image.s19")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Image) == Image.size());
        firmware->txtFilename->setText(file.fileName());
    }
    // The fault strikes at the command's `at`-th report.
    void inject(Fault fault, int at)
    {
        const int report = rig.module.writesReceived() + at;
        auto &f = rig.module.faults;
        switch (fault) {
        case Fault::NoReply: f.loseReplyToWrite = report; break;
        case Fault::ShortReply: f.shortReplyToWrite = report; break;
        case Fault::WriteFails: f.failWriteAt = report; break;
        case Fault::Unplugged: f.unplugAtWrite = report; break;
        case Fault::Flood: f.floodReplies = true; break;
        case Fault::RefusedRecord: rig.module.bootloader().faults.refuseRecord = at; break;
        case Fault::ShortQueued: // stale reports the command finds queued: 11s, one cut short, 07s
            rig.module.queueReply({0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11});
            rig.module.queueReply({0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22}, true);
            rig.module.queueReply({7, 7, 7, 7, 7, 7, 7, 7});
            break;
        }
    }
    void clearFaults()
    {
        rig.module.faults = {};
        rig.module.bootloader().faults = {};
        rig.dialogs.clear();
    }
    void run(Command command)
    {
        frmVGT_Tuner &w = *rig.window;
        switch (command) {
        case Command::Connect: w.mnuConnect_Click(); break;
        case Command::Version: w.mnuRequestVersion_Click(); break;
        case Command::Request: w.cmdRequestInputs_Click(); break;
        case Command::InputsTick: w.tmrAutoRequest_Timer(); break;
        case Command::TrackingTick: w.tmrIndex_Timer(); break;
        case Command::TestTurbo: w.mnuTest_Click(); break;
        case Command::Send: w.mnuSend_Click(); break;
        case Command::Receive: w.mnuReceive_Click(); break;
        case Command::Verify: w.mnuVerify_Click(); break;
        case Command::Program: firmware->cmdProgram_Click(); break;
        }
    }
    // The message boxes shown, then what the command leaves in view.
    QStringList shows(Command command)
    {
        const frmVGT_Tuner &w = *rig.window;
        QStringList out = rig.dialogs.messages();
        const HeldCalibration &held = rig.module.calibration().held();
        switch (command) {
        case Command::Connect:
            out << w.statusPanel->text() + ' ' + w.lblBoard->text() + " map " + w.tables.map().TextMatrix(1, 1);
            break;
        case Command::Request:
        case Command::InputsTick:
            out << w.txtInputs[0]->text() + ' ' + w.txtInputs[1]->text() + ' ' + w.txtInputs[2]->text();
            break;
        case Command::TrackingTick: out << yellowCell(); break;
        case Command::Send:
            out << "module " + QString::number(held.cell(1, 1)) + ' ' + QString::fromLatin1(held.boardName);
            break;
        case Command::Receive: out << "map " + w.tables.map().TextMatrix(1, 1) + ' ' + w.tables.param(RpmStart); break;
        case Command::TestTurbo:
            // A sweep started now is half way, vanes at 50, a second later.
            out << (rig.module.engine().state(rig.misc.Now() + 1000).vanes == 50 ? "sweeping" : "not sweeping");
            break;
        case Command::Program:
            out << QStringLiteral("programmed %1 bytes").arg(rig.module.bootloader().bytesProgrammed());
            break;
        default: break;
        }
        return out;
    }
    // The engine idles at the start, so tracking lands on the map.
    QString yellowCell() const
    {
        for (int r = 1; r <= MapSize; ++r)
            for (int c = 1; c <= MapSize; ++c)
                if (rig.window->tables.map().cellBackColor(r, c) == GridYellow)
                    return QStringLiteral("yellow map %1,%2").arg(r).arg(c);
        return QStringLiteral("no yellow cell");
    }
};

// What each command shows on a module without a fault, carrying 43.
QStringList recovered(Command command)
{
    switch (command) {
    case Command::Connect: return {"Connected KTRM map 43"};
    case Command::Version: return {"Board Version 0221"};
    case Command::Request:
    case Command::InputsTick: return {"754 6 25"};
    case Command::TrackingTick: return {"yellow map 1,1"};
    case Command::TestTurbo: return {"sweeping"};
    case Command::Send: return {"Download Complete", "module 43 Marlow VGT"};
    case Command::Receive: return {"map 43 430"};
    case Command::Verify: return {"Verified OK"};
    case Command::Program: return {"Done!!!", "programmed 96 bytes"};
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Fault)

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void commandEndsShowsAndRecovers_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("at");            // the command's report the fault strikes
        QTest::addColumn<QStringList>("shows"); // message boxes, then what is in view
        using C = Command;
        using F = Fault;
        const QString noScaling = QStringLiteral(
            "Receive stopped: the module did not send its axis scaling. The map, brake row and limits show the "
            "module's values; the axis scaling and board name are as they were. Receive again to read the whole "
            "calibration.");
        // A reply that never came leaves InBuffer as the last whole report left
        // it: the board name's last report, "GT", after the connect's Receive.
        const QString stale = QStringLiteral("18260 0 0");
        const QString sent = QStringLiteral("Download Complete");
        const struct {
            Command command;
            Fault fault;
            int at;
            QStringList shows;
        } rows[] = {
            {C::Connect, F::NoReply, 2, {noScaling, "Connected KTRM map 42"}},
            {C::Connect, F::ShortReply, 1, {"Connected KTRM map "}},
            {C::Connect, F::WriteFails, 1, {"Connected KTRM map "}},
            {C::Connect, F::Unplugged, 2, {noScaling, "Connected KTRM map 42"}},
            {C::Connect, F::Flood, 1, {"Connected KTRM map 42"}},
            {C::Connect, F::RefusedRecord, 1, {"Connected KTRM map 42"}},
            {C::Version, F::NoReply, 1, {"Board Version 4754"}},
            {C::Version, F::ShortReply, 1, {"Board Version 4754"}},
            {C::Version, F::WriteFails, 1, {"Board Version 4754"}},
            {C::Version, F::Unplugged, 1, {"Board Version 4754"}},
            {C::Version, F::Flood, 1, {"Board Version 0221"}},
            {C::Version, F::RefusedRecord, 1, {"Board Version 0221"}},
            {C::Request, F::NoReply, 1, {stale}},
            {C::Request, F::ShortReply, 1, {stale}},
            {C::Request, F::WriteFails, 1, {stale}},
            {C::Request, F::Unplugged, 1, {stale}},
            {C::Request, F::Flood, 1, {"756 6 25"}},
            {C::Request, F::RefusedRecord, 1, {"756 6 25"}},
            {C::InputsTick, F::NoReply, 1, {stale}},
            {C::InputsTick, F::ShortReply, 1, {stale}},
            {C::InputsTick, F::WriteFails, 1, {stale}},
            {C::InputsTick, F::Unplugged, 1, {stale}},
            {C::InputsTick, F::Flood, 1, {"756 6 25"}},
            {C::InputsTick, F::RefusedRecord, 1, {"756 6 25"}},
            // "GT" names no cell of the grids: the tick paints nothing.
            {C::TrackingTick, F::NoReply, 1, {"no yellow cell"}},
            {C::TrackingTick, F::ShortReply, 1, {"no yellow cell"}},
            {C::TrackingTick, F::WriteFails, 1, {"no yellow cell"}},
            {C::TrackingTick, F::Unplugged, 1, {"no yellow cell"}},
            {C::TrackingTick, F::Flood, 1, {"yellow map 1,1"}},
            {C::TrackingTick, F::RefusedRecord, 1, {"yellow map 1,1"}},
            {C::TestTurbo, F::NoReply, 1, {"sweeping"}},
            {C::TestTurbo, F::ShortReply, 1, {"sweeping"}},
            {C::TestTurbo, F::WriteFails, 1, {"not sweeping"}},
            {C::TestTurbo, F::Unplugged, 1, {"not sweeping"}},
            {C::TestTurbo, F::Flood, 1, {"sweeping"}},
            {C::TestTurbo, F::RefusedRecord, 1, {"sweeping"}},
            // Send examines no write and no reply: a lost report still ends in "Download Complete".
            {C::Send, F::NoReply, 35, {sent, "module 42 Marlow VGT"}},
            {C::Send, F::ShortReply, 39, {sent, "module 42 Marlow VGT"}},
            {C::Send, F::WriteFails, 35, {sent, "module 30 Marlow VGT"}},
            {C::Send, F::Unplugged, 20, {sent, "module 30 Marlow VGT"}},
            {C::Send, F::Flood, 1, {sent, "module 42 Marlow VGT"}},
            {C::Send, F::RefusedRecord, 1, {sent, "module 42 Marlow VGT"}},
            {C::Receive, F::NoReply, 1, {"map 30 800"}},
            {C::Receive, F::ShortReply, 2, {noScaling, "map 42 800"}},
            {C::Receive, F::WriteFails, 2, {noScaling, "map 42 800"}},
            {C::Receive, F::Unplugged, 1, {"map 30 800"}},
            {C::Receive, F::Flood, 1, {"map 42 420"}},
            {C::Receive, F::RefusedRecord, 1, {"map 42 420"}},
            {C::Verify, F::NoReply, 2, {"Verified FAILED"}},
            {C::Verify, F::ShortReply, 1, {"Verified FAILED"}},
            {C::Verify, F::WriteFails, 1, {"Verified FAILED"}},
            {C::Verify, F::Unplugged, 2, {"Verified FAILED"}},
            {C::Verify, F::Flood, 1, {"Verified OK"}},
            {C::Verify, F::RefusedRecord, 1, {"Verified OK"}},
            {C::Program, F::NoReply, 6, {"USB timeout", "Done!!!", "programmed 96 bytes"}},
            {C::Program, F::ShortReply, 11, {"USB timeout", "Done!!!", "programmed 96 bytes"}},
            // Record 1 short of a data report: the bootloader takes the next header for it.
            {C::Program, F::WriteFails, 3, {"USB timeout", "Error!", "programmed 32 bytes"}},
            {C::Program, F::Unplugged, 7, {"USB timeout", "USB timeout", "Error!", "programmed 32 bytes"}},
            {C::Program, F::Flood, 1, {"Done!!!", "programmed 96 bytes"}},
            {C::Program, F::RefusedRecord, 2, {"Error!", "programmed 32 bytes"}},
            // The drain stops at the short report: Connect's second drain takes
            // the 07s behind it, Receive and Verify take them for the answer
            // (and the last tables report for the scaling: 95 20 is 24340).
            {C::Connect, F::ShortQueued, 1, {"Connected KTRM map 42"}},
            {C::Receive, F::ShortQueued, 1, {"map 7 24340"}},
            {C::Verify, F::ShortQueued, 1, {"Verified FAILED"}},
        };
        const char *commands[] = {"connect",    "board version", "request", "inputs tick", "tracking tick",
                                  "test turbo", "send",          "receive", "verify",      "program"};
        const char *faults[] = {"no reply", "short reply",    "write fails", "unplugged",
                                "flood",    "refused record", "short queued"};
        for (const auto &r : rows)
            QTest::addRow("%s, %s", commands[int(r.command)], faults[int(r.fault)])
                << r.command << r.fault << r.at << r.shows;
    }
    void commandEndsShowsAndRecovers()
    {
        QFETCH(Command, command);
        QFETCH(Fault, fault);
        QFETCH(int, at);
        QFETCH(QStringList, shows);
        Bench b(command);
        b.inject(fault, at);
        const qint64 start = b.rig.misc.Now();
        b.run(command);
        // The longest command, Send, waits 2.1 s in all; no fault stretches any wait.
        QVERIFY(b.rig.misc.Now() - start <= 2100);
        QCOMPARE(b.shows(command), shows);
        for (const ShownBox &box : b.rig.dialogs.shown)
            QCOMPARE(box.title, frmVGT_Tuner::productTitle());
        QVERIFY(!b.rig.window->linkBusy());
        QVERIFY(!b.firmware || !b.firmware->busy());

        // Fault gone, the same command carries the next value through.
        b.clearFaults();
        b.carry(command, 43);
        b.run(command);
        QCOMPARE(b.shows(command), recovered(command));
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
