// Editing the three grids with real keys and mouse clicks: the edit box, block
// fill, the keys of each box, the heading rebuild, copy and paste, Clear.
#include "flexgridview.h"
#include "rig.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
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
    frmVGT_Tuner &w() { return *window; }
    FlexGridView *view(int g) { return g == 1 ? w().msflexgrid1 : g == 2 ? w().MSFlexGrid2 : w().MSFlexGrid3; }
    QLineEdit *box(int g) { return g == 1 ? w().Text1 : g == 2 ? w().Text2 : w().Text3; }
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
            } else if (verb == u"focus") {
                view(g)->setFocus();
            } else if (verb == u"headings") {
                w().UpdateAxisHeadings();
            } else {
                QFAIL(qPrintable("unknown step " + step));
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
        QTest::addColumn<QStringList>("cells"); // the data cells holding text afterwards
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("edit");
        auto row = [](const char *name, int grid, const char *steps, const QStringList &cells, const char *current,
                      const char *edit) {
            QTest::newRow(name) << grid << QString::fromUtf8(steps) << cells << current << QString::fromUtf8(edit);
        };
        // Opening the editor: a typed character replaces the text; space, a double click or a
        // control key bring the cell's own text, all selected.
        row("typed digit, map", 1, "set 4,3=45; click 4,3; type 7", {"4,3=45"}, "4,3", "7|");
        row("letter outside ASCII, map", 1, "set 4,3=45; click 4,3; type \u00e9", {"4,3=45"}, "4,3", "\u00e9|");
        row("backspace, map", 1, "set 4,3=45; click 4,3; key Backspace", {"4,3=45"}, "4,3", "|45 [45]");
        row("space, brake", 2, "set 0,3=45; click 0,3; type  ", {"0,3=45"}, "0,3", "|45 [45]");
        row("double click, parameters", 3, "set 2,1=45; click 2,1; dblclick 2,1", {"2,1=45"}, "2,1", "|45 [45]");
        row("Ctrl+C on the brake row opens the editor", 2, "set 0,2=60; click 0,2; key Ctrl+C", {"0,2=60"}, "0,2",
            "|60 [60]");
        // One entry fills the dragged block, whichever way it was dragged.
        row("dragged down a column", 1, "drag 3,2 5,2; type 55; key Return", {"3,2=55", "4,2=55", "5,2=55"}, "3,2", "");
        row("dragged up and left", 1, "drag 5,3 4,2; type 55; key Return", {"4,2=55", "4,3=55", "5,2=55", "5,3=55"},
            "5,3", "");
        // The keys of the edit box, typed over a cell holding "45".
        row("map Esc", 1, "set 7,5=45; click 7,5; type 31; key Escape", {"7,5=45"}, "7,5", "");
        row("map Enter", 1, "set 7,5=45; click 7,5; type 31; key Return", {"7,5=31"}, "7,5", "");
        row("map down", 1, "click 7,5; type 31; key Down", {"7,5=31"}, "8,5", "");
        row("map up on the first row", 1, "click 1,5; type 31; key Up", {"1,5=31"}, "1,5", "");
        row("map left on the first column", 1, "click 3,1; type 31; key Left", {"3,1=31"}, "3,1", "");
        row("map left", 1, "click 3,9; type 31; key Left", {"3,9=31"}, "3,8", "");
        row("brake right", 2, "click 0,4; type 31; key Right", {"0,4=31"}, "0,5", "");
        row("brake up is typing", 2, "click 0,4; type 31; key Up", {}, "0,4", "31|");
        row("brake down is typing", 2, "click 0,4; type 31; key Down", {}, "0,4", "31|");
        row("parameter up to Max Position", 3, "click 1,1; type 31; key Up", {"1,1=31"}, "0,1", "");
        row("parameter left is typing", 3, "click 2,1; type 31; key Left", {}, "2,1", "3|1");
        row("parameter right is typing", 3, "click 2,1; type 31; key Left; key Right", {}, "2,1", "31|");
        // The heading rebuild leaves the map on row 16, column 0; typing there edits a data cell.
        row("typing after the heading rebuild", 1, "headings; focus; type 3; key Return", {"16,1=3"}, "16,1", "");
    }
    void keysAndClicksEditTheGrids()
    {
        QFETCH(int, grid);
        QFETCH(QString, steps);
        QFETCH(QStringList, cells);
        QFETCH(QString, current);
        QFETCH(QString, edit);
        EditRig rig;
        rig.dialogs.clipboard = QStringLiteral("keep");
        rig.run(grid, steps);
        FlexGrid &g = rig.grid(grid);
        QCOMPARE(filled(g, g.FixedRows(), g.FixedCols()), cells);
        QCOMPARE(rig.current(grid), current);
        QCOMPARE(rig.edit(grid), edit);
        QCOMPARE(rig.dialogs.clipboard, QStringLiteral("keep"));
        QLineEdit *box = rig.box(grid);
        QVERIFY(edit.isEmpty() ? rig.view(grid)->hasFocus() : box->hasFocus());
        if (!edit.isEmpty()) { // the box lies exactly over the cell
            const QRect cell = rig.view(grid)->cellRect(g.Row(), g.Col());
            QCOMPARE(box->geometry(), QRect(rig.view(grid)->mapTo(box->parentWidget(), cell.topLeft()), cell.size()));
        } else { // one selected cell again
            QCOMPARE(QPoint(g.ColSel(), g.RowSel()), QPoint(g.Col(), g.Row()));
        }
    }

    void editBoxFollowsItsCellWhenTheGridScrolls()
    {
        EditRig rig;
        FlexGridView *v = rig.view(1);
        v->resize(300, 120); // too small for the map: it scrolls
        rig.run(1, QStringLiteral("click 2,3; type 8"));
        v->horizontalScrollBar()->setValue(100);
        const QRect cell = v->cellRect(2, 3);
        QCOMPARE(rig.box(1)->geometry().topLeft(), v->mapTo(v->parentWidget(), cell.topLeft()));
        // Scrolled under the fixed heading column, only the visible part shows.
        QVERIFY(rig.box(1)->mask().boundingRect().width() < cell.width());
        v->horizontalScrollBar()->setValue(0);
        QVERIFY(rig.box(1)->mask().isEmpty());
        rig.run(1, QStringLiteral("key Return"));
        QCOMPARE(rig.map().TextMatrix(2, 3), QStringLiteral("8"));
    }

    void headingsAreRebuiltOnlyWhenAllFourAxisParametersAreFilled_data()
    {
        QTest::addColumn<QString>("loadStart");
        QTest::addColumn<QString>("headings"); // of column 3 and row 16
        QTest::newRow("all four") << "10" << "1050 94%";
        QTest::newRow("LOAD Start empty") << "" << " ";
    }
    void headingsAreRebuiltOnlyWhenAllFourAxisParametersAreFilled()
    {
        QFETCH(QString, loadStart);
        QFETCH(QString, headings);
        EditRig rig;
        rig.run(3, "set 3,1=800; set 5,1=" + loadStart + "; set 6,1=6; click 4,1; type 250; key Return");
        QCOMPARE(rig.map().TextMatrix(0, 3) + ' ' + rig.map().TextMatrix(16, 0), headings);
        // Leaving a parameter cell commits without rebuilding.
        rig.map().setTextMatrix(0, 3, QStringLiteral("old"));
        rig.run(3, QStringLiteral("click 3,1; type 900"));
        rig.grid(3).setRow(MaxPosition);
        QCOMPARE(rig.window->tables.param(RpmStart), QStringLiteral("900"));
        QCOMPARE(rig.map().TextMatrix(0, 3), QStringLiteral("old"));
    }

    void copiedBlockPastesAtTheClickedCellAndTypingWaitsForTheNextMove()
    {
        EditRig rig;
        for (int r = 2; r <= 3; ++r)
            for (int c = 2; c <= 4; ++c)
                rig.map().setTextMatrix(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
        rig.run(1, QStringLiteral("drag 2,2 3,4; key Ctrl+C"));
        QCOMPARE(rig.dialogs.clipboard, QStringLiteral("2.2\t2.3\t2.4\r3.2\t3.3\t3.4"));
        rig.run(1, QStringLiteral("type 5; dblclick 2,2"));
        QCOMPARE(rig.edit(1), QString());
        rig.run(1, QStringLiteral("click 10,5; key Ctrl+V; type 5"));
        QCOMPARE(filled(rig.map()).mid(6),
                 (QStringList{"10,5=2.2", "10,6=2.3", "10,7=2.4", "11,5=3.2", "11,6=3.3", "11,7=3.4"}));
        QCOMPARE(rig.current(1), QStringLiteral("10,5"));
        QCOMPARE(rig.edit(1), QString());
        rig.run(1, QStringLiteral("key Down; type 5"));
        QCOMPARE(rig.edit(1), QStringLiteral("5|"));
    }

    // A 2 by 2 block pasted at the anchor after a 2 by 2 copy.
    void pasteReachingOutsideTheDataCellsIsCut_data()
    {
        QTest::addColumn<QPoint>("anchor"); // (col, row)
        QTest::addColumn<QStringList>("written");
        // Before any click the block starts on the heading corner.
        QTest::newRow("into the headings") << QPoint(0, 0) << QStringList{"1,1=e"};
        QTest::newRow("past the last row and column") << QPoint(16, 16) << QStringList{"16,16=a"};
        QTest::newRow("heading column only") << QPoint(0, 5) << QStringList{"5,1=b", "6,1=e"};
    }
    void pasteReachingOutsideTheDataCellsIsCut()
    {
        QFETCH(QPoint, anchor);
        QFETCH(QStringList, written);
        EditRig rig;
        rig.w().CopyRows = rig.w().CopyCols = 1;
        rig.w().AnchorRow = anchor.y();
        rig.w().AnchorCol = anchor.x();
        rig.dialogs.clipboard = QStringLiteral("a\tb\rd\te");
        rig.run(1, QStringLiteral("focus; key Ctrl+V"));
        QCOMPARE(filled(rig.map()), written);
    }

    void clearEmptiesTheTablesButNotTheLabels()
    {
        EditRig rig;
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                rig.map().setTextMatrix(r, c, QStringLiteral("1"));
        rig.grid(2).setTextMatrix(0, 9, QStringLiteral("70"));
        for (int r = 0; r < 8; ++r)
            rig.grid(3).setTextMatrix(r, 1, QStringLiteral("5"));
        rig.run(3, QStringLiteral("click 0,1; type 77")); // an open edit does not survive Clear
        rig.w().mnuClearTable_Click();
        QCOMPARE(filled(rig.map()), QStringList());
        QCOMPARE(filled(rig.grid(2)), QStringList{"0,0=Brake"});
        QCOMPARE(filled(rig.grid(3)),
                 (QStringList{"0,0=Max Position", "1,0=Max Adjust", "2,0=Max Boost", "3,0=RPM Start",
                              "4,0=RPM Increment", "5,0=LOAD Start", "6,0=LOAD Increment", "7,0=Board Name"}));
        QCOMPARE(rig.edit(3), QString());
        QCOMPARE(rig.current(1) + ' ' + rig.current(2) + ' ' + rig.current(3), QStringLiteral("16,16 0,16 7,1"));
    }
};

QTEST_MAIN(TestTableEditing)
#include "test_tableediting.moc"
