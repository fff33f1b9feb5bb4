// Editing the three grids with real keys and mouse clicks: the edit box, block
// fill, the keys of each box, the heading rebuild, copy and paste.
#include "flexgridview.h"
#include "rig.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every cell holding text from (firstRow, firstCol) on, as "row,col=text", row by row.
QStringList filled(const FlexGrid &g, int firstRow = 0, int firstCol = 0)
{
    QStringList out;
    for (int r = firstRow; r < g.Rows(); ++r)
        for (int c = firstCol; c < g.Cols(); ++c)
            if (!g.TextMatrix(r, c).isEmpty())
                out << QStringLiteral("%1,%2=%3").arg(r).arg(c).arg(g.TextMatrix(r, c));
    return out;
}

// Grid 1 is the map, 2 the brake row, 3 the parameters. Cells are "row,col".
struct EditRig : Rig {
    EditRig()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
    }
    auto *view(int g) { return g == 1 ? window->msflexgrid1 : g == 2 ? window->MSFlexGrid2 : window->MSFlexGrid3; }
    QLineEdit *box(int g) { return g == 1 ? window->Text1 : g == 2 ? window->Text2 : window->Text3; }
    FlexGrid &grid(int g) { return view(g)->grid(); }
    FlexGrid &map() { return grid(1); }
    QString current(int g) { return QStringLiteral("%1,%2").arg(grid(g).Row()).arg(grid(g).Col()); }
    QPoint at(int g, QStringView cell)
    {
        const auto rc = cell.split(u',');
        return view(g)->cellRect(rc[0].toInt(), rc[1].toInt()).center() - view(g)->viewport()->geometry().topLeft();
    }
    // What the user does, step by step: "set 7,5=45; click 7,5; type 31; key Escape". Typed keys go where
    // the focus is, as a keyboard's do: the first to the grid, the rest to the edit box it opens.
    void run(int g, const QString &steps)
    {
        QWidget *vp = view(g)->viewport();
        for (const QString &step : steps.split(QStringLiteral("; "))) {
            const QString verb = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            if (verb == u"set") {
                const auto rc = arg.section(u'=', 0, 0).split(u',');
                grid(g).setTextMatrix(rc[0].toInt(), rc[1].toInt(), arg.section(u'=', 1));
            } else if (verb == u"click") {
                QTest::mouseClick(vp, Qt::LeftButton, {}, at(g, arg));
            } else if (verb == u"dblclick") {
                QTest::mouseDClick(vp, Qt::LeftButton, {}, at(g, arg));
            } else if (verb == u"drag") {
                QTest::mousePress(vp, Qt::LeftButton, {}, at(g, arg.section(u' ', 0, 0)));
                QTest::mouseMove(vp, at(g, arg.section(u' ', 1)));
                QTest::mouseRelease(vp, Qt::LeftButton, {}, at(g, arg.section(u' ', 1)));
            } else if (verb == u"type") {
                for (QChar ch : arg)
                    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(ch.toUpper().unicode()),
                                        QString(ch), {});
            } else if (verb == u"key") { // to the focus, as "Return", "Up" or "Ctrl+C"
                const QKeyCombination key = QKeySequence(arg)[0];
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            } else {
                QVERIFY2(verb == u"focus", qPrintable(step));
                view(g)->setFocus();
            }
        }
    }
    // The open edit box: its text with "|" at the caret, then the selected text in brackets.
    QString edit(int g)
    {
        QLineEdit *b = box(g);
        const QString text = b->text().insert(b->cursorPosition(), u'|');
        return !b->isVisible() ? QString() : b->hasSelectedText() ? text + " [" + b->selectedText() + ']' : text;
    }
};

} // namespace

class TestTableEditing : public QObject {
    Q_OBJECT
private slots:
    void keysAndClicksEditTheGrids_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("outcome"); // data cells holding text @ current cell, then the open edit if any
        // Opening the editor: a typed character replaces the text; space, a double click or a
        // control key bring the cell's own text, all selected.
        QTest::newRow("typed digit, map") << 1 << "set 4,3=45; click 4,3; type 7"
                                          << "4,3=45 @4,3 7|";
        QTest::newRow("backspace, map") << 1 << "set 4,3=45; click 4,3; key Backspace"
                                        << "4,3=45 @4,3 |45 [45]";
        QTest::newRow("space, brake") << 2 << "set 0,3=45; click 0,3; type  "
                                      << "0,3=45 @0,3 |45 [45]";
        QTest::newRow("dblclick, parameters") << 3 << "set 2,1=45; click 2,1; dblclick 2,1"
                                              << "2,1=45 @2,1 |45 [45]";
        // One entry fills the dragged block, whichever way it was dragged.
        QTest::newRow("up and left") << 1 << "drag 5,3 4,2; type 55; key Return"
                                     << "4,2=55 4,3=55 5,2=55 5,3=55 @5,3";
        QTest::newRow("map Esc") << 1 << "set 7,5=45; click 7,5; type 31; key Escape"
                                 << "7,5=45 @7,5";
        QTest::newRow("map Enter") << 1 << "set 7,5=45; click 7,5; type 31; key Return"
                                   << "7,5=31 @7,5";
        QTest::newRow("map down") << 1 << "click 7,5; type 31; key Down"
                                  << "7,5=31 @8,5";
        QTest::newRow("brake right") << 2 << "click 0,4; type 31; key Right"
                                     << "0,4=31 @0,5";
        QTest::newRow("brake up is typing") << 2 << "click 0,4; type 31; key Up"
                                            << "@0,4 31|";
        QTest::newRow("parameter up to Max Position") << 3 << "click 1,1; type 31; key Up"
                                                      << "1,1=31 @0,1";
        QTest::newRow("parameter left is typing") << 3 << "click 2,1; type 31; key Left"
                                                  << "@2,1 3|1";
    }
    void keysAndClicksEditTheGrids()
    {
        QFETCH(int, grid);
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        EditRig rig;
        rig.run(grid, steps);
        FlexGrid &g = rig.grid(grid);
        QStringList cells = filled(g, g.FixedRows(), g.FixedCols());
        const QString edit = rig.edit(grid);
        QCOMPARE((cells << '@' + rig.current(grid) << edit).join(u' ').trimmed(), outcome);
        QLineEdit *box = rig.box(grid);
        QVERIFY(edit.isEmpty() ? rig.view(grid)->hasFocus() : box->hasFocus());
        if (!edit.isEmpty()) { // the box lies exactly over the cell
            const QRect cell = rig.view(grid)->cellRect(g.Row(), g.Col());
            QCOMPARE(box->geometry(), QRect(rig.view(grid)->mapTo(box->parentWidget(), cell.topLeft()), cell.size()));
        } else { // one selected cell again
            QCOMPARE(QPoint(g.ColSel(), g.RowSel()), QPoint(g.Col(), g.Row()));
        }
    }

    // A block of four map cells is being edited from row 1, column 1, where every command starts; the
    // commit comes just before a command first reaches the map, so one that reaches no cell leaves it open.
    void openEditIsWrittenWhenACommandFirstReachesItsGrid_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("outcome"); // data cells | open edit | first report sent
        const QString untouched = "1,1=45 | 7| | ";
        QTest::newRow("Save cancelled") << "save" << untouched;
        QTest::newRow("Save answered No") << "save cal.dat" << untouched;
        QTest::newRow("Save into a missing folder") << "save no/cal.dat" << untouched;
        QTest::newRow("Open cancelled") << "open" << untouched;
        QTest::newRow("Open a missing file") << "open missing.dat" << untouched;
        QTest::newRow("Receive unanswered") << "receive" << untouched + "90 00 00 00 00 00 00 00";
        QTest::newRow("Send reads the block") << "send"
                                              << "1,1=7 1,2=7 2,1=7 2,2=7 |  | 91 07 07 00 00 00 00 00";
    }
    void openEditIsWrittenWhenACommandFirstReachesItsGrid()
    {
        QFETCH(QString, command);
        EditRig rig;
        rig.connect();
        ClearTables(rig.window->tables);
        QTemporaryDir dir;
        QFile existing(dir.filePath(QStringLiteral("cal.dat")));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("old") == 3);
        existing.close();
        if (command.contains(u' '))
            rig.dialogs.fileAnswers << dir.filePath(command.section(u' ', 1));
        if (command == u"receive")
            rig.module.faults.loseReplyToWrite = rig.module.writesReceived() + 1;
        rig.run(1, QStringLiteral("set 1,1=45; drag 1,1 2,2; type 7"));
        auto &w = *rig.window;
        const QString verb = command.section(u' ', 0, 0);
        verb == u"save"      ? w.mnuSave_Click()
        : verb == u"open"    ? w.mnuOpen_Click()
        : verb == u"receive" ? w.mnuReceive_Click()
                             : w.mnuSend_Click();
        const auto writes = rig.journal.writes();
        const QString sent = writes.isEmpty() ? QString() : QString::fromLatin1(writes[0].payload.toHex(' '));
        QTEST(filled(rig.map(), 1, 1).join(u' ') + " | " + rig.edit(1) + " | " + sent, "outcome");
        QFile kept(existing.fileName());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
    }

    // Text wider than its cell shows its start, in the grid as in the edit box opened on it.
    void longTextShowsItsBeginning()
    {
        EditRig rig;
        rig.run(3, QStringLiteral("set 7,1=Marlow VGT Towing Special; set 0,1=45"));
        const QString shown = rig.view(3)->shownText(7, 1);
        QVERIFY2(shown.startsWith(QStringLiteral("Marlow")) && shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QCOMPARE(rig.view(3)->shownText(0, 1), QStringLiteral("45"));
        rig.run(3, QStringLiteral("dblclick 7,1"));
        QCOMPARE(rig.edit(3), QStringLiteral("|Marlow VGT Towing Special [Marlow VGT Towing Special]"));
        QVERIFY(rig.box(3)->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 4); // the caret is in view
    }

    void headingsAreRebuiltOnlyWhenAllFourAxisParametersAreFilled()
    {
        EditRig rig;
        rig.run(3, QStringLiteral("set 3,1=800; set 6,1=6; click 4,1; type 250; key Return"));
        QCOMPARE(rig.map().TextMatrix(0, 3) + ' ' + rig.map().TextMatrix(16, 0), QStringLiteral(" "));
        rig.run(3, QStringLiteral("click 5,1; type 10; key Return"));
        // Tracking relies on where the rebuild leaves the current cells: parameter row 6, map row 16,
        // column 0, where typing edits a data cell.
        QCOMPARE(rig.map().TextMatrix(0, 3) + ' ' + rig.map().TextMatrix(16, 0) + ' ' + rig.current(3),
                 QStringLiteral("1050 94% 6,1"));
        rig.run(1, QStringLiteral("focus; type 3; key Return"));
        QCOMPARE(rig.current(1) + ' ' + rig.map().TextMatrix(16, 1), QStringLiteral("16,1 3"));
    }

    void copiedBlockPastesAtTheClickedCellAndTypingWaitsForTheNextMove()
    {
        EditRig rig;
        // Before any click, a 2 by 2 block starts on the heading corner and only its last cell lands.
        rig.window->CopyRows = rig.window->CopyCols = 1;
        rig.dialogs.clipboard = QStringLiteral("a\tb\rd\te");
        rig.run(1, QStringLiteral("focus; key Ctrl+V"));
        QCOMPARE(filled(rig.map()), QStringList{"1,1=e"});
        rig.run(1, QStringLiteral("set 2,2=2.2; set 2,3=2.3; set 2,4=2.4; set 3,2=3.2; set 3,3=3.3; set 3,4=3.4"));
        rig.run(1, QStringLiteral("drag 2,2 3,4; key Ctrl+C"));
        QCOMPARE(rig.dialogs.clipboard, QStringLiteral("2.2\t2.3\t2.4\r3.2\t3.3\t3.4"));
        rig.run(1, QStringLiteral("type 5; dblclick 2,2"));
        QCOMPARE(rig.edit(1), QString());
        rig.run(1, QStringLiteral("click 10,5; key Ctrl+V; type 5; click 16,15; key Ctrl+V")); // cut at the edge
        QCOMPARE(filled(rig.map(), 4), (QStringList{"10,5=2.2", "10,6=2.3", "10,7=2.4", "11,5=3.2", "11,6=3.3",
                                                    "11,7=3.4", "16,15=2.2", "16,16=2.3"}));
        QCOMPARE(rig.current(1) + rig.edit(1), QStringLiteral("16,15"));
        rig.run(1, QStringLiteral("key Up; type 5"));
        QCOMPARE(rig.edit(1), QStringLiteral("5|"));
    }
};

QTEST_MAIN(TestTableEditing)
#include "test_tableediting.moc"
