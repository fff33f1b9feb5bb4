// Send, Receive and Verify: wire bytes, where a send stops, what Receive shows and how it ends when
// the module stops answering, Verify's comparisons, waits, current cells and switches.
#include "rig.h"
#include "simcalibration.h"

#include <QTest>
#include <QtWidgets>

namespace {
// Both blocks as `c` goes out, the setup block of length byte n with the
// factory's other scaling and zeros to the end of its last report.
QByteArray blocks(const HeldCalibration &c, int n)
{
    QByteArray s("\x91");
    s.append(reinterpret_cast<const char *>(c.map.data()), 256);
    s.append(reinterpret_cast<const char *>(c.brake.data()), 16);
    for (int v : std::initializer_list<int>{c.maxPosition, c.maxAdjust, c.maxBoost, 0, 0, 0, 0, 0x78, n, 0, 0,
                                            c.rpmStart >> 8, c.rpmStart & 0xFF, 0, 0, 0, 200, 10, 6})
        s += char(v);
    return s + c.boardName + QByteArray(n - 4 - int(c.boardName.size()), '\0');
}

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

QString at(const FlexGrid &grid) { return QStringLiteral("%1,%2").arg(grid.Col()).arg(grid.Row()); }
} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    void sendPutsEachFieldOnTheWireAsTheModuleHoldsIt_data()
    {
        QTest::addColumn<QStringList>("texts"); // map cell, brake cell, Max Position and Max Boost, RPM Start, name
        QTest::addColumn<QList<int>>("held");   // their bytes
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("n"); // the setup block's length byte
        QTest::addColumn<QString>("verdict");
        QTest::newRow("halves to even, 256 wraps to 0, empty name: three reports")
            << QStringList{"12.5", "-0.5", "256", "1500", ""} << QList<int>{12, 0, 0} << QByteArray() << 16
            << "Verified FAILED";
        QTest::newRow(
            "254.5 to 254, -1 to 255, five Windows-1252 characters, unassigned codes as controls: four reports")
            << QStringList{"13.5", "254.5", "-1", "65535", QString::fromUtf8("€Ÿ™\u0081ÿ")} << QList<int>{14, 254, 255}
            << QByteArray("\x80\x9F\x99\x81\xFF") << 24 << "Verified FAILED";
        QTest::newRow("empty to 0, number then letters, 236 characters: verifies")
            << QStringList{"", "100abc", "7", "2000", QString(236, QLatin1Char('x'))} << QList<int>{0, 100, 7}
            << QByteArray(236, 'x') << 248 << "Verified OK";
    }
    void sendPutsEachFieldOnTheWireAsTheModuleHoldsIt()
    {
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, held);
        QFETCH(QByteArray, name);
        QFETCH(int, n);
        QFETCH(QString, verdict);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(2, 3, texts[0]);
        t.brake().setTextMatrix(0, 5, texts[1]);
        for (ParamRow row : {MaxPosition, MaxBoost, RpmStart, BoardName})
            t.params().setTextMatrix(row, 1, texts[row == RpmStart ? 3 : row == BoardName ? 4 : 2]);
        HeldCalibration expected = HeldCalibration::factory();
        expected.cell(2, 3) = std::uint8_t(held[0]);
        expected.brake[4] = std::uint8_t(held[1]);
        expected.maxPosition = expected.maxBoost = std::uint8_t(held[2]);
        expected.rpmStart = quint16(texts[3].toInt());
        expected.boardName = name;
        rig.window->mnuSend_Click();
        QByteArray sent;
        for (const auto &write : rig.journal.writes())
            sent += write.payload;
        QCOMPARE(sent.toHex(' '), blocks(expected, n).toHex(' '));
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(), (QStringList{"Download Complete", verdict}));
    }

    void fieldItsEncodingCannotCarryStopsTheSendThere_data()
    {
        QTest::addColumn<int>("grid"); // 1 map, 2 brake, 3 parameters
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("reportsWritten");
        QTest::addColumn<QString>("what"); // the message between "Send stopped at " and what was sent
        const QString charset =
            QStringLiteral(" is not one the module can store in a name: it takes the characters of Windows-1252.");
        row("map 255.5 rounds to 256", 1, 3, 5, "255.5", 4,
            "map row 3, column 5: it holds \"255.5\", which counts as 256, outside the range 0 to 255.");
        row("brake negative", 2, 0, 16, "-1", 34, "brake column 16: it holds -1, outside the range 0 to 255.");
        row("RPM Increment below -255", 3, int(RpmIncrement), 1, "-255.6", 36,
            "RPM Increment: it holds \"-255.6\", which counts as -256, outside the range -255 to 65535.");
        row("LOAD Start 256", 3, int(LoadStart), 1, "256", 36, "LOAD Start: it holds 256, outside the range 0 to 255.");
        row("name of 237 characters", 3, int(BoardName), 1, QString(237, QLatin1Char('n')), 35,
            "Board Name: it has 237 characters, and the module takes at most 236.");
        row("name character outside Windows-1252", 3, int(BoardName), 1, QString::fromUtf8("ABΩ"), 36,
            QString::fromUtf8("Board Name: character 3, \"Ω\" (U+03A9),") + charset);
        row("control character outside Windows-1252", 3, int(BoardName), 1, QStringLiteral("A\u0080B"), 36,
            "Board Name: character 2 (U+0080)" + charset);
    }
    void fieldItsEncodingCannotCarryStopsTheSendThere()
    {
        QFETCH(int, grid);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(int, reportsWritten);
        QFETCH(QString, what);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        FlexGrid &field = grid == 1 ? t.map() : grid == 2 ? t.brake() : t.params();
        field.setTextMatrix(row, col, text);
        rig.window->mnuSend_Click();
        QCOMPARE(rig.journal.writes().size(), reportsWritten);
        QCOMPARE(rig.dialogs.shown.first().title, QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(!QApplication::overrideCursor() && !rig.window->linkBusy());
        // The module gives up the block cut short; a corrected send goes through whole.
        rig.misc.advance(5000);
        field.setTextMatrix(row, col, QStringLiteral("0"));
        rig.window->mnuSend_Click();
        rig.window->mnuVerify_Click();
        QCOMPARE(rig.dialogs.messages(),
                 (QStringList{"Send stopped at " + what +
                                  " The module received only the part of the calibration before it. Correct the value "
                                  "and send again.",
                              "Download Complete", "Verified OK"}));
    }

    // Commands are refused while Send holds the link through its pause, a
    // Disconnect among them: the module never gets a map without its setup.
    void sendPausesUnderTheHourglassRefusingCommandsDisconnectIncluded()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        ClearTables(w.tables);                 // all zeros: every report's first byte is 00 but the commands'
        bool acted = false, hourglass = false; // acts once: a send that got through would pause again
        rig.misc.duringEvents = [&] {
            if (std::exchange(acted, true))
                return;
            hourglass = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            for (const char *item : {"&Receive", "&Verify", "&Send"})
                w.menuItem("&Communication", item)->trigger();
            w.mnuDisconnect_Click();
        };
        w.mnuSend_Click();
        QCOMPARE(rig.journal.summary(), QStringLiteral("W91 W00*34 S50 R Wt2000 W78 W00*2 S50 R"));
        QVERIFY(hourglass && !QApplication::overrideCursor() && !w.linkBusy() && NonBlockingUSB::Connected);
        QCOMPARE(rig.dialogs.messages(), QStringList(4, frmVGT_Tuner::busyMessage()) << "Download Complete");
    }

    void receiveShowsTheScalingAndTheNameUpToItsZero_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("waits"); // then the message
        QTest::newRow("Windows-1252, unassigned codes as their controls: one name report")
            << QByteArray("\x80\x9F\x81\x9D\xA0\xFF") << QString::fromUtf8("€Ÿ\u0081\u009D\u00A0ÿ")
            << "R- W90 S50 R*35 W77 S50 R S10 R | ";
        row("eight characters: the zero in a second", QByteArray("ABCDEFGH"), QStringLiteral("ABCDEFGH"),
            "R- W90 S50 R*35 W77 S50 R S10 R*2 | ");
        QTest::newRow("no zero within 236 characters: the rest drained")
            << QByteArray(300, 'A') << QString(236, QLatin1Char('A'))
            << "R- W90 S50 R*35 W77 S50 R S10 R*38 R- | The module's board name did not end within 236 characters; "
               "only the first 236 are shown.";
    }
    void receiveShowsTheScalingAndTheNameUpToItsZero()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        Rig rig;
        rig.connect();
        HeldCalibration c = HeldCalibration::factory();
        c.boardName = name;
        c.cell(16, 16) = 255;
        c.rpmStart = 500;
        c.rpmIncrement = 100;
        c.loadIncrement = 5;
        rig.module.calibration().setHeld(c);
        rig.window->mnuReceive_Click();
        QTEST(rig.journal.summary() + " | " + rig.dialogs.messages().join(u'|'), "waits");
        // The scaling report, after the drain's empty read and 35 table reports.
        QCOMPARE(rig.journal.reads().at(36).payload.left(6).toHex(' '), QByteArray("01 f4 0a 00 64 05"));
        const auto &t = rig.window->tables;
        QCOMPARE((QStringList{t.map().TextMatrix(16, 16), t.param(MaxPosition), t.param(MaxAdjust), t.param(MaxBoost),
                              t.param(RpmStart), t.param(LoadStart), t.param(RpmIncrement), t.param(LoadIncrement),
                              t.map().TextMatrix(0, 3), t.param(BoardName)}),
                 (QStringList{"255", "95", "20", "200", "500", "10", "100", "5", "600", shown}));
    }

    void answerCutShortFailsVerifyAndStopsReceiveThere_data()
    {
        QTest::addColumn<int>("tableReports");
        QTest::addColumn<int>("setupReports");
        // Receive's waits | map rows 1 and 16 of column 16, Max Boost, RPM Start, Board Name | the message
        QTest::addColumn<QString>("outcome");
        row("no first table report: nothing changes, nothing said", 0, -1, "R- W90 S50 R- | old old old 1234 old | ");
        // Without the 35th, the buffer still holds brake cells equal to the limits.
        row("after 34 table reports", 34, -1,
            "R- W90 S50 R*34 R- | 20 20 old 1234 old | Receive stopped: the module stopped answering after 34 of its "
            "35 table reports. The cells filled until then show the module's values; the rest of the calibration is "
            "as it was. Receive again to read the whole calibration.");
        row("no scaling report", 35, 0,
            "R- W90 S50 R*35 W77 S50 R- | 20 20 93 1234 old | Receive stopped: the module did not send its axis "
            "scaling. The map, brake row and limits show the module's values; the axis scaling and board name are as "
            "they were. Receive again to read the whole calibration.");
        row("name reports stop before the zero", 35, 2,
            "R- W90 S50 R*35 W77 S50 R S10 R R- | 20 20 93 800 Marlow V | Receive stopped: the module stopped "
            "answering during the board name. Everything else shows the module's values, but the board name shown is "
            "not the module's whole name. Receive again to read the whole calibration.");
    }
    void answerCutShortFailsVerifyAndStopsReceiveThere()
    {
        QFETCH(int, tableReports);
        QFETCH(int, setupReports);
        Rig rig;
        HeldCalibration c = HeldCalibration::factory();
        c.maxPosition = c.maxAdjust = c.maxBoost = c.brake[8] = c.brake[9] = c.brake[10] = 93;
        rig.module.calibration().setHeld(c);
        rig.connect();
        rig.window->mnuVerify_Click();
        rig.module.calibration().faults = {tableReports, setupReports};
        rig.window->mnuVerify_Click();
        auto &t = rig.window->tables;
        for (int r : {1, 16})
            t.map().setTextMatrix(r, 16, QStringLiteral("old"));
        for (ParamRow row : {MaxBoost, RpmStart, BoardName})
            t.params().setTextMatrix(row, 1, row == RpmStart ? QStringLiteral("1234") : QStringLiteral("old"));
        rig.journal.clear();
        rig.window->mnuReceive_Click();
        const QStringList shown{t.map().TextMatrix(1, 16), t.map().TextMatrix(16, 16), t.param(MaxBoost),
                                t.param(RpmStart), t.param(BoardName)};
        QTEST(rig.journal.summary() + " | " + shown.join(u' ') + " | " + rig.dialogs.messages().mid(2).join(u'|'),
              "outcome");
        QCOMPARE(rig.dialogs.messages().mid(0, 2), QStringList({"Verified OK", "Verified FAILED"}));
    }

    // Right after Connect the grids hold the module's calibration: map row 1
    // column 1 holds 30, Max Position 95, Max Adjust 20.
    void verifyComparesEachFieldExactlyReadingTheWholeAnswer_data()
    {
        QTest::addColumn<int>("row"); // parameter row, or -1 for map row 1 column 1
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("verdict");
        const QString ok = QStringLiteral("Verified OK"), failed = QStringLiteral("Verified FAILED");
        QTest::newRow("30.0 matches 30") << -1 << "30.0" << ok;
        QTest::newRow("30.5 is not the 30 it sends as, first in the answer") << -1 << "30.5" << failed;
        QTest::newRow("351 is not the 95 it sends as") << int(MaxPosition) << "351" << failed;
        QTest::newRow("name in other letter case") << int(BoardName) << "marlow vgt" << failed;
        QTest::newRow("name with a trailing blank") << int(BoardName) << "Marlow VGT " << failed;
    }
    void verifyComparesEachFieldExactlyReadingTheWholeAnswer()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        row < 0 ? t.map().setTextMatrix(1, 1, text) : t.params().setTextMatrix(row, 1, text);
        rig.window->mnuVerify_Click();
        // Without the pause Receive makes before the name.
        QCOMPARE(rig.journal.summary(), QStringLiteral("R- W90 S50 R*35 W77 S50 R*3"));
        QTEST(rig.dialogs.messages().join(u'|'), "verdict");
        QCOMPARE(row < 0 ? t.map().TextMatrix(1, 1) : t.param(ParamRow(row)), text); // not what was read
    }

    void commandsNeedAKtrmAndLeaveTheirCurrentCellsAndTheSwitchesOff_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("outcome"); // messages | current cells of map, brake, parameters (column,row)
        const QString refused = QStringLiteral("Board not connected|KTRM not found");
        QTest::newRow("send") << "&Send" << refused + "|Download Complete | 16,16 16,0 1,7";
        QTest::newRow("receive, headings rebuilt last") << "&Receive" << refused + " | 0,16 16,0 1,6";
        QTest::newRow("verify") << "&Verify" << refused + "|Verified OK | 16,16 16,0 1,7";
    }
    void commandsNeedAKtrmAndLeaveTheirCurrentCellsAndTheSwitchesOff()
    {
        QFETCH(QString, item);
        Rig rig;
        auto &w = *rig.window;
        QAction *command = w.menuItem(QStringLiteral("&Communication"), item);
        command->trigger();
        w.mnuConnect_Click();
        w.chkAutoRequest->setChecked(true);
        w.chkIndex->setChecked(true);
        w.lblBoard->setText(QStringLiteral("PNDX"));
        rig.journal.clear();
        command->trigger();
        QVERIFY(rig.journal.entries().isEmpty() && w.chkAutoRequest->isChecked() && w.chkIndex->isChecked());
        w.lblBoard->setText(QStringLiteral("KTRM"));
        w.tables.map().setCurrent(5, 5);
        w.tables.brake().setCol(3);
        w.tables.params().setRow(2);
        command->trigger();
        QTEST(rig.dialogs.messages().join(u'|') + " | " + at(w.tables.map()) + " " + at(w.tables.brake()) + " " +
                  at(w.tables.params()),
              "outcome");
        QVERIFY(!w.chkAutoRequest->isChecked() && !w.tmrAutoRequest.isActive());
        QVERIFY(!w.chkIndex->isChecked() && !w.tmrIndex.isActive());
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
