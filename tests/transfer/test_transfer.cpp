// Send, Receive and Verify on the virtual module: each field at the edges of its encoding, on the wire and
// back, where a send stops, whole journals, how Receive ends when the module stops answering.
#include "rig.h"
#include "simcalibration.h"
#include "transfer.h"

#include <QTest>
#include <QtWidgets>

namespace {
template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

FlexGrid &grid(CalibrationTables &t, int which) { return which == 1 ? t.map() : which == 2 ? t.brake() : t.params(); }

// The current cells of the map, brake and parameters.
QString cells(const CalibrationTables &t)
{
    QStringList out;
    for (const FlexGrid *g : {&t.map(), &t.brake(), &t.params()})
        out << QStringLiteral("%1,%2").arg(g->Col()).arg(g->Row());
    return out.join(u' ');
}

// Both blocks as they go out from the factory calibration with map row 2 column 3, brake column 5 and the
// three limits changed to the bytes of `tables`.
QByteArray blocks(const QByteArray &tables, const QByteArray &setup)
{
    HeldCalibration c = HeldCalibration::factory();
    c.cell(2, 3) = std::uint8_t(tables[0]);
    c.brake[4] = std::uint8_t(tables[1]);
    return "\x91" + QByteArray(reinterpret_cast<const char *>(c.map.data()), 256) +
           QByteArray(reinterpret_cast<const char *>(c.brake.data()), 16) + tables.mid(2) + QByteArray(4, '\0') + setup;
}
} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    // The texts of map row 2 column 3, brake column 5 and the parameter rows in order; the bytes they go as,
    // the setup block whole; what Receive shows then, Verify's and Receive's journals and the verdict.
    void eachFieldGoesOutAtTheEdgesOfItsEncodingAndComesBack_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QByteArray>("tables"); // map, brake and the three limits
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QString>("back");
        const QString x = QString(236, u'x'),
                      journals = " | R- W90 S50 R*35 W77 S50 R*2 R- W90 S50 R*35 W77 S50 R S10 R";
        row("0 and -1, RPM -255 and -1, an empty name: three setup reports", "0|0|-1|0|-0.5|-255|-1|0|0|",
            QByteArray::fromHex("0000ff0000"),
            QByteArray::fromHex("7810000000010000 00ff000000000000 0000000000000000"),
            "0|0|255|0|0|1|255|0|0|" + journals + " FAILED");
        row("255, RPM 65535, 236 characters", "255|255|255|255|255|65535|65535|255|255|" + x,
            QByteArray::fromHex("ffffffffff"),
            QByteArray::fromHex("78f80000ffff0000ffffffff") + QByteArray(236, 'x') + QByteArray(8, '\0'),
            "255|255|255|255|255|65535|65535|255|255|" + x +
                " | R- W90 S50 R*35 W77 S50 R*31 R- W90 S50 R*35 W77 S50 R S10 R*30 OK");
        const QString five = QStringLiteral("\u20AC\u0081\u0178\u00A0\u00FF"), four = "\u0001\u008D\u008F\u0090";
        row("halves to even, limits wrap, RPM 255 and 256, five characters: four setup reports",
            "0.5|254.5|256|255.5|-257|255|256|1.5|1.6|" + five, QByteArray::fromHex("00fe0000ff"),
            QByteArray::fromHex("7818000000ff0000 0100020280819fa0 ff00000000000000 0000000000000000"),
            "0|254|0|0|255|255|256|2|2|" + five + journals + " FAILED");
        row("four characters: three setup reports again", "1|2|3|4|5|6|7|8|9|" + four,
            QByteArray::fromHex("0102030405"),
            QByteArray::fromHex("7810000000060000 00070809018d8f90 0000000000000000"),
            "1|2|3|4|5|6|7|8|9|" + four + journals + " OK");
    }
    void eachFieldGoesOutAtTheEdgesOfItsEncodingAndComesBack()
    {
        QFETCH(QString, texts);
        QFETCH(QByteArray, tables);
        QFETCH(QByteArray, setup);
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(2, 3, texts.section(u'|', 0, 0));
        t.brake().setTextMatrix(0, 5, texts.section(u'|', 1, 1));
        for (int r = 0; r < 8; ++r)
            t.params().setTextMatrix(r, 1, texts.section(u'|', 2 + r, 2 + r));
        t.params().setCol(0); // on the labels: Send finds the values itself
        rig.window->mnuSend_Click();
        const QString moved = cells(t);
        QByteArray wire;
        for (const auto &write : rig.journal.writes())
            wire += write.payload;
        QCOMPARE(wire.toHex(' '), blocks(tables, setup).toHex(' '));
        rig.journal.clear();
        rig.window->mnuVerify_Click();
        rig.window->mnuReceive_Click();
        QCOMPARE(moved + ' ' + cells(t), QStringLiteral("16,16 16,0 1,7 0,16 16,0 1,6")); // column,row
        QStringList shown{t.map().TextMatrix(2, 3), t.brake().TextMatrix(0, 5)};
        for (int r = 0; r < 8; ++r)
            shown << t.param(ParamRow(r));
        QTEST(shown.join(u'|') + " | " + rig.journal.summary() + ' ' + rig.dialogs.messages().at(1).mid(9), "back");
        QCOMPARE(rig.dialogs.messages().size(), 2);
    }

    // The module holds zeros and the name "AB", and so do the grids after Connect; then one field is changed.
    // Every report of a send but the commands' starts with 00.
    void oneChangedFieldFailsVerifyAndGoesOutOrStopsTheSend_data()
    {
        QTest::addColumn<int>("grid"); // 1 map, 2 brake, 3 parameters
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        // Verify's verdict | Send's journal | the journal when Send gives back the pointer | Send's message
        QTest::addColumn<QString>("outcome");
        const QString whole =
            QStringLiteral(" | W91 W00*34 S50 R Wt2000 W78 W00*2 S50 R | W91 W00*34 S50 R Wt2000 W78 W00*2 S50 | "
                           "Download Complete");
        const QString tables = QStringLiteral("W91 W00*34 S50 R Wt2000"), setup = tables + " W78";
        const QString bytes = QStringLiteral(", outside the range 0 to 255"), rpm = ", outside the range -255 to 65535";
        const QString charset = " is not one the module can store in a name: it takes the characters of Windows-1252";
        auto stop = [](const QString &journal, const QString &what) {
            return "FAILED | " + journal + " | never | Send stopped at " + what +
                   ". The module received only the part of the calibration before it. Correct the value and send "
                   "again.";
        };
        row("0.0 is the 0 held", 1, 1, 1, "0.0", "OK" + whole);
        row("0.5 is not the 0 it goes as", 1, 1, 1, "0.5", "FAILED" + whole);
        row("RPM Start", 3, int(RpmStart), 1, "1", "FAILED" + whole);
        row("RPM Increment", 3, int(RpmIncrement), 1, "1", "FAILED" + whole);
        row("LOAD Start", 3, int(LoadStart), 1, "1", "FAILED" + whole);
        row("LOAD Increment", 3, int(LoadIncrement), 1, "1", "FAILED" + whole);
        row("name with a trailing blank", 3, int(BoardName), 1, "AB ", "FAILED" + whole);
        row("map row 1, column 1 at -1: nothing sent", 1, 1, 1, "-1",
            "FAILED |  | never | Send stopped at map row 1, column 1: it holds -1, outside the range 0 to 255. Nothing "
            "was "
            "sent to the module. Correct the value and send again.");
        row("map row 1, column 8 rounds to 256: one report sent", 1, 1, 8, "255.5",
            stop("W91", "map row 1, column 8: it holds \"255.5\", which counts as 256" + bytes));
        row("brake column 16 rounds to -1", 2, 0, 16, "-0.6",
            stop("W91 W00*33", "brake column 16: it holds \"-0.6\", which counts as -1" + bytes));
        row("RPM Start -256", 3, int(RpmStart), 1, "-256", stop(tables, "RPM Start: it holds -256" + rpm));
        row("RPM Increment 65536", 3, int(RpmIncrement), 1, "65536",
            stop(setup, "RPM Increment: it holds 65536" + rpm));
        row("LOAD Start 256 among blanks", 3, int(LoadStart), 1, " 256 ",
            stop(setup, "LOAD Start: it holds 256" + bytes));
        row("LOAD Increment -1", 3, int(LoadIncrement), 1, "-1", stop(setup, "LOAD Increment: it holds -1" + bytes));
        row("name of 237 characters", 3, int(BoardName), 1, QString(237, u'n'),
            stop(tables, "Board Name: it has 237 characters, and the module takes at most 236"));
        row("name character beyond Windows-1252", 3, int(BoardName), 1, QStringLiteral("AB\u0100"),
            stop(setup, "Board Name: character 3, \"\u0100\" (U+0100)," + charset));
        row("control character beyond Windows-1252", 3, int(BoardName), 1, QStringLiteral("A\u0080B"),
            stop(setup, "Board Name: character 2 (U+0080)" + charset));
    }
    void oneChangedFieldFailsVerifyAndGoesOutOrStopsTheSend()
    {
        QFETCH(int, grid);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        Rig rig;
        HeldCalibration zeros;
        zeros.boardName = "AB";
        rig.module.calibration().setHeld(zeros);
        rig.connect();
        FlexGrid &field = ::grid(rig.window->tables, grid);
        field.setTextMatrix(row, col, text);
        rig.window->mnuVerify_Click();
        rig.journal.clear();
        QString beforeLastRead = QStringLiteral("never");
        const auto sent = Transfer::Send(rig.window->tables, rig.misc, [&] { beforeLastRead = rig.journal.summary(); });
        QTEST(rig.dialogs.messages().first().mid(9) + " | " + rig.journal.summary() + " | " + beforeLastRead + " | " +
                  sent.message(),
              "outcome");
        QCOMPARE(field.TextMatrix(row, col), text); // not what was read
    }

    // The module holds the factory calibration with 93 in the limits and brake columns 9 to 11, and the row's
    // name. The grids hold it after Connect, then "old" in the cells shown.
    void receiveShowsWhatCameAndSaysWhereTheAnswerStopped_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("tableReports");
        QTest::addColumn<int>("setupReports"); // -1: all
        // Verify's verdict | Receive's journal | map row 16 column 16, Max Boost, RPM Start, map heading of column 3,
        // Board Name | the message
        QTest::addColumn<QString>("outcome");
        const QString again = QStringLiteral(" Receive again to read the whole calibration.");
        const QString nameCut = "Receive stopped: the module stopped answering during the board name. Everything else "
                                "shows the module's values, but the board name shown is not the module's whole name." +
                                again;
        row("whole, the name's zero in a second report", QByteArray("ABCDEFG\x9D"), 35, -1,
            QStringLiteral("OK | R- W90 S50 R*35 W77 S50 R S10 R*2 | 20 93 800 1000 ABCDEFG\u009D | "));
        row("no zero within 236 characters: the rest drained", QByteArray(300, 'A'), 35, -1,
            "FAILED | R- W90 S50 R*35 W77 S50 R S10 R*38 R- | 20 93 800 1000 " + QString(236, u'A') +
                " | The module's board name did not end within 236 characters; only the first 236 are shown.");
        row("no first table report: nothing changes, nothing said", QByteArray("AB"), 0, -1,
            QStringLiteral("FAILED | R- W90 S50 R- | old old old old old | "));
        // Without the 35th, Verify compares the limits with brake cells of the same value.
        row("after 34 table reports", QByteArray("AB"), 34, -1,
            "FAILED | R- W90 S50 R*34 R- | 20 old old old old | Receive stopped: the module stopped answering after "
            "34 of its 35 table reports. The cells filled until then show the module's values; the rest of the "
            "calibration is as it was." +
                again);
        row("no scaling report", QByteArray("AB"), 35, 0,
            "FAILED | R- W90 S50 R*35 W77 S50 R- | 20 93 old old old | Receive stopped: the module did not send its "
            "axis scaling. The map, brake row and limits show the module's values; the axis scaling and board name "
            "are as they were." +
                again);
        row("no name report", QByteArray("AB"), 35, 1,
            "FAILED | R- W90 S50 R*35 W77 S50 R S10 R- | 20 93 800 1000 old | " + nameCut);
        row("name reports stop before the zero", QByteArray("ABCDEFGHIJ"), 35, 2,
            "FAILED | R- W90 S50 R*35 W77 S50 R S10 R R- | 20 93 800 1000 ABCDEFGH | " + nameCut);
    }
    void receiveShowsWhatCameAndSaysWhereTheAnswerStopped()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, tableReports);
        QFETCH(int, setupReports);
        Rig rig;
        HeldCalibration c = HeldCalibration::factory();
        c.maxPosition = c.maxAdjust = c.maxBoost = c.brake[8] = c.brake[9] = c.brake[10] = 93;
        c.boardName = name;
        rig.module.calibration().setHeld(c);
        rig.connect();
        rig.module.calibration().faults = {tableReports, setupReports};
        rig.window->mnuVerify_Click();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(16, 16, QStringLiteral("old"));
        t.map().setTextMatrix(0, 3, QStringLiteral("old"));
        for (ParamRow row : {MaxBoost, RpmStart, BoardName})
            t.params().setTextMatrix(row, 1, QStringLiteral("old"));
        rig.journal.clear();
        rig.window->mnuReceive_Click();
        const QStringList shown{t.map().TextMatrix(16, 16), t.param(MaxBoost), t.param(RpmStart),
                                t.map().TextMatrix(0, 3), t.param(BoardName)};
        QTEST(rig.dialogs.messages().first().mid(9) + " | " + rig.journal.summary() + " | " + shown.join(u' ') + " | " +
                  rig.dialogs.messages().mid(1).join(u'|'),
              "outcome");
    }

    // Send, Verify and Receive need a KTRM and untick Auto and Index. Send holds the link through its pause, under
    // the hourglass: commands are refused meanwhile.
    void commandsNeedAKtrmAndUntickAutoAndIndex()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        const char *items[] = {"&Send", "&Verify", "&Receive"};
        bool hourglass = false;
        rig.misc.duringEvents = [&] {
            hourglass = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            for (const char *item : items)
                w.menuItem(QStringLiteral("&Communication"), item)->trigger();
        };
        QString ticked; // Auto and Index after each command
        for (const char *board : {"PNDX", "KTRM"}) {
            w.lblBoard->setText(QString::fromLatin1(board));
            for (const char *item : items) {
                w.chkAutoRequest->setChecked(true);
                w.chkIndex->setChecked(true);
                w.menuItem(QStringLiteral("&Communication"), item)->trigger();
                ticked += QStringLiteral("%1%2 ").arg(w.chkAutoRequest->isChecked()).arg(w.chkIndex->isChecked());
            }
        }
        QCOMPARE(ticked, QStringLiteral("11 11 11 00 00 00 "));
        QVERIFY(hourglass && !QApplication::overrideCursor() && !w.linkBusy());
        const QStringList refused = QStringList(3, QStringLiteral("KTRM not found")) + QStringList(3, w.busyMessage());
        QCOMPARE(rig.dialogs.messages(), refused + QStringList({"Download Complete", "Verified OK"}));
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
