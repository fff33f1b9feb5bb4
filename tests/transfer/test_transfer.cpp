// Send, Receive and Verify on the virtual module: each field at the edges of its encoding, on the wire and
// back, where a send stops, whole journals, how Receive ends when the module stops answering.
#include "rig.h"
#include "simcalibration.h"
#include "transfer.h"

#include <QTest>

namespace {
template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    // Over zeros, the texts of map row 2 column 3, brake column 5 and the parameter rows; the bytes they go as (the
    // same, then the setup block whole); what Receive shows then | Verify's and Receive's journals, the verdict.
    void eachFieldGoesOutAtTheEdgesOfItsEncodingAndComesBack_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("back");
        const QString edges = "255|255|255|255|255|65535|258|255|3|" + QString(236, u'x'),
                      journals = " | R- W90 S50 R*35 W77 S50 R*2 R- W90 S50 R*35 W77 S50 R S10 R";
        row("0 and -1, RPM -255 and -1, an empty name: three setup reports", "0|0|-1|0|-0.5|-255|-1|0|0|",
            QByteArray::fromHex("0000ff0000 7810000000010000 00ff000000000000 0000000000000000"),
            "0|0|255|0|0|1|255|0|0|" + journals + " FAILED");
        row("255, RPM 65535, 236 characters, scaling fields apart", edges,
            QByteArray::fromHex("ffffffffff 78f80000ffff00000102ff03") + QByteArray(236, 'x') + QByteArray(8, '\0'),
            edges + " | R- W90 S50 R*35 W77 S50 R*31 R- W90 S50 R*35 W77 S50 R S10 R*30 OK");
        row("halves to even, limits wrap, RPM 255 and 256, five characters: four setup reports",
            "0.5|254.5|256|255.5|-257|255|256|1.5|1.6|\u20AC\u0081\u0178\u00A0\u00FF",
            QByteArray::fromHex("00fe0000ff 7818000000ff0000 0100020280819fa0 ff00000000000000 0000000000000000"),
            "0|254|0|0|255|255|256|2|2|\u20AC\u0081\u0178\u00A0\u00FF" + journals + " FAILED");
    }
    void eachFieldGoesOutAtTheEdgesOfItsEncodingAndComesBack()
    {
        QFETCH(QString, texts);
        QFETCH(QByteArray, bytes);
        Rig rig;
        rig.module.calibration().setHeld({});
        rig.connect();
        auto &t = rig.window->tables;
        t.map().setTextMatrix(2, 3, texts.section(u'|', 0, 0));
        t.brake().setTextMatrix(0, 5, texts.section(u'|', 1, 1));
        for (int r = 0; r < 8; ++r)
            t.params().setTextMatrix(r, 1, texts.section(u'|', 2 + r, 2 + r));
        t.params().setCol(0);                       // on the labels: Send finds the values itself
        QVERIFY(Transfer::Unsendable(t).isEmpty()); // every edge is carried
        rig.window->mnuSend_Click();
        QCOMPARE(t.params().Row(), 7); // Send ends on the name, where its last field came from
        QByteArray wire, expected = "\x91" + QByteArray(279, '\0') + bytes.mid(5);
        expected[19] = bytes[0];
        expected[261] = bytes[1];
        for (const auto &write : rig.journal.writes())
            wire += write.payload;
        QCOMPARE(wire.toHex(' '), expected.replace(273, 3, bytes.mid(2, 3)).toHex(' '));
        rig.journal.clear();
        rig.window->mnuVerify_Click();
        rig.window->mnuReceive_Click();
        QStringList shown{t.map().TextMatrix(2, 3), t.brake().TextMatrix(0, 5)};
        for (int r = 0; r < 8; ++r)
            shown << t.param(ParamRow(r));
        QTEST(shown.join(u'|') + " | " + rig.journal.summary() + ' ' + rig.dialogs.messages().mid(1).join(u'|').mid(9),
              "back");
    }

    // Over zeros, a cell ("grid row column text", grid 1 map, 2 brake, 3 parameters) gets a text for Verify and Send,
    // or the module holds the name after R, sending the table and setup reports R says (-1: all) to Verify and
    // Receive over "old" in map 16,16, Max Boost, RPM Start, map heading 3 and Board Name. Verify's verdict | journal
    // | before Send's last read, the journal, or those cells | the message (Receive's first sentence).
    void eachCommandSaysWhereItStopped_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("outcome");
        const QString tables = QStringLiteral("W91 W00*34 S50 R Wt2000"), setup = tables + " W78";
        const QString bytes = QStringLiteral(", outside the range 0 to 255"), rpm = ", outside the range -255 to 65535";
        auto stop = [](const QString &journal, const QString &what,
                       const char *after = "The module received only the part of the calibration before it") {
            return "FAILED | " + journal + " | never | Send stopped at " + what + ". " + after +
                   ". Correct the value and send again.";
        };
        row("0.0 is the 0 held", "1 1 1 0.0",
            "OK | W91 W00*34 S50 R Wt2000 W78 W00*2 S50 R | W91 W00*34 S50 R Wt2000 W78 W00*2 S50 | Download Complete");
        row("map row 1, column 1 at -1: nothing sent", "1 1 1 -1",
            stop("", "map row 1, column 1: it holds -1" + bytes, "Nothing was sent to the module"));
        row("map row 1, column 8 rounds to 256: one report sent", "1 1 8 255.5",
            stop("W91", "map row 1, column 8: it holds \"255.5\", which counts as 256" + bytes));
        row("brake column 16 rounds to -1", "2 0 16 -0.6",
            stop("W91 W00*33", "brake column 16: it holds \"-0.6\", which counts as -1" + bytes));
        row("RPM Start -256", "3 3 1 -256", stop(tables, "RPM Start: it holds -256" + rpm));
        row("RPM Increment 65536", "3 4 1 65536", stop(setup, "RPM Increment: it holds 65536" + rpm));
        row("LOAD Start 256 among blanks", "3 5 1  256 ", stop(setup, "LOAD Start: it holds 256" + bytes));
        row("LOAD Increment -1", "3 6 1 -1", stop(setup, "LOAD Increment: it holds -1" + bytes));
        row("name of 237 characters", "3 7 1 " + QString(237, u'n'),
            stop(tables, "Board Name: it has 237 characters, and the module takes at most 236"));
        row("name character beyond Windows-1252", QStringLiteral("3 7 1 AB\u0100"),
            stop(setup, "Board Name: character 3, \"\u0100\" (U+0100), is not one the module can store in a name: it "
                        "takes the characters of Windows-1252"));
        const QString stopped = "Receive stopped: the module ",
                      nameCut = stopped + "stopped answering during the board name";
        row("no zero within 236 characters, the rest drained", "R 35 -1 " + QString(300, u'A'),
            "FAILED | R- W90 S50 R*35 W77 S50 R S10 R*38 R- | 0 0 0 0 " + QString(236, u'A') +
                " | The module's board name did not end within 236 characters; only the first 236 are shown");
        row("no table report: nothing said", "R 0 -1 AB", "FAILED | R- W90 S50 R- | old old old old old | ");
        // Without the 35th, Verify compares the limits with the zeros left from the 34th.
        row("after 34 table reports", "R 34 -1 AB",
            "FAILED | R- W90 S50 R*34 R- | 0 old old old old | " + stopped +
                "stopped answering after 34 of its 35 table reports");
        row("no scaling report", "R 35 0 AB",
            "FAILED | R- W90 S50 R*35 W77 S50 R- | 0 0 old old old | " + stopped + "did not send its axis scaling");
        row("no name report", "R 35 1 AB", "FAILED | R- W90 S50 R*35 W77 S50 R S10 R- | 0 0 0 0 old | " + nameCut);
        row("name reports stop before the zero", "R 35 2 ABCDEFGHIJ",
            "FAILED | R- W90 S50 R*35 W77 S50 R S10 R R- | 0 0 0 0 ABCDEFGH | " + nameCut);
    }
    void eachCommandSaysWhereItStopped()
    {
        QFETCH(QString, command);
        const bool receive = command.startsWith(u'R');
        const auto word = [&command](int i) { return command.section(u' ', i, i).toInt(); };
        Rig rig;
        rig.module.calibration().setHeld({.boardName = receive ? command.section(u' ', 3).toLatin1() : QByteArray()});
        rig.connect();
        auto &t = rig.window->tables;
        FlexGrid *grids[] = {&t.map(), &t.brake(), &t.params()};
        if (receive)
            rig.module.calibration().faults = {word(1), word(2)};
        else
            grids[word(0) - 1]->setTextMatrix(word(1), word(2), command.section(u' ', 3));
        rig.window->mnuVerify_Click();
        rig.journal.clear();
        QString outcome = rig.dialogs.messages().first().mid(9) + " | ", beforeLastRead = QStringLiteral("never");
        if (receive) {
            for (int r = 0; r < 8; ++r)
                t.params().setTextMatrix(r, 1, QStringLiteral("old"));
            t.map().setTextMatrix(16, 16, QStringLiteral("old"));
            t.map().setTextMatrix(0, 3, QStringLiteral("old"));
            rig.window->mnuReceive_Click();
            outcome += rig.journal.summary() + " | " +
                       QStringList{t.map().TextMatrix(16, 16), t.param(MaxBoost), t.param(RpmStart),
                                   t.map().TextMatrix(0, 3), t.param(BoardName)}
                           .join(u' ') +
                       " | " + rig.dialogs.messages().mid(1).join(u'|').section(u'.', 0, 0);
        } else {
            const auto refused = Transfer::Unsendable(t); // the same field, told the same way
            const auto sent = Transfer::Send(t, rig.misc, [&] { beforeLastRead = rig.journal.summary(); });
            outcome += rig.journal.summary() + " | " + beforeLastRead + " | " + sent.message();
            QCOMPARE(refused.size() == 1 && sent.message().startsWith("Send stopped at " + refused[0].place + ": " +
                                                                      refused[0].problem + ". "),
                     !sent.complete());
        }
        QTEST(outcome, "outcome");
    }

    // Cells ("grid row column text", grid 1 map, 2 brake, 3 parameters) set over empty tables, one beyond each
    // edge | every field a send would stop at, in the order it reaches them.
    void unsendableNamesEveryFieldASendWouldStopAt_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("found");
        const QString bytes = ", outside the range 0 to 255\n", rpm = ", outside the range -255 to 65535\n";
        row("one beyond each edge",
            QStringList{"1 16 16 256", "2 0 1 -1", "3 3 1 -256", "3 4 1 65536", "3 5 1 256", "3 6 1 -1",
                        "3 7 1 " + QString(237, u'n')},
            "map row 16, column 16: it holds 256" + bytes + "brake column 1: it holds -1" + bytes +
                "Board Name: it has 237 characters, and the module takes at most 236\nRPM Start: it holds -256" + rpm +
                "RPM Increment: it holds 65536" + rpm + "LOAD Start: it holds 256" + bytes +
                "LOAD Increment: it holds -1" + bytes);
        row("a character outside the set, after the scaling", QStringList{"3 7 1 A\u0100", "3 6 1 256"},
            "LOAD Increment: it holds 256" + bytes +
                "Board Name: character 2, \"\u0100\" (U+0100), is not one the module can store in a name: it takes "
                "the characters of Windows-1252\n");
    }
    void unsendableNamesEveryFieldASendWouldStopAt()
    {
        QFETCH(QStringList, cells);
        CalibrationTables t;
        SetUpGrids(t);
        FlexGrid *grids[] = {&t.map(), &t.brake(), &t.params()};
        for (const QString &cell : cells)
            grids[cell.section(u' ', 0, 0).toInt() - 1]->setTextMatrix(
                cell.section(u' ', 1, 1).toInt(), cell.section(u' ', 2, 2).toInt(), cell.section(u' ', 3));
        QString found;
        for (const auto &field : Transfer::Unsendable(t))
            found += field.place + ": " + field.problem + '\n';
        QTEST(found, "found");
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
