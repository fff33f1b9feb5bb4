// Send: the bytes each field goes out as, where a send stops and what it says,
// its waits, the cells it leaves current, and that nothing else reaches the
// module while it pauses between its blocks.
#include "rig.h"
#include "transfertestsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QTest>

namespace {
// The WriteSetup stream, laid out from its length rule: n = L + 11 + p, and the
// last report zero-filled.
QByteArray setupStream(int rpmStart, int rpmIncrement, int loadStart, int loadIncrement, const QByteArray &name)
{
    const int fill = 8 - (int(name.size()) + 11) % 8;
    const int n = int(name.size()) + 11 + fill;
    QByteArray s = bytes({0x78, n, 0, 0, rpmStart >> 8, rpmStart & 0xFF, 0, 0, rpmIncrement >> 8, rpmIncrement & 0xFF,
                          loadStart, loadIncrement});
    s += name;
    s += QByteArray(fill + 1, '\0');
    s += QByteArray(6, '\0');
    return s;
}

const QString DownloadComplete = QStringLiteral("Download Complete");
} // namespace

class TestSend : public QObject {
    Q_OBJECT
private slots:
    void numericCellsGoOutAsTheirNearestEvenInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        QTest::newRow("12.5") << "12.5" << 12;
        QTest::newRow("13.5") << "13.5" << 14;
        QTest::newRow("0.5") << "0.5" << 0;
        QTest::newRow("-0.5") << "-0.5" << 0;
        QTest::newRow("254.5") << "254.5" << 254;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("number then letters") << "100abc" << 100;
    }
    void numericCellsGoOutAsTheirNearestEvenInteger()
    {
        QFETCH(QString, text);
        QFETCH(int, byte);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(2, 3, text);
        t.brake().setTextMatrix(0, 5, text);
        rig.window->mnuSend_Click();
        const QByteArray tables = sentBytes(rig.journal, 0, 35);
        QCOMPARE(int(quint8(tables.at(1 + 16 + 2))), byte);
        QCOMPARE(int(quint8(tables.at(257 + 4))), byte);
        QCOMPARE(rig.dialogs.messages(), QStringList{DownloadComplete});
    }

    void limitsGoOutAsTheirLowEightBits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        QTest::newRow("256") << "256" << 0;
        QTest::newRow("300") << "300" << 44;
        QTest::newRow("-1") << "-1" << 255;
    }
    void limitsGoOutAsTheirLowEightBits()
    {
        QFETCH(QString, text);
        QFETCH(int, byte);
        Rig rig;
        rig.connect();
        setParam(rig.window->tables, MaxPosition, text);
        setParam(rig.window->tables, MaxBoost, text);
        rig.window->mnuSend_Click();
        const QByteArray tables = sentBytes(rig.journal, 0, 35);
        QCOMPARE(int(quint8(tables.at(273))), byte);
        QCOMPARE(int(quint8(tables.at(275))), byte);
        QCOMPARE(rig.dialogs.messages(), QStringList{DownloadComplete});
    }

    void setupBlockCarriesScalingAndName_data()
    {
        QTest::addColumn<QString>("rpmStart");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("RPM 1500, empty name: three reports")
            << "1500"
            << "" << bytes({0x78, 16, 0, 0, 0x05, 0xDC, 0, 0, 0, 200, 10, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        QTest::newRow("RPM 65535, five characters: four reports")
            << "65535"
            << "ABCDE" << bytes({0x78, 24, 0, 0, 0xFF, 0xFF, 0, 0, 0, 200, 10, 6, 'A', 'B', 'C', 'D',
                                 'E',  0,  0, 0, 0,    0,    0, 0, 0, 0,   0,  0, 0,   0,   0,   0});
        QTest::newRow("Windows-1252 characters")
            << "800" << QString::fromUtf8("€uro™")
            << bytes({0x78, 24, 0, 0, 0x03, 0x20, 0, 0, 0, 200, 10, 6, 0x80, 'u', 'r', 'o',
                      0x99, 0,  0, 0, 0,    0,    0, 0, 0, 0,   0,  0, 0,    0,   0,   0});
        QTest::newRow("236 characters: n = 248")
            << "800" << QString(236, QLatin1Char('x')) << setupStream(800, 200, 10, 6, QByteArray(236, 'x'));
    }
    void setupBlockCarriesScalingAndName()
    {
        QFETCH(QString, rpmStart);
        QFETCH(QString, name);
        QFETCH(QByteArray, stream);
        Rig rig;
        rig.connect();
        setParam(rig.window->tables, RpmStart, rpmStart);
        setParam(rig.window->tables, BoardName, name);
        rig.window->mnuSend_Click();
        QCOMPARE(sentBytes(rig.journal, 35).toHex(' '), stream.toHex(' '));
        QCOMPARE(rig.dialogs.messages(), QStringList{DownloadComplete});
        // The module read the block by its length byte and holds what was sent.
        QVERIFY(!rig.module.calibration().receiving());
        QCOMPARE(rig.module.calibration().held().boardName, stream.mid(12, name.size()));
        QCOMPARE(rig.module.calibration().rpmStart(), rpmStart.toInt());
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
        QTest::newRow("name of 237 characters") << 3 << int(BoardName) << 1 << QString(237, QLatin1Char('n')) << 35
                                                << "Send stopped at Board Name: it has 237 characters, and the module "
                                                   "takes at most 236." +
                                                       partial;
        QTest::newRow("name character outside Windows-1252")
            << 3 << int(BoardName) << 1 << QString::fromUtf8("ABΩ") << 36
            << QString::fromUtf8(
                   "Send stopped at Board Name: character 3, \"Ω\" (U+03A9), is not one the module can "
                   "store in a name: it takes the characters of Windows-1252 except the zero character.") +
                   partial;
        QTest::newRow("zero character in the name")
            << 3 << int(BoardName) << 1 << QStringLiteral("A") + QChar(0) + QStringLiteral("B") << 36
            << "Send stopped at Board Name: character 2 (U+0000) is not one the module can store in a name: it takes "
               "the characters of Windows-1252 except the zero character." +
                   partial;
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
        (grid == 1 ? t.map() : grid == 2 ? t.brake() : t.params()).setTextMatrix(row, col, text);
        rig.window->mnuSend_Click();
        QCOMPARE(rig.journal.writes().size(), reportsWritten);
        QCOMPARE(rig.dialogs.messages(), QStringList{message});
        QCOMPARE(rig.dialogs.shown.first().title, QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!rig.window->linkBusy());
    }

    void correctedSendAfterAStoppedOneVerifies()
    {
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(8, 8, QStringLiteral("300"));
        rig.window->mnuSend_Click();
        QVERIFY(rig.module.calibration().receiving()); // the module waits for the rest of the block
        rig.misc.advance(5000);                        // the user reads the message and corrects the cell
        t.map().setTextMatrix(8, 8, QStringLiteral("30"));
        rig.window->mnuSend_Click();
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages().mid(1), (QStringList{DownloadComplete, "Verified OK"}));
        QCOMPARE(rig.module.calibration().held().cell(8, 8), std::uint8_t(30));
    }

    void sendThenVerifyOnTheModule()
    {
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        HeldCalibration expected = HeldCalibration::factory();
        t.map().setTextMatrix(4, 9, QStringLiteral("77"));
        expected.cell(4, 9) = 77;
        t.brake().setTextMatrix(0, 2, QStringLiteral("50"));
        expected.brake[1] = 50;
        setParam(t, MaxAdjust, QStringLiteral("12"));
        expected.maxAdjust = 12;
        setParam(t, RpmStart, QStringLiteral("1000"));
        expected.rpmStart = 1000;
        setParam(t, BoardName, QStringLiteral("Bench 7"));
        expected.boardName = "Bench 7";

        rig.window->mnuSend_Click();
        QCOMPARE(sentBytes(rig.journal, 0, 35).toHex(' '), tablesStream(expected).toHex(' '));
        QVERIFY(rig.module.calibration().held() == expected);
        rig.window->mnuVerify_Click();
        t.map().setTextMatrix(16, 16, QStringLiteral("1"));
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(), (QStringList{DownloadComplete, "Verified OK", "Verified FAILED"}));
    }

    void sendWaitsBetweenAndAfterItsBlocksUnderTheHourglass()
    {
        Rig rig;
        rig.connect();
        ClearTables(rig.window->tables); // all zeros: every report's first byte is 00 but the commands'
        bool hourglassDuringPause = false;
        rig.misc.duringEvents = [&] {
            hourglassDuringPause =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        };
        rig.window->mnuSend_Click();
        QCOMPARE(rig.journal.summary(), QStringLiteral("W91 W00*34 S50 R Wt2000 W78 W00*2 S50 R"));
        QVERIFY(hourglassDuringPause);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(rig.dialogs.messages(), QStringList{DownloadComplete});
    }

    void nothingElseReachesTheModuleDuringThePause()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        bool acted = false; // once: a send that got through would pause again
        rig.misc.duringEvents = [&] {
            if (std::exchange(acted, true))
                return;
            w.chkAutoRequest->setChecked(true);
            w.tmrAutoRequest_Timer();
            w.chkIndex->setChecked(true);
            w.tmrIndex_Timer();
            w.menuItem("&Communication", "&Receive")->trigger();
            w.menuItem("&Communication", "&Verify")->trigger();
            w.menuItem("&Communication", "&Send")->trigger();
            w.menuItem("&Help", "Board Version")->trigger();
            w.cmdRequestInputs_Click();
        };
        w.mnuSend_Click();
        const HeldCalibration factory = HeldCalibration::factory();
        QCOMPARE(sentBytes(rig.journal).toHex(' '),
                 (tablesStream(factory) + setupStream(800, 200, 10, 6, factory.boardName)).toHex(' '));
        QCOMPARE(rig.journal.reads().size(), 2);
        QStringList expected(5, frmVGT_Tuner::busyMessage());
        expected << DownloadComplete;
        QCOMPARE(rig.dialogs.messages(), expected);
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
