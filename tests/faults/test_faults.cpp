// Commands of many exchanges against link faults on virtual time: each ends within its fixed waits, shows what
// it should and leaves the window ready, so it works once the fault is gone. Here the link itself fails.
#include "frmbootloader.h"
#include "rig.h"
#include "simbootloader.h"
#include "simcalibration.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    // The row names the command and the fault; the report it strikes at (0: from the start); the message
    // boxes, then what is in view | the same once the fault is gone, carrying the next value through.
    void commandEndsShowsAndRecovers_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("shows");
        const QString noScaling = QStringLiteral(
            "Receive stopped: the module did not send its axis scaling. The map, brake row and limits show the "
            "module's values; the axis scaling and board name are as they were. Receive again to read the whole "
            "calibration.");
        QTest::newRow("connect, no reply") << 2 << noScaling + "; Connected KTRM map 42 | Connected KTRM map 43";
        QTest::newRow("connect, flood") << 0 << "Connected KTRM map 42 | Connected KTRM map 43";
        // The drain stops at the short report: the second drain takes the 07s behind it.
        QTest::newRow("connect, short queued") << 0 << "Connected KTRM map 42 | Connected KTRM map 43";
        // Send examines no write and no reply: a lost report still ends in "Download Complete".
        const QString sent = QStringLiteral("Download Complete; module ");
        QTest::newRow("send, no reply") << 35 << sent + "42 Marlow VGT | " + sent + "43 Marlow VGT";
        QTest::newRow("send, write fails") << 35 << sent + "30 Marlow VGT | " + sent + "43 Marlow VGT";
        QTest::newRow("send, flood") << 0 << sent + "42 Marlow VGT | " + sent + "43 Marlow VGT";
        QTest::newRow("receive, flood") << 0 << "map 42 420 | map 43 430";
        // Receive takes the 07s behind the short report for the answer, the last tables report for the scaling.
        QTest::newRow("receive, short queued") << 0 << "map 7 24340 | map 43 430";
        QTest::newRow("verify, flood") << 0 << "Verified OK; Connected | Verified OK; Connected";
        QTest::newRow("verify, short queued") << 0 << "Verified FAILED; Connected | Verified OK; Connected";
        // Record 1 short of a data report: the bootloader takes the next header for it.
        const QString done = QStringLiteral("Error!; programmed 32 bytes | Done!!!; programmed 96 bytes");
        QTest::newRow("program, write fails") << 3 << "USB timeout; " + done;
        QTest::newRow("program, unplugged") << 7 << "USB timeout; USB timeout; " + done;
        QTest::newRow("program, flood") << 0 << "Done!!!; programmed 96 bytes | Done!!!; programmed 96 bytes";
    }
    void commandEndsShowsAndRecovers()
    {
        QFETCH(int, at);
        const QString tag = QTest::currentDataTag(), fault = tag.section(QStringLiteral(", "), 1);
        enum { Connect, Send, Receive, Verify, Program };
        const auto command = QStringLiteral("csrvp").indexOf(tag.at(0)); // by its initial
        const std::array clicks{&frmVGT_Tuner::mnuConnect_Click, &frmVGT_Tuner::mnuSend_Click,
                                &frmVGT_Tuner::mnuReceive_Click, &frmVGT_Tuner::mnuVerify_Click};
        Rig rig;
        frmVGT_Tuner &w = *rig.window;
        VirtualModule &m = rig.module;
        frmBootloader *firmware = command == Program ? new frmBootloader(rig.dialogs, rig.misc, &w) : nullptr;
        QTemporaryDir dir;
        if (command != Connect)
            rig.connect();
        if (firmware) {
            firmware->setLinkControl([&](bool hold) { w.holdLink(hold); }, [&] { return w.linkBusy(); }, {});
            // Three 32-byte records at 0x4000, 0x4020 and 0x4040: eleven reports after the start report.
            const QByteArray image = "S1234000" + QByteArray(64, '1') + "00\r\nS1234020" + QByteArray(64, '2') +
                                     "00\r\nS1234040" + QByteArray(64, '3') + "00\r\nS9030000FC\r\n";
            QFile file(dir.filePath(QStringLiteral("image.s19")));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
            firmware->txtFilename->setText(file.fileName());
        }
        (fault == "no reply"      ? m.faults.loseReplyToWrite
         : fault == "write fails" ? m.faults.failWriteAt
                                  : m.faults.unplugAtWrite) = at ? m.writesReceived() + at : 0;
        m.faults.floodReplies = fault == "flood";
        for (const std::uint8_t b : std::array<std::uint8_t, 3>{0x11, 0x22, 7}) // stale: 11s, one cut short, 07s
            if (fault == "short queued")
                m.queueReply({b, b, b, b, b, b, b, b}, b == 0x22);
        QStringList shown;
        for (const int value : {42, 43}) {
            if (command == Send)
                w.tables.map().setTextMatrix(1, 1, QString::number(value));
            HeldCalibration held = m.calibration().held();
            held.cell(1, 1) = std::uint8_t(value);
            held.rpmStart = quint16(value * 10);
            if (command == Receive || command == Connect)
                m.calibration().setHeld(held);
            const qint64 start = rig.misc.Now();
            command == Program ? firmware->cmdProgram_Click() : (w.*clicks[command])();
            QVERIFY(rig.misc.Now() - start <= 2100); // Send's 2.1 s is the longest: no fault stretches a wait
            QVERIFY(!w.linkBusy() && (!firmware || !firmware->busy()));
            const HeldCalibration &now = m.calibration().held();
            const QString map = "map " + w.tables.map().TextMatrix(1, 1), status = w.statusPanel->text();
            const QString views[] = {status + ' ' + w.lblBoard->text() + ' ' + map,
                                     QStringLiteral("module %1 ").arg(int(now.cell(1, 1))) + now.boardName.data(),
                                     map + ' ' + w.tables.param(RpmStart), status,
                                     QStringLiteral("programmed %1 bytes").arg(m.bootloader().bytesProgrammed())};
            shown << (rig.dialogs.messages() << views[command]).join(QStringLiteral("; "));
            m.faults = {};
            rig.dialogs.clear();
        }
        QTEST(shown.join(QStringLiteral(" | ")), "shows");
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
