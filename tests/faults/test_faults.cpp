// The commands that make many exchanges, against link faults on virtual time:
// each ends within its fixed waits, shows what it should, and leaves the window
// ready, so it works once the fault is gone. Replies that stop coming are played
// by the transfer, firmware and window tests; here, the link itself fails.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"
#include "simcalibration.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum Command { Connect, Send, Receive, Verify, Program };
enum Fault { NoReply, WriteFails, Unplugged, Flood, ShortQueued };
const QStringList commands = {"connect", "send", "receive", "verify", "program"};
const QStringList faults = {"no reply", "write fails", "unplugged", "flood", "short queued"};

// Three 32-byte records at 0x4000, 0x4020 and 0x4040: eleven reports after the start report.
const QByteArray Image = "S1234000" + QByteArray(64, '1') + "00\r\nS1234020" + QByteArray(64, '2') + "00\r\nS1234040" +
                         QByteArray(64, '3') + "00\r\nS9030000FC\r\n";

struct Bench {
    Rig rig;
    QTemporaryDir dir;
    frmBootloader *firmware = nullptr;

    explicit Bench(Command command)
    {
        if (command != Connect)
            rig.connect();
        if (command == Program)
            openFirmwareWindow();
        carry(command, 42);
    }
    // A map value for a transfer to carry, one the other side does not hold yet.
    void carry(Command command, std::uint8_t value)
    {
        if (command == Send)
            rig.window->tables.map().setTextMatrix(1, 1, QString::number(value));
        HeldCalibration held = rig.module.calibration().held();
        held.cell(1, 1) = value;
        held.rpmStart = quint16(value * 10);
        if (command == Receive || command == Connect)
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
        case NoReply: f.loseReplyToWrite = report; break;
        case WriteFails: f.failWriteAt = report; break;
        case Unplugged: f.unplugAtWrite = report; break;
        case Flood: f.floodReplies = true; break;
        case ShortQueued: // stale reports the command finds queued: 11s, one cut short, 07s
            rig.module.queueReply({0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11});
            rig.module.queueReply({0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22}, true);
            rig.module.queueReply({7, 7, 7, 7, 7, 7, 7, 7});
            break;
        }
    }
    void clearFaults()
    {
        rig.module.faults = {};
        rig.dialogs.clear();
    }
    void run(Command command)
    {
        frmVGT_Tuner &w = *rig.window;
        switch (command) {
        case Connect: w.mnuConnect_Click(); break;
        case Send: w.mnuSend_Click(); break;
        case Receive: w.mnuReceive_Click(); break;
        case Verify: w.mnuVerify_Click(); break;
        case Program: firmware->cmdProgram_Click(); break;
        }
    }
    // The message boxes shown, then what the command leaves in view.
    QString shows(Command command)
    {
        const frmVGT_Tuner &w = *rig.window;
        QStringList out = rig.dialogs.messages();
        const HeldCalibration &held = rig.module.calibration().held();
        switch (command) {
        case Connect:
            out << w.statusPanel->text() + ' ' + w.lblBoard->text() + " map " + w.tables.map().TextMatrix(1, 1);
            break;
        case Send:
            out << "module " + QString::number(held.cell(1, 1)) + ' ' + QString::fromLatin1(held.boardName);
            break;
        case Receive: out << "map " + w.tables.map().TextMatrix(1, 1) + ' ' + w.tables.param(RpmStart); break;
        case Verify: break;
        case Program:
            out << QStringLiteral("programmed %1 bytes").arg(rig.module.bootloader().bytesProgrammed());
            break;
        }
        return out.join(QStringLiteral("; "));
    }
};

// What each command shows on a module without a fault, carrying 43.
const char *const recovered[] = {"Connected KTRM map 43", "Download Complete; module 43 Marlow VGT", "map 43 430",
                                 "Verified OK", "Done!!!; programmed 96 bytes"};

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    // The row names the command and the fault; the report it strikes at; the message boxes, then
    // what is in view.
    void commandEndsShowsAndRecovers_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("shows");
        const QString noScaling = QStringLiteral(
            "Receive stopped: the module did not send its axis scaling. The map, brake row and limits show the "
            "module's values; the axis scaling and board name are as they were. Receive again to read the whole "
            "calibration.");
        const QString sent = QStringLiteral("Download Complete; module ");
        const struct {
            const char *tag;
            int at;
            QString shows;
        } rows[] = {
            {"connect, no reply", 2, noScaling + "; Connected KTRM map 42"},
            {"connect, flood", 1, "Connected KTRM map 42"},
            // The drain stops at the short report: the second drain takes the 07s behind it.
            {"connect, short queued", 1, "Connected KTRM map 42"},
            // Send examines no write and no reply: a lost report still ends in "Download Complete".
            {"send, no reply", 35, sent + "42 Marlow VGT"},
            {"send, write fails", 35, sent + "30 Marlow VGT"},
            {"send, flood", 1, sent + "42 Marlow VGT"},
            {"receive, flood", 1, "map 42 420"},
            // Receive takes the 07s behind the short report for the answer, and the
            // last tables report for the scaling: 95 20 is 24340.
            {"receive, short queued", 1, "map 7 24340"},
            {"verify, flood", 1, "Verified OK"},
            {"verify, short queued", 1, "Verified FAILED"},
            // Record 1 short of a data report: the bootloader takes the next header for it.
            {"program, write fails", 3, "USB timeout; Error!; programmed 32 bytes"},
            {"program, unplugged", 7, "USB timeout; USB timeout; Error!; programmed 32 bytes"},
            {"program, flood", 1, "Done!!!; programmed 96 bytes"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.tag) << r.at << r.shows;
    }
    void commandEndsShowsAndRecovers()
    {
        QFETCH(int, at);
        QFETCH(QString, shows);
        const QStringList tag = QString(QTest::currentDataTag()).split(QStringLiteral(", "));
        const auto command = Command(commands.indexOf(tag[0]));
        Bench b(command);
        b.inject(Fault(faults.indexOf(tag[1])), at);
        const qint64 start = b.rig.misc.Now();
        b.run(command);
        // The longest command, Send, waits 2.1 s in all; no fault stretches any wait.
        QVERIFY(b.rig.misc.Now() - start <= 2100);
        QCOMPARE(b.shows(command), shows);
        for (const ShownBox &box : b.rig.dialogs.shown)
            QCOMPARE(box.title, QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(!b.rig.window->linkBusy());
        QVERIFY(!b.firmware || !b.firmware->busy());

        // Fault gone, the same command carries the next value through.
        b.clearFaults();
        b.carry(command, 43);
        b.run(command);
        QCOMPARE(b.shows(command), QString(recovered[command]));
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
