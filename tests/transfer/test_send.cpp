// Send: the bytes each field goes out as, where a send stops and what it says,
// its waits, and that nothing else reaches the module while it pauses between
// its blocks.
#include "rig.h"
#include "simcalibration.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QTest>

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray sentBytes(const Journal &journal)
{
    QByteArray out;
    for (const auto &write : journal.writes())
        out += write.payload;
    return out;
}

// The WriteTables block a calibration goes out as.
QByteArray tablesBlock(const HeldCalibration &c)
{
    QByteArray s = bytes({0x91});
    s.append(reinterpret_cast<const char *>(c.map.data()), 256);
    s.append(reinterpret_cast<const char *>(c.brake.data()), 16);
    return s + bytes({c.maxPosition, c.maxAdjust, c.maxBoost, 0, 0, 0, 0});
}

// The WriteSetup block of length byte n, with the factory's other scaling: the
// n bytes after the length byte, then zeros to the end of the last report.
QByteArray setupBlock(int n, int rpmStart, const QByteArray &name)
{
    return bytes({0x78, n, 0, 0, rpmStart >> 8, rpmStart & 0xFF, 0, 0, 0, 200, 10, 6}) + name +
           QByteArray(n - 4 - name.size(), '\0');
}

void setParam(CalibrationTables &t, ParamRow row, const QString &text) { t.params().setTextMatrix(row, 1, text); }

const QString DownloadComplete = QStringLiteral("Download Complete");
} // namespace

class TestSend : public QObject {
    Q_OBJECT
private slots:
    void sendPutsEachFieldOnTheWireAsTheModuleHoldsIt_data()
    {
        QTest::addColumn<QString>("cell"); // a map and a brake cell
        QTest::addColumn<int>("cellByte");
        QTest::addColumn<QString>("limit"); // Max Position and Max Boost
        QTest::addColumn<int>("limitByte");
        QTest::addColumn<QString>("rpmStart");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("nameBytes");
        QTest::addColumn<int>("n"); // the setup block's length byte
        QTest::addColumn<QString>("verdict");
        const QString failed = QStringLiteral("Verified FAILED");
        QTest::newRow("12.5 to 12, 256 wraps to 0, RPM 1500, empty name: three reports")
            << "12.5" << 12 << "256" << 0 << "1500"
            << "" << QByteArray() << 16 << failed;
        QTest::newRow("13.5 to 14, 300 to 44, RPM 65535, five characters: four reports")
            << "13.5" << 14 << "300" << 44 << "65535"
            << "ABCDE" << QByteArray("ABCDE") << 24 << failed;
        QTest::newRow("-0.5 to 0, -1 to 255, Windows-1252's high block, unassigned codes as their controls")
            << "-0.5" << 0 << "-1" << 255 << "800" << QString::fromUtf8("€Ÿ™\u0081\u009D\u00A0ÿ")
            << QByteArray("\x80\x9F\x99\x81\x9D\xA0\xFF") << 24 << failed;
        QTest::newRow("empty to 0, number then letters, RPM 2000, 236 characters: verifies")
            << "" << 0 << "100abc" << 100 << "2000" << QString(236, QLatin1Char('x')) << QByteArray(236, 'x') << 248
            << "Verified OK";
    }
    void sendPutsEachFieldOnTheWireAsTheModuleHoldsIt()
    {
        QFETCH(QString, cell);
        QFETCH(int, cellByte);
        QFETCH(QString, limit);
        QFETCH(int, limitByte);
        QFETCH(QString, rpmStart);
        QFETCH(QString, name);
        QFETCH(QByteArray, nameBytes);
        QFETCH(int, n);
        QFETCH(QString, verdict);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(2, 3, cell);
        t.brake().setTextMatrix(0, 5, cell);
        setParam(t, MaxPosition, limit);
        setParam(t, MaxBoost, limit);
        setParam(t, RpmStart, rpmStart);
        setParam(t, BoardName, name);
        HeldCalibration expected = HeldCalibration::factory();
        expected.cell(2, 3) = expected.brake[4] = std::uint8_t(cellByte);
        expected.maxPosition = expected.maxBoost = std::uint8_t(limitByte);
        const int rpm = rpmStart.toInt();
        expected.rpmStart = quint16(rpm);
        expected.boardName = nameBytes;
        rig.window->mnuSend_Click();
        QCOMPARE(sentBytes(rig.journal).toHex(' '), (tablesBlock(expected) + setupBlock(n, rpm, nameBytes)).toHex(' '));
        // The module read the setup block by its length byte.
        QVERIFY(rig.module.calibration().held() == expected);
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(), (QStringList{DownloadComplete, verdict}));
    }

    void fieldItsEncodingCannotCarryStopsTheSendThere_data()
    {
        QTest::addColumn<int>("grid"); // 1 map, 2 brake, 3 parameters
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("reportsWritten");
        QTest::addColumn<QString>("message");
        const QString partial = QStringLiteral(" The module received only the part of the calibration before it. "
                                               "Correct the value and send again.");
        const QString charset = QStringLiteral(" is not one the module can store in a name: it takes the characters "
                                               "of Windows-1252 except the zero character.");
        QTest::newRow("map 255.5 rounds to 256")
            << 1 << 3 << 5 << "255.5" << 4
            << "Send stopped at map row 3, column 5: it holds \"255.5\", which counts as 256, outside the range 0 to "
               "255." +
                   partial;
        QTest::newRow("first map cell: nothing sent")
            << 1 << 1 << 1 << "300" << 0
            << "Send stopped at map row 1, column 1: it holds 300, outside the range 0 to 255. Nothing was sent to "
               "the module. Correct the value and send again.";
        QTest::newRow("brake negative") << 2 << 0 << 16 << "-1" << 34
                                        << "Send stopped at brake column 16: it holds -1, outside the range 0 to 255." +
                                               partial;
        QTest::newRow("RPM Start above 65535")
            << 3 << int(RpmStart) << 1 << "65536" << 35
            << "Send stopped at RPM Start: it holds 65536, outside the range -255 to 65535." + partial;
        QTest::newRow("RPM Increment below -255")
            << 3 << int(RpmIncrement) << 1 << "-255.6" << 36
            << "Send stopped at RPM Increment: it holds \"-255.6\", which counts as -256, outside the range -255 to "
               "65535." +
                   partial;
        QTest::newRow("LOAD Start 256") << 3 << int(LoadStart) << 1 << "256" << 36
                                        << "Send stopped at LOAD Start: it holds 256, outside the range 0 to 255." +
                                               partial;
        QTest::newRow("name of 237 characters")
            << 3 << int(BoardName) << 1 << QString(237, QLatin1Char('n')) << 35
            << "Send stopped at Board Name: it has 237 characters, and the module takes at most 236." + partial;
        QTest::newRow("name character outside Windows-1252")
            << 3 << int(BoardName) << 1 << QString::fromUtf8("ABΩ") << 36
            << QString::fromUtf8("Send stopped at Board Name: character 3, \"Ω\" (U+03A9),") + charset + partial;
        QTest::newRow("control whose code Windows-1252 gave the euro")
            << 3 << int(BoardName) << 1 << QStringLiteral("A") + QChar(0x80) << 36
            << "Send stopped at Board Name: character 2 (U+0080)" + charset + partial;
        QTest::newRow("character beyond 16 bits counts as one")
            << 3 << int(BoardName) << 1 << QString::fromUtf8("A😀") << 36
            << QString::fromUtf8("Send stopped at Board Name: character 2, \"😀\" (U+1F600),") + charset + partial;
        QTest::newRow("zero character in the name")
            << 3 << int(BoardName) << 1 << QStringLiteral("A") + QChar(0) + QStringLiteral("B") << 36
            << "Send stopped at Board Name: character 2 (U+0000)" + charset + partial;
    }
    void fieldItsEncodingCannotCarryStopsTheSendThere()
    {
        QFETCH(int, grid);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(int, reportsWritten);
        QFETCH(QString, message);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        FlexGrid &field = grid == 1 ? t.map() : grid == 2 ? t.brake() : t.params();
        field.setTextMatrix(row, col, text);
        rig.window->mnuSend_Click();
        QCOMPARE(rig.journal.writes().size(), reportsWritten);
        QCOMPARE(rig.dialogs.shown.first().title, QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!rig.window->linkBusy());
        // The module gives up the block cut short; a corrected send goes through whole.
        rig.misc.advance(5000);
        field.setTextMatrix(row, col, QStringLiteral("0"));
        rig.window->mnuSend_Click();
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(), (QStringList{message, DownloadComplete, "Verified OK"}));
    }

    void nothingElseReachesTheModuleWhileSendPausesUnderTheHourglass()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        ClearTables(w.tables); // all zeros: every report's first byte is 00 but the commands'
        bool acted = false;    // once: a send that got through would pause again
        bool hourglass = false;
        rig.misc.duringEvents = [&] {
            if (std::exchange(acted, true))
                return;
            hourglass = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            w.chkAutoRequest->setChecked(true);
            w.tmrAutoRequest_Timer();
            w.chkIndex->setChecked(true);
            w.tmrIndex_Timer();
            for (const char *item : {"&Receive", "&Verify", "&Send"})
                w.menuItem("&Communication", item)->trigger();
            w.menuItem("&Help", "Board Version")->trigger();
            w.cmdRequestInputs_Click();
        };
        w.mnuSend_Click();
        QCOMPARE(rig.journal.summary(), QStringLiteral("W91 W00*34 S50 R Wt2000 W78 W00*2 S50 R"));
        QVERIFY(hourglass);
        QVERIFY(!QApplication::overrideCursor());
        QStringList expected(5, frmVGT_Tuner::busyMessage());
        QCOMPARE(rig.dialogs.messages(), expected << DownloadComplete);
        QVERIFY(!w.linkBusy());
        w.chkAutoRequest->setChecked(false);
        w.chkIndex->setChecked(false);
    }

    void disconnectDuringThePauseStopsBeforeTheSetupBlock()
    {
        Rig rig;
        rig.connect();
        rig.misc.duringEvents = [&] { rig.window->mnuDisconnect_Click(); };
        rig.window->mnuSend_Click();
        QCOMPARE(rig.journal.writes().size(), 35);
        QCOMPARE(rig.dialogs.messages(),
                 QStringList{"Send stopped: the module was disconnected during the send. The map, brake row and "
                             "limits were sent, the axis scaling and board name were not. Connect and send again."});
    }
};

QTEST_MAIN(TestSend)
#include "test_send.moc"
