// Receive and Verify: what they read and where it lands, their waits, how they
// end when the module stops answering, and Verify's exact comparisons.
#include "rig.h"
#include "simcalibration.h"

#include <QAction>
#include <QCheckBox>
#include <QTest>

namespace {
void setParam(CalibrationTables &t, ParamRow row, const QString &text) { t.params().setTextMatrix(row, 1, text); }

QPoint current(const FlexGrid &grid) { return {grid.Col(), grid.Row()}; }
} // namespace

class TestReceiveVerify : public QObject {
    Q_OBJECT
private slots:
    void receiveShowsTheScalingAndTheNameUpToItsZero_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("waits");
        QTest::addColumn<QStringList>("messages");
        const QString oneReport = QStringLiteral("R- W90 S50 R*35 W77 S50 R S10 R");
        QTest::newRow("three characters: one name report") << QByteArray("abc") << "abc" << oneReport << QStringList();
        QTest::newRow("eight characters: the zero in a second")
            << QByteArray("ABCDEFGH") << "ABCDEFGH" << oneReport + "*2" << QStringList();
        QTest::newRow("Windows-1252, unassigned codes as their controls")
            << QByteArray("\x80\x9F\x81\x9D\xA0\xFF") << QString::fromUtf8("€Ÿ\u0081\u009D\u00A0ÿ") << oneReport
            << QStringList();
        QTest::newRow("no zero within 236 characters: the rest drained")
            << QByteArray(300, 'A') << QString(236, QLatin1Char('A')) << "R- W90 S50 R*35 W77 S50 R S10 R*38 R-"
            << QStringList{"The module's board name did not end within 236 characters; only the first 236 are shown."};
    }
    void receiveShowsTheScalingAndTheNameUpToItsZero()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QFETCH(QString, waits);
        QFETCH(QStringList, messages);
        Rig rig;
        rig.connect();
        HeldCalibration c = HeldCalibration::factory();
        c.boardName = name;
        c.cell(16, 16) = 255;
        c.rpmStart = 500;
        c.loadStart = 10;
        c.rpmIncrement = 100;
        c.loadIncrement = 5;
        rig.module.calibration().setHeld(c);
        rig.window->mnuReceive_Click();
        QCOMPARE(rig.journal.summary(), waits);
        // The scaling report, after the drain's empty read and 35 table reports.
        QCOMPARE(rig.journal.reads().at(36).payload.left(6).toHex(' '), QByteArray("01 f4 0a 00 64 05"));
        const auto &t = rig.window->tables;
        QCOMPARE((QStringList{t.map().TextMatrix(16, 16), t.param(RpmStart), t.param(LoadStart), t.param(RpmIncrement),
                              t.param(LoadIncrement), t.map().TextMatrix(0, 3), t.param(BoardName)}),
                 (QStringList{"255", "500", "10", "100", "5", "600", shown}));
        QCOMPARE(rig.dialogs.messages(), messages);
        QCOMPARE(rig.module.queuedReplies(), std::size_t(0));
    }

    void answerCutShortFailsVerifyAndStopsReceiveThere_data()
    {
        QTest::addColumn<int>("tableReports");
        QTest::addColumn<int>("setupReports");
        QTest::addColumn<QString>("waits"); // of the Receive
        QTest::addColumn<int>("rowsReceived");
        QTest::addColumn<QStringList>("shown"); // RPM Start and Board Name
        QTest::addColumn<QStringList>("messages");
        const QString again = QStringLiteral(" Receive again to read the whole calibration.");
        const QString tablesCut = QStringLiteral("Receive stopped: the module stopped answering after %1 of its 35 "
                                                 "table reports. The cells filled until then show the module's "
                                                 "values; the rest of the calibration is as it was.") +
                                  again;
        const QString nameCut = "Receive stopped: the module stopped answering during the board name. Everything "
                                "else shows the module's values, but the board name shown is not the module's "
                                "whole name." +
                                again;
        const QStringList before{"1234", "old"}, afterScaling{"800", "old"};
        QTest::newRow("no first table report: nothing changes, nothing said")
            << 0 << -1 << "R- W90 S50 R-" << 0 << before << QStringList();
        QTest::newRow("after ten table reports")
            << 10 << -1 << "R- W90 S50 R*10 R-" << 5 << before << QStringList{tablesCut.arg(10)};
        QTest::newRow("after 34 table reports")
            << 34 << -1 << "R- W90 S50 R*34 R-" << 16 << before << QStringList{tablesCut.arg(34)};
        QTest::newRow("no scaling report")
            << 35 << 0 << "R- W90 S50 R*35 W77 S50 R-" << 16 << before
            << QStringList{"Receive stopped: the module did not send its axis scaling. The map, brake row and "
                           "limits show the module's values; the axis scaling and board name are as they were." +
                           again};
        QTest::newRow("no name report") << 35 << 1 << "R- W90 S50 R*35 W77 S50 R S10 R-" << 16 << afterScaling
                                        << QStringList{nameCut};
        QTest::newRow("name reports stop before the zero") << 35 << 2 << "R- W90 S50 R*35 W77 S50 R S10 R R-" << 16
                                                           << QStringList{"800", "ABCDEFGH"} << QStringList{nameCut};
    }
    void answerCutShortFailsVerifyAndStopsReceiveThere()
    {
        QFETCH(int, tableReports);
        QFETCH(int, setupReports);
        QFETCH(QString, waits);
        QFETCH(int, rowsReceived);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, messages);
        Rig rig;
        rig.connect();
        // The 34th report then ends with the limits' values, so the bytes left
        // in the buffer when the 35th never comes would match them.
        HeldCalibration c = HeldCalibration::factory();
        c.boardName = "ABCDEFGHIJKLMNOP";
        c.brake[8] = c.maxPosition;
        c.brake[9] = c.maxAdjust;
        c.brake[10] = c.maxBoost;
        rig.module.calibration().setHeld(c);
        rig.window->mnuReceive_Click();
        rig.window->mnuVerify_Click();
        rig.module.calibration().faults = {tableReports, setupReports};
        rig.window->mnuVerify_Click();

        auto &t = rig.window->tables;
        for (int r = 1; r <= 16; ++r)
            for (int col = 1; col <= 16; ++col)
                t.map().setTextMatrix(r, col, QStringLiteral("old"));
        for (ParamRow row : {MaxBoost, RpmStart, BoardName})
            setParam(t, row, row == RpmStart ? QStringLiteral("1234") : QStringLiteral("old"));
        rig.journal.clear();
        rig.window->mnuReceive_Click();
        QCOMPARE(rig.journal.summary(), waits);
        QCOMPARE(rig.dialogs.messages(), QStringList({"Verified OK", "Verified FAILED"}) + messages);
        for (int r = 1; r <= 16; ++r)
            QCOMPARE(t.map().TextMatrix(r, 16), r <= rowsReceived ? QString::number(c.cell(r, 16)) : "old");
        QCOMPARE(t.param(MaxBoost), tableReports < 35 ? QStringLiteral("old") : QString::number(c.maxBoost));
        QCOMPARE((QStringList{t.param(RpmStart), t.param(BoardName)}), shown);
    }

    void verifyComparesEachFieldExactlyReadingTheWholeAnswer_data()
    {
        QTest::addColumn<int>("row"); // parameter row, or -1 for map row 2 column 2
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("verdict");
        const QString ok = QStringLiteral("Verified OK");
        const QString failed = QStringLiteral("Verified FAILED");
        QTest::newRow("7.0 matches 7") << -1 << "7.0" << ok;
        QTest::newRow("12.5 is not 12, early in the answer") << -1 << "12.5" << failed;
        QTest::newRow("empty matches 0") << int(MaxAdjust) << "" << ok;
        QTest::newRow("256 is not the 0 it sends as") << int(MaxPosition) << "256" << failed;
        QTest::newRow("name in other letter case") << int(BoardName) << "marlow vgt" << failed;
        QTest::newRow("name with a trailing blank") << int(BoardName) << "Marlow VGT " << failed;
    }
    void verifyComparesEachFieldExactlyReadingTheWholeAnswer()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, verdict);
        Rig rig;
        rig.connect();
        HeldCalibration c = HeldCalibration::factory();
        c.cell(2, 2) = 7;
        c.maxAdjust = c.maxPosition = 0;
        rig.module.calibration().setHeld(c);
        auto &t = rig.window->tables;
        t.map().setTextMatrix(2, 2, QStringLiteral("7"));
        setParam(t, MaxAdjust, QStringLiteral("0"));
        setParam(t, MaxPosition, QStringLiteral("0"));
        if (row < 0)
            t.map().setTextMatrix(2, 2, text);
        else
            setParam(t, ParamRow(row), text);
        rig.window->mnuVerify_Click();
        // Without the pause Receive makes before the name.
        QCOMPARE(rig.journal.summary(), QStringLiteral("R- W90 S50 R*35 W77 S50 R*3"));
        QCOMPARE(rig.dialogs.messages(), QStringList{verdict});
        QCOMPARE(rig.dialogs.shown.first().title, QStringLiteral("Marlow VGT Tuner"));
        QCOMPARE(row < 0 ? t.map().TextMatrix(2, 2) : t.param(ParamRow(row)), text); // not what was read
    }

    void commandsRefuseWithoutAConnectedKtrm_data()
    {
        QTest::addColumn<QString>("item");
        for (const char *item : {"&Send", "&Receive", "&Verify"})
            QTest::newRow(item) << item;
    }
    void commandsRefuseWithoutAConnectedKtrm()
    {
        QFETCH(QString, item);
        Rig rig(VirtualModule::Board::PNDX);
        QAction *command = rig.window->menuItem(QStringLiteral("&Communication"), item);
        command->trigger();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Board not connected"});
        QVERIFY(rig.journal.entries().isEmpty());
        rig.connect(); // to the other board
        command->trigger();
        QCOMPARE(rig.dialogs.messages(), QStringList{"KTRM not found"});
        QVERIFY(rig.journal.entries().isEmpty());
    }

    // Right after Connect, Verify finds the grids holding the module's calibration.
    void commandsLeaveTheirCurrentCellsAndTheSwitchesOff_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QPoint>("map"); // column, row
        QTest::addColumn<int>("paramRow");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("send") << "&Send" << QPoint(16, 16) << 7 << QStringList{"Download Complete"};
        QTest::newRow("receive, headings rebuilt last") << "&Receive" << QPoint(0, 16) << 6 << QStringList();
        QTest::newRow("verify") << "&Verify" << QPoint(16, 16) << 7 << QStringList{"Verified OK"};
    }
    void commandsLeaveTheirCurrentCellsAndTheSwitchesOff()
    {
        QFETCH(QString, item);
        QFETCH(QPoint, map);
        QFETCH(int, paramRow);
        QFETCH(QStringList, messages);
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.tables.map().setCurrent(5, 5);
        w.tables.brake().setCol(3);
        w.tables.params().setRow(2);
        w.chkAutoRequest->setChecked(true);
        w.chkIndex->setChecked(true);
        w.menuItem(QStringLiteral("&Communication"), item)->trigger();
        QCOMPARE(current(w.tables.map()), map);
        QCOMPARE(current(w.tables.brake()), QPoint(16, 0));
        QCOMPARE(current(w.tables.params()), QPoint(1, paramRow));
        QCOMPARE(rig.dialogs.messages(), messages);
        QVERIFY(!w.chkAutoRequest->isChecked() && !w.tmrAutoRequest.isActive());
        QVERIFY(!w.chkIndex->isChecked() && !w.tmrIndex.isActive());
    }
};

QTEST_MAIN(TestReceiveVerify)
#include "test_receiveverify.moc"
