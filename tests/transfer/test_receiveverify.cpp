// Receive and Verify: what they read and where it lands, their waits, how they
// end when the module stops answering, and Verify's exact comparisons.
#include "rig.h"
#include "transfertestsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QTest>

namespace {
HeldCalibration withName(const QByteArray &name)
{
    HeldCalibration c = HeldCalibration::factory();
    c.boardName = name;
    return c;
}

void expectCurrent(const FlexGrid &grid, int row, int col)
{
    QCOMPARE(QPoint(grid.Col(), grid.Row()), QPoint(col, row));
}
} // namespace

class TestReceiveVerify : public QObject {
    Q_OBJECT
private slots:
    void connectShowsTheModuleCalibrationAndHeadings()
    {
        Rig rig;
        rig.connect();
        const auto &t = rig.window->tables;
        const HeldCalibration factory = HeldCalibration::factory();
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c)
                QCOMPARE(t.map().TextMatrix(r, c), QString::number(factory.cell(r, c)));
        QCOMPARE(t.brake().TextMatrix(0, 1), QString::number(factory.brake[0]));
        QCOMPARE(t.param(MaxBoost), QStringLiteral("200"));
        QCOMPARE(t.param(BoardName), QStringLiteral("Marlow VGT"));
        QCOMPARE(t.map().TextMatrix(0, 2), QStringLiteral("800"));
        QCOMPARE(t.map().TextMatrix(0, 16), QStringLiteral("3600"));
        QCOMPARE(t.map().TextMatrix(16, 0), QStringLiteral("94%"));
        // The factory map closes the vanes at low speed and high load and opens them with speed.
        QVERIFY(factory.cell(16, 2) > factory.cell(1, 2));
        QVERIFY(factory.cell(16, 2) > factory.cell(16, 16));
    }

    void receiveWritesPlainDecimalsAndTheScaling()
    {
        Rig rig;
        rig.connect();
        HeldCalibration c = HeldCalibration::factory();
        c.cell(1, 1) = 0;
        c.cell(16, 16) = 255;
        c.rpmStart = 500;
        c.loadStart = 10;
        c.rpmIncrement = 100;
        c.loadIncrement = 5;
        rig.module.calibration().setHeld(c);
        rig.window->mnuReceive_Click();
        const auto scaling = rig.journal.reads().at(35 + 1).payload; // the drain's empty read, 35 table reports
        QCOMPARE(scaling.left(6).toHex(' '), QByteArray("01 f4 0a 00 64 05"));
        const auto &t = rig.window->tables;
        QCOMPARE(t.map().TextMatrix(1, 1), QStringLiteral("0"));
        QCOMPARE(t.map().TextMatrix(16, 16), QStringLiteral("255"));
        QCOMPARE(t.param(RpmStart), QStringLiteral("500"));
        QCOMPARE(t.param(LoadStart), QStringLiteral("10"));
        QCOMPARE(t.param(RpmIncrement), QStringLiteral("100"));
        QCOMPARE(t.param(LoadIncrement), QStringLiteral("5"));
        QCOMPARE(t.map().TextMatrix(0, 3), QStringLiteral("600"));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void nameEndsAtItsZeroByte_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("waits");
        QTest::newRow("empty: one name report") << QByteArray() << "R- W90 S50 R*35 W77 S50 R S10 R";
        QTest::newRow("three characters: one") << QByteArray("abc") << "R- W90 S50 R*35 W77 S50 R S10 R";
        QTest::newRow("eight characters: the zero in a second")
            << QByteArray("ABCDEFGH") << "R- W90 S50 R*35 W77 S50 R S10 R*2";
        QTest::newRow("236 characters") << QByteArray(236, 'z') << "R- W90 S50 R*35 W77 S50 R S10 R*30";
        QTest::newRow("Windows-1252 bytes") << QByteArray("\x80\x81\xFF") << "R- W90 S50 R*35 W77 S50 R S10 R";
    }
    void nameEndsAtItsZeroByte()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, waits);
        Rig rig;
        rig.connect();
        rig.module.calibration().setHeld(withName(name));
        rig.window->mnuReceive_Click();
        QCOMPARE(rig.journal.summary(), waits);
        QCOMPARE(rig.window->tables.param(BoardName).size(), name.size());
        // Every byte comes back as the character that sends as it again.
        rig.window->mnuSend_Click();
        QCOMPARE(rig.module.calibration().held().boardName, name);
    }

    void nameWithoutAZeroIsCutAtWhatABlockCarries()
    {
        Rig rig;
        rig.connect();
        rig.module.calibration().setHeld(withName(QByteArray(300, 'A')));
        rig.window->mnuReceive_Click();
        QCOMPARE(rig.window->tables.param(BoardName), QString(236, QLatin1Char('A')));
        QCOMPARE(
            rig.dialogs.messages(),
            QStringList{"The module's board name did not end within 236 characters; only the first 236 are shown."});
        QCOMPARE(rig.module.queuedReplies(), std::size_t(0));
        QCOMPARE(rig.window->tables.map().TextMatrix(0, 2), QStringLiteral("800")); // headings rebuilt
    }

    void missingFirstTablesReplyLeavesTheGridsAsTheyWere()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.tables.map().setTextMatrix(3, 3, QStringLiteral("edited"));
        setParam(w.tables, RpmStart, QStringLiteral("1234"));
        const QStringList before = allCellTexts(w.tables);
        w.chkIndex->setChecked(true);
        rig.module.calibration().faults.tableReportsSent = 0;
        w.mnuReceive_Click();
        QCOMPARE(rig.journal.summary(), QStringLiteral("R- W90 S50 R-"));
        QCOMPARE(allCellTexts(w.tables), before);
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(!w.chkIndex->isChecked());
    }

    void receiveStopsWhereTheModuleStopsAnswering_data()
    {
        QTest::addColumn<int>("tableReports");
        QTest::addColumn<int>("setupReports");
        QTest::addColumn<int>("rowsReceived");
        QTest::addColumn<QString>("rpmStart");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString again = QStringLiteral(" Receive again to read the whole calibration.");
        QTest::newRow("after ten table reports")
            << 10 << -1 << 5 << "1234"
            << "old"
            << "Receive stopped: the module stopped answering after 10 of its 35 table reports. The cells filled "
               "until then show the module's values; the rest of the calibration is as it was." +
                   again;
        QTest::newRow("no scaling report")
            << 35 << 0 << 16 << "1234"
            << "old"
            << "Receive stopped: the module did not send its axis scaling. The map, brake row and limits show the "
               "module's values; the axis scaling and board name are as they were." +
                   again;
        QTest::newRow("no name report") << 35 << 1 << 16 << "800"
                                        << "old"
                                        << "Receive stopped: the module stopped answering during the board name. "
                                           "Everything else shows the module's values, but the board name shown is "
                                           "not the module's whole name." +
                                               again;
        QTest::newRow("name reports stop before the zero")
            << 35 << 2 << 16 << "800"
            << "ABCDEFGH"
            << "Receive stopped: the module stopped answering during the board name. Everything else shows the "
               "module's values, but the board name shown is not the module's whole name." +
                   again;
    }
    void receiveStopsWhereTheModuleStopsAnswering()
    {
        QFETCH(int, tableReports);
        QFETCH(int, setupReports);
        QFETCH(int, rowsReceived);
        QFETCH(QString, rpmStart);
        QFETCH(QString, name);
        QFETCH(QString, message);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c)
                t.map().setTextMatrix(r, c, QStringLiteral("old"));
        setParam(t, RpmStart, QStringLiteral("1234"));
        setParam(t, BoardName, QStringLiteral("old"));
        rig.module.calibration().setHeld(withName("ABCDEFGHIJKLMNOP"));
        rig.module.calibration().faults = {tableReports, setupReports};
        rig.window->mnuReceive_Click();
        QCOMPARE(rig.dialogs.messages(), QStringList{message});
        const HeldCalibration held = rig.module.calibration().held();
        for (int r = 1; r <= 16; ++r)
            QCOMPARE(t.map().TextMatrix(r, 16), r <= rowsReceived ? QString::number(held.cell(r, 16)) : "old");
        QCOMPARE(t.param(RpmStart), rpmStart);
        QCOMPARE(t.param(BoardName), name);
    }

    void verifyComparesEachFieldExactly_data()
    {
        QTest::addColumn<int>("row"); // parameter row, or -1 for map row 2 column 2
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("007 matches 7") << -1 << "007"
                                       << "Verified OK";
        QTest::newRow("7.0 matches 7") << -1 << "7.0"
                                       << "Verified OK";
        QTest::newRow("12.5 is not 12") << -1 << "12.5"
                                        << "Verified FAILED";
        QTest::newRow("empty matches 0") << int(MaxAdjust) << ""
                                         << "Verified OK";
        QTest::newRow("256 is not the 0 it sends as") << int(MaxPosition) << "256"
                                                      << "Verified FAILED";
        QTest::newRow("same name") << int(BoardName) << "Marlow VGT"
                                   << "Verified OK";
        QTest::newRow("name in other letter case") << int(BoardName) << "marlow vgt"
                                                   << "Verified FAILED";
        QTest::newRow("name with a trailing blank") << int(BoardName) << "Marlow VGT "
                                                    << "Verified FAILED";
    }
    void verifyComparesEachFieldExactly()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, verdict);
        Rig rig;
        rig.connect();
        HeldCalibration c = HeldCalibration::factory();
        c.cell(2, 2) = 7;
        c.maxAdjust = 0;
        c.maxPosition = 0;
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
        QCOMPARE(rig.dialogs.messages(), QStringList{verdict});
        QCOMPARE(rig.dialogs.shown.first().title, QStringLiteral("Marlow VGT Tuner"));
    }

    void verifyReadsTheWholeAnswerAfterAnEarlyMismatchAndChangesNoCell()
    {
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(1, 1, QStringLiteral("99"));
        HeldCalibration other = HeldCalibration::factory();
        other.map.fill(3);
        other.boardName = "Other";
        rig.module.calibration().setHeld(other);
        const QStringList before = allCellTexts(t);
        rig.window->mnuVerify_Click();
        // Without the pause Receive makes before the name.
        QCOMPARE(rig.journal.summary(), QStringLiteral("R- W90 S50 R*35 W77 S50 R*2"));
        QCOMPARE(rig.dialogs.messages(), QStringList{"Verified FAILED"});
        QCOMPARE(allCellTexts(t), before);
    }

    void verifyFailsWhenAReportNeverComes_data()
    {
        QTest::addColumn<int>("tableReports");
        QTest::addColumn<int>("setupReports");
        QTest::newRow("first table report") << 0 << -1;
        QTest::newRow("last table report") << 34 << -1;
        QTest::newRow("scaling report") << 35 << 0;
        QTest::newRow("name report") << 35 << 1;
        QTest::newRow("second name report") << 35 << 2;
    }
    void verifyFailsWhenAReportNeverComes()
    {
        QFETCH(int, tableReports);
        QFETCH(int, setupReports);
        Rig rig;
        rig.connect();
        // The 34th report then ends with the limits' values, so the bytes left
        // in the buffer when the 35th never comes would match them.
        HeldCalibration c = withName("ABCDEFGHIJKLMNOP");
        c.brake[8] = c.maxPosition;
        c.brake[9] = c.maxAdjust;
        c.brake[10] = c.maxBoost;
        rig.module.calibration().setHeld(c);
        rig.window->mnuReceive_Click();
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Verified OK"});
        rig.dialogs.clear();
        rig.module.calibration().faults = {tableReports, setupReports};
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Verified FAILED"});
    }

    void commandsRefuseWithoutAConnectedKtrm_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("pndx");
        QTest::addColumn<QString>("message");
        for (const char *item : {"&Send", "&Receive", "&Verify"}) {
            QTest::addRow("%s, nothing connected", item) << item << false << "Board not connected";
            QTest::addRow("%s, other board", item) << item << true << "KTRM not found";
        }
    }
    void commandsRefuseWithoutAConnectedKtrm()
    {
        QFETCH(QString, item);
        QFETCH(bool, pndx);
        QFETCH(QString, message);
        Rig rig(pndx ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
        if (pndx)
            rig.connect();
        rig.window->menuItem(QStringLiteral("&Communication"), item)->trigger();
        QCOMPARE(rig.dialogs.messages(), QStringList{message});
        QVERIFY(rig.journal.entries().isEmpty());
    }

    void commandsLeaveTheirCurrentCellsAndTheSwitchesOff_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QPoint>("map"); // column, row
        QTest::addColumn<int>("paramRow");
        QTest::newRow("send") << "&Send" << QPoint(16, 16) << 7;
        QTest::newRow("receive, headings rebuilt last") << "&Receive" << QPoint(0, 16) << 6;
        QTest::newRow("verify") << "&Verify" << QPoint(16, 16) << 7;
    }
    void commandsLeaveTheirCurrentCellsAndTheSwitchesOff()
    {
        QFETCH(QString, item);
        QFETCH(QPoint, map);
        QFETCH(int, paramRow);
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.tables.map().setCurrent(5, 5);
        w.tables.brake().setCol(3);
        w.tables.params().setRow(2);
        w.chkAutoRequest->setChecked(true);
        w.chkIndex->setChecked(true);
        w.menuItem(QStringLiteral("&Communication"), item)->trigger();
        expectCurrent(w.tables.map(), map.y(), map.x());
        expectCurrent(w.tables.brake(), 0, 16);
        expectCurrent(w.tables.params(), paramRow, 1);
        QVERIFY(!w.chkAutoRequest->isChecked() && !w.tmrAutoRequest.isActive());
        QVERIFY(!w.chkIndex->isChecked() && !w.tmrIndex.isActive());
    }
};

QTEST_MAIN(TestReceiveVerify)
#include "test_receiveverify.moc"
