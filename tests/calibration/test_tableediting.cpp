// Editing the three grids with real keys and mouse clicks: the edit box, block
// fill, the keys of each box, the heading rebuild, copy and paste, and an open
// edit meeting a command.
#include "flexgridview.h"
#include "rig.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Every cell holding text from (firstRow, firstCol) on, as "row,col=text", row by row.
QStringList filled(const FlexGrid &g, int firstRow, int firstCol)
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
    QTemporaryDir dir;
    EditRig()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
    }
    auto *view(int g) { return g == 1 ? window->msflexgrid1 : g == 2 ? window->MSFlexGrid2 : window->MSFlexGrid3; }
    QLineEdit *box(int g) { return g == 1 ? window->Text1 : g == 2 ? window->Text2 : window->Text3; }
    FlexGrid &grid(int g) { return view(g)->grid(); }
    // The current cell, and the far corner of the selection where it is more than that cell.
    QString current(int g)
    {
        const FlexGrid &f = grid(g);
        const QString sel = QStringLiteral("-%1,%2").arg(f.RowSel()).arg(f.ColSel());
        return QStringLiteral("%1,%2").arg(f.Row()).arg(f.Col()) +
               (f.RowSel() != f.Row() || f.ColSel() != f.Col() ? sel : "");
    }
    QPoint at(int g, QStringView cell)
    {
        const auto rc = cell.split(u',');
        return view(g)->cellRect(rc[0].toInt(), rc[1].toInt()).center() - view(g)->viewport()->geometry().topLeft();
    }
    // What the user does on grid g, step by step: "set 7,5=45; click 7,5; type 31; key Escape; menu Save".
    // Typed keys go where the focus is, as a keyboard's do: the first to the grid, the rest to the edit box
    // it opens. "connect" connects and empties the tables, "file" answers the next file dialog with a file
    // in a folder holding cal.dat, "lose" loses the reply to the next report.
    void run(int g, const QString &steps)
    {
        QWidget *vp = view(g)->viewport();
        for (const QString &step : steps.split(QStringLiteral("; "))) {
            const QString verb = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            if (verb == u"set") {
                const auto rc = arg.section(u'=', 0, 0).split(u',');
                grid(g).setTextMatrix(rc[0].toInt(), rc[1].toInt(), arg.section(u'=', 1));
            } else if (verb == u"click" || verb == u"dblclick") {
                QTest::mouseEvent(verb == u"click" ? QTest::MouseClick : QTest::MouseDClick, vp, Qt::LeftButton, {},
                                  at(g, arg));
            } else if (verb == u"drag") {
                QTest::mousePress(vp, Qt::LeftButton, {}, at(g, arg.section(u' ', 0, 0)));
                QTest::mouseMove(vp, at(g, arg.section(u' ', 1)));
                QTest::mouseRelease(vp, Qt::LeftButton, {}, at(g, arg.section(u' ', 1)));
            } else if (verb == u"type") {
                for (QChar ch : arg)
                    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(ch.toUpper().unicode()),
                                        QString(ch), {});
            } else if (verb == u"key") { // to the focus, as "Return", "Up" or "Ctrl+C"; to the box in a window
                const QKeyCombination key = QKeySequence(arg)[0]; // left inactive, which has no focus
                QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : box(g);
                QTest::keyClick(focus, key.key(), key.keyboardModifiers());
            } else if (verb == u"deactivate") {
                QApplication::setActiveWindow(nullptr);
            } else if (verb == u"menu") {
                for (const char *menu : {"&File", "&Communication"})
                    if (QAction *item = window->menuItem(menu, arg))
                        item->trigger();
            } else if (verb == u"connect") {
                connect();
                ClearTables(window->tables);
            } else if (verb == u"file") {
                dialogs.fileAnswers << dir.filePath(arg);
            } else if (verb == u"resize") { // the grid's view, as a smaller window would make it
                view(g)->resize(arg.section(u' ', 0, 0).toInt(), arg.section(u' ', 1).toInt());
            } else if (verb == u"paint") { // yellow, as the operating point paints it
                grid(g).setCurrent(arg.section(u',', 0, 0).toInt(), arg.section(u',', 1).toInt());
                grid(g).setCellBackColor(GridYellow);
            } else if (verb == u"lose") {
                module.faults.loseReplyToWrite = module.writesReceived() + 1;
            } else {
                QVERIFY2(verb == u"focus", qPrintable(step));
                view(g)->setFocus();
            }
        }
    }
    // The open edit box: its text with "|" at the caret, the selected text in brackets, the part of it shown.
    QString edit(int g)
    {
        QLineEdit *b = box(g);
        const QRect m = b->mask().boundingRect();
        QString text =
            b->text().insert(b->cursorPosition(), u'|') + (b->hasSelectedText() ? " [" + b->selectedText() + ']' : "");
        text +=
            m.isNull() ? "" : QStringLiteral(" shown %1,%2 %3x%4").arg(m.x()).arg(m.y()).arg(m.width()).arg(m.height());
        text +=
            b->palette().color(QPalette::Base) == Qt::white ? "" : " on " + b->palette().color(QPalette::Base).name();
        return b->isVisible() ? text : QString();
    }
};
} // namespace

class TestTableEditing : public QObject {
    Q_OBJECT
private slots:
    // The tag is the grid and the steps; then the data cells holding text @ the current cell, the open edit
    // if any, and the first report sent if any.
    void keysAndClicksEditTheGrids_data()
    {
        QTest::addColumn<QString>("outcome");
        // Opening the editor: a typed character replaces the text; space, a double click or a
        // control key bring the cell's own text, all selected.
        QTest::newRow("1: set 4,3=45; click 4,3; type 7") << "4,3=45 @4,3 7|";
        QTest::newRow("1: set 4,3=45; click 4,3; type !") << "4,3=45 @4,3 !|";
        QTest::newRow("1: set 4,3=45; click 4,3; key Backspace") << "4,3=45 @4,3 |45 [45]";
        QTest::newRow("2: set 0,3=45; click 0,3; type  ") << "0,3=45 @0,3 |45 [45]";
        QTest::newRow("3: set 2,1=45; click 2,1; dblclick 2,1") << "2,1=45 @2,1 |45 [45]";
        // One entry fills the dragged block, whichever way it was dragged.
        QTest::newRow("1: drag 5,3 4,2; type 55; key Return") << "4,2=55 4,3=55 5,2=55 5,3=55 @5,3";
        QTest::newRow("1: drag 4,2 5,3; type 55; key Return") << "4,2=55 4,3=55 5,2=55 5,3=55 @4,2";
        QTest::newRow("1: paint 7,5; click 7,5; type 3") << "@7,5 3| on #ffff00";
        QTest::newRow("1: set 7,5=45; click 7,5; type 31; key Escape") << "7,5=45 @7,5";
        QTest::newRow("1: set 7,5=45; click 7,5; type 31; key Return") << "7,5=31 @7,5";
        QTest::newRow("1: set 7,5=45; click 7,5; type 31; deactivate; key Return") << "7,5=31 @7,5";
        QTest::newRow("1: click 7,5; type 31; key Down") << "7,5=31 @8,5";
        QTest::newRow("1: click 16,16; type 5; resize 300 150") << "@16,16 5| shown -1,-1 1x1";
        QTest::newRow("1: click 3,3; type 5; resize 140 150") << "@3,3 5| shown 0,0 18x15";
        QTest::newRow("1: click 3,3; type 5; resize 300 150") << "@3,3 5|";
        QTest::newRow("1: click 16,5; type 31; key Down") << "16,5=31 @16,5";
        QTest::newRow("1: click 1,5; type 31; key Up") << "1,5=31 @1,5";
        QTest::newRow("1: click 7,1; type 31; key Left") << "7,1=31 @7,1";
        QTest::newRow("1: click 7,16; type 31; key Right") << "7,16=31 @7,16";
        QTest::newRow("2: click 0,4; type 31; key Right") << "0,4=31 @0,5";
        QTest::newRow("2: click 0,4; type 31; key Left") << "0,4=31 @0,3";
        QTest::newRow("2: click 0,4; type 31; key Up") << "@0,4 31|";
        QTest::newRow("2: click 0,4; type 31; key Down") << "@0,4 31|";
        QTest::newRow("3: click 1,1; type 31; key Up") << "1,1=31 @0,1";
        QTest::newRow("3: click 0,1; type 31; key Up") << "0,1=31 @0,1";
        QTest::newRow("3: click 1,1; type 31; key Down") << "1,1=31 @2,1";
        QTest::newRow("3: click 2,1; type 31; key Left") << "@2,1 3|1";
        QTest::newRow("3: click 2,1; type 31; key Right") << "@2,1 31|";
        // Copy takes the block dragged; paste puts the last copy's block where the mouse last went down,
        // cut where it reaches past the grid; what is typed next waits for the next move.
        const QString block = "1: set 2,2=2.2; set 2,3=2.3; set 2,4=2.4; set 3,2=3.2; set 3,3=3.3; set 3,4=3.4; "
                              "drag 2,2 3,4; key Ctrl+C; ";
        const QString copied = "2,2=2.2 2,3=2.3 2,4=2.4 3,2=3.2 3,3=3.3 3,4=3.4 %1 | 2.2 2.3 2.4/3.2 3.3 3.4";
        QTest::newRow("1: set 2,2=x; click 2,2; key Ctrl+V") << "2,2=x @2,2";
        QTest::addRow("%stype 5; dblclick 2,2", qPrintable(block)) << copied.arg("@2,2-3,4");
        QTest::addRow("%sclick 10,5; key Ctrl+V; type 5", qPrintable(block))
            << copied.arg("10,5=2.2 10,6=2.3 10,7=2.4 11,5=3.2 11,6=3.3 11,7=3.4 @10,5-11,7");
        QTest::addRow("%sclick 16,15; key Ctrl+V; key Up; type 5", qPrintable(block))
            << copied.arg("16,15=2.2 16,16=2.3 @15,15 5|");
        // The commit comes just before a command first reaches the map, so one that reaches no cell
        // leaves the edit open; cal.dat is never written over.
        const QString edit = "1: connect; set 1,1=45; drag 1,1 2,2; type 7; ";
        const QString untouched = "1,1=45 @1,1-2,2 7|";
        QTest::addRow("%smenu Save", qPrintable(edit)) << untouched;
        QTest::addRow("%sfile cal.dat; menu Save", qPrintable(edit)) << untouched;
        QTest::addRow("%sfile no/cal.dat; menu Save", qPrintable(edit)) << untouched;
        QTest::addRow("%smenu Open", qPrintable(edit)) << untouched;
        QTest::addRow("%sfile missing.dat; menu Open", qPrintable(edit)) << untouched;
        QTest::addRow("%sfile cal.dat; menu Open", qPrintable(edit)) << "1,1=7 1,2=7 2,1=7 2,2=7 @1,1";
        QTest::addRow("%slose; menu &Receive", qPrintable(edit)) << untouched + " | 90 00 00 00 00 00 00 00";
        QTest::addRow("%slose; menu &Receive; set 5,5=x", qPrintable(edit))
            << "1,1=45 5,5=x @1,1-2,2 7| | 90 00 00 00 00 00 00 00";
        QTest::addRow("%smenu &Send", qPrintable(edit)) << "1,1=7 1,2=7 2,1=7 2,2=7 @16,16 | 91 07 07 00 00 00 00 00";
    }
    void keysAndClicksEditTheGrids()
    {
        const QString tag = QTest::currentDataTag();
        const int g = tag.left(1).toInt();
        EditRig rig;
        QFile existing(rig.dir.filePath(QStringLiteral("cal.dat")));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("old") == 3);
        existing.close();
        rig.dialogs.onShow = [&](const ShownBox &b) {
            QVERIFY(b.title != "Error" || !fileIsOpen(existing.fileName()));
        };
        rig.run(g, tag.mid(3));
        FlexGrid &grid = rig.grid(g);
        const QString edit = rig.edit(g);
        const auto writes = rig.journal.writes();
        QStringList shown = filled(grid, grid.FixedRows(), grid.FixedCols()) << '@' + rig.current(g) << edit;
        if (!writes.isEmpty())
            shown << "| " + writes[0].payload.toHex(' ');
        if (!rig.dialogs.clipboard.isEmpty())
            shown << "| " + rig.dialogs.clipboard.replace(u'\t', u' ').replace(u'\r', u'/');
        QTEST(shown.join(u' ').simplified(), "outcome");
        QVERIFY(existing.open(QIODevice::ReadOnly) && existing.readAll() == "old");
        if (tag.contains(u"menu") || tag.contains(u"deactivate")) // the focus is elsewhere, or nowhere
            return;
        QLineEdit *box = rig.box(g);
        QVERIFY(edit.isEmpty() ? rig.view(g)->hasFocus() : box->hasFocus());
        const QRect cell = rig.view(g)->cellRect(grid.Row(), grid.Col()); // the box lies exactly over the cell
        if (!edit.isEmpty())
            QCOMPARE(box->geometry(), QRect(rig.view(g)->mapTo(box->parentWidget(), cell.topLeft()), cell.size()));
    }

    // Text wider than its cell shows its start, in the grid as in the edit box opened on it.
    void longTextShowsItsBeginning()
    {
        EditRig rig;
        rig.run(3, QStringLiteral("set 7,1=Marlow VGT Towing Special; set 0,1=45; dblclick 7,1"));
        const QString shown = rig.view(3)->shownText(7, 1);
        QVERIFY2(shown.startsWith(QStringLiteral("Marlow")) && shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QCOMPARE(rig.view(3)->shownText(0, 1), QStringLiteral("45"));
        QVERIFY(rig.box(3)->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 4); // the caret is in view
    }

    void headingsAreRebuiltOnlyWhenAllFourAxisParametersAreFilled()
    {
        EditRig rig;
        const FlexGrid &map = rig.grid(1);
        rig.run(3, QStringLiteral("set 3,1=800; set 6,1=6; click 4,1; type 250; key Return"));
        QCOMPARE(map.TextMatrix(0, 3) + ' ' + map.TextMatrix(16, 0), QStringLiteral(" "));
        rig.run(3, QStringLiteral("click 5,1; type 10; key Return"));
        // Tracking relies on where the rebuild leaves the current cells: parameter row 6, map row 16,
        // column 0, where typing edits a data cell.
        QCOMPARE(map.TextMatrix(0, 3) + ' ' + map.TextMatrix(16, 0) + ' ' + rig.current(3),
                 QStringLiteral("1050 94% 6,1"));
        rig.run(1, QStringLiteral("focus; type 3; key Return"));
        QCOMPARE(rig.current(1) + ' ' + map.TextMatrix(16, 1), QStringLiteral("16,1 3"));
    }

    // Before any click, a 2 by 2 block starts on the heading corner and only its last cell lands, whatever
    // ends the clipboard's lines.
    void pasteBeforeAnyClickLandsOnlyTheLastCell()
    {
        for (const char *clip : {"a\tb\rd\te", "a\tb\nd\te", "a\tb\r\nd\te"}) {
            EditRig rig;
            rig.window->CopyRows = rig.window->CopyCols = 1;
            rig.dialogs.clipboard = QString::fromLatin1(clip);
            rig.run(1, QStringLiteral("focus; key Ctrl+V"));
            QCOMPARE(filled(rig.grid(1), 0, 0), QStringList{"1,1=e"});
        }
    }
};

QTEST_MAIN(TestTableEditing)
#include "test_tableediting.moc"
