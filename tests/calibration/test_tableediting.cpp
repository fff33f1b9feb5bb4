// Editing the three grids with real keys and mouse clicks: the edit box, block
// fill, the keys of each box, the heading rebuild, copy and paste, Clear.
#include "flexgridview.h"
#include "rig.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

namespace {

struct EditRig : Rig {
    EditRig()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
    }
    frmVGT_Tuner &w() { return *window; }
    FlexGridView *view(int grid) { return grid == 1 ? w().msflexgrid1 : grid == 2 ? w().MSFlexGrid2 : w().MSFlexGrid3; }
    QLineEdit *box(int grid) { return grid == 1 ? w().Text1 : grid == 2 ? w().Text2 : w().Text3; }
    FlexGrid &grid(int g) { return view(g)->grid(); }
    FlexGrid &map() { return grid(1); }

    QPoint at(FlexGridView *v, int row, int col)
    {
        return v->cellRect(row, col).center() - v->viewport()->geometry().topLeft();
    }
    void click(int g, int row, int col)
    {
        QTest::mouseClick(view(g)->viewport(), Qt::LeftButton, {}, at(view(g), row, col));
    }
    void drag(int g, QPoint from, QPoint to) // (col, row) points
    {
        QWidget *vp = view(g)->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, at(view(g), from.y(), from.x()));
        QTest::mouseMove(vp, at(view(g), to.y(), to.x()));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, at(view(g), to.y(), to.x()));
    }
    // Keys go where the focus is, as a keyboard's do: the first to the grid,
    // the rest to the edit box it opens.
    void type(int g, const QString &text)
    {
        for (QChar ch : text) {
            QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : view(g);
            if (ch.unicode() < 128)
                QTest::keyClick(to, char(ch.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, to, Qt::Key(ch.toUpper().unicode()), QString(ch), {});
        }
    }
    void ctrl(int g, Qt::Key key) { QTest::keyClick(view(g), key, Qt::ControlModifier); }
    // Opens the editor on a cell by typing into the grid, as a user does.
    void startEdit(int g, int row, int col, const QString &text)
    {
        click(g, row, col);
        type(g, text);
    }
    QPoint current(int g) { return {grid(g).Col(), grid(g).Row()}; }
};

} // namespace

class TestTableEditing : public QObject {
    Q_OBJECT
private slots:
    void draggedBlockIsFilledByOneEntry_data()
    {
        QTest::addColumn<QPoint>("from"); // (col, row)
        QTest::addColumn<QPoint>("to");
        QTest::newRow("down a column") << QPoint(2, 3) << QPoint(2, 5);
        // Dragged up and to the left: the rectangle between the corners.
        QTest::newRow("up and left") << QPoint(4, 5) << QPoint(2, 3);
    }
    void draggedBlockIsFilledByOneEntry()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        EditRig rig;
        rig.drag(1, from, to);
        rig.type(1, QStringLiteral("55"));
        QVERIFY(rig.w().Text1->isVisible());
        QTest::keyClick(rig.w().Text1, Qt::Key_Return);
        QVERIFY(!rig.w().Text1->isVisible());
        const QRect block(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                          QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y())));
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                QCOMPARE(rig.map().TextMatrix(r, c), block.contains(c, r) ? QStringLiteral("55") : QString());
        QCOMPARE(rig.current(1), from);
        QCOMPARE(QPoint(rig.map().ColSel(), rig.map().RowSel()), from); // one selected cell again
    }

    void openingTheEditorKeepsOrReplacesTheText_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("caret");
        for (int grid = 1; grid <= 3; ++grid) {
            const QByteArray g = QByteArray::number(grid);
            QTest::newRow("typed digit, grid " + g) << grid << "7" << "7" << "" << 1;
            QTest::newRow("space, grid " + g) << grid << " " << "45" << "45" << 0;
            QTest::newRow("double click, grid " + g) << grid << "dblclick" << "45" << "45" << 0;
            QTest::newRow("backspace, grid " + g) << grid << "backspace" << "45" << "45" << 0;
        }
        QTest::newRow("letter outside ASCII") << 1 << QStringLiteral("\u00e9") << QStringLiteral("\u00e9") << "" << 1;
    }
    void openingTheEditorKeepsOrReplacesTheText()
    {
        QFETCH(int, grid);
        QFETCH(QString, how);
        QFETCH(QString, text);
        QFETCH(QString, selected);
        QFETCH(int, caret);
        EditRig rig;
        const int row = grid == 3 ? 2 : grid == 2 ? 0 : 4, col = 3 - (grid == 3 ? 2 : 0);
        rig.grid(grid).setTextMatrix(row, col, QStringLiteral("45"));
        rig.click(grid, row, col);
        if (how == QLatin1String("dblclick"))
            QTest::mouseDClick(rig.view(grid)->viewport(), Qt::LeftButton, {}, rig.at(rig.view(grid), row, col));
        else if (how == QLatin1String("backspace"))
            QTest::keyClick(rig.view(grid), Qt::Key_Backspace);
        else
            rig.type(grid, how);
        QLineEdit *box = rig.box(grid);
        QVERIFY(box->isVisible());
        QVERIFY(box->hasFocus());
        QCOMPARE(box->text(), text);
        QCOMPARE(box->selectedText(), selected);
        QCOMPARE(box->cursorPosition(), caret);
        // The box lies exactly over the cell.
        const QRect cell = rig.view(grid)->cellRect(row, col);
        QCOMPARE(box->geometry(), QRect(rig.view(grid)->mapTo(box->parentWidget(), cell.topLeft()), cell.size()));
        QCOMPARE(rig.grid(grid).TextMatrix(row, col), QStringLiteral("45")); // nothing written yet
    }

    void editBoxFollowsItsCellWhenTheGridScrolls()
    {
        EditRig rig;
        FlexGridView *v = rig.view(1);
        v->resize(300, 120); // too small for the map: it scrolls
        rig.startEdit(1, 2, 3, QStringLiteral("8"));
        v->horizontalScrollBar()->setValue(100);
        const QRect cell = v->cellRect(2, 3);
        QCOMPARE(rig.w().Text1->geometry().topLeft(), v->mapTo(v->parentWidget(), cell.topLeft()));
        // Scrolled under the fixed heading column, only the visible part shows.
        QVERIFY(rig.w().Text1->mask().boundingRect().width() < cell.width());
        v->horizontalScrollBar()->setValue(0);
        QVERIFY(rig.w().Text1->mask().isEmpty());
        QTest::keyClick(rig.w().Text1, Qt::Key_Return);
        QCOMPARE(rig.map().TextMatrix(2, 3), QStringLiteral("8"));
    }

    void editBoxKeysCommitMoveOrDiscard_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<QPoint>("start"); // (col, row)
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text"); // the cell's text afterwards; it held "45"
        QTest::addColumn<QPoint>("end");
        const QString typed = QStringLiteral("31"), kept = QStringLiteral("45");
        QTest::newRow("map Esc") << 1 << QPoint(5, 7) << int(Qt::Key_Escape) << kept << QPoint(5, 7);
        QTest::newRow("map Enter") << 1 << QPoint(5, 7) << int(Qt::Key_Return) << typed << QPoint(5, 7);
        QTest::newRow("map down") << 1 << QPoint(5, 7) << int(Qt::Key_Down) << typed << QPoint(5, 8);
        QTest::newRow("map down on the last row") << 1 << QPoint(5, 16) << int(Qt::Key_Down) << typed << QPoint(5, 16);
        QTest::newRow("map up on the first row") << 1 << QPoint(5, 1) << int(Qt::Key_Up) << typed << QPoint(5, 1);
        QTest::newRow("map right on the last column")
            << 1 << QPoint(16, 3) << int(Qt::Key_Right) << typed << QPoint(16, 3);
        QTest::newRow("map left on the first column")
            << 1 << QPoint(1, 3) << int(Qt::Key_Left) << typed << QPoint(1, 3);
        QTest::newRow("map left") << 1 << QPoint(9, 3) << int(Qt::Key_Left) << typed << QPoint(8, 3);
        QTest::newRow("brake Esc") << 2 << QPoint(4, 0) << int(Qt::Key_Escape) << kept << QPoint(4, 0);
        QTest::newRow("brake right") << 2 << QPoint(4, 0) << int(Qt::Key_Right) << typed << QPoint(5, 0);
        QTest::newRow("brake right on the last column")
            << 2 << QPoint(16, 0) << int(Qt::Key_Right) << typed << QPoint(16, 0);
        QTest::newRow("brake left on the first column")
            << 2 << QPoint(1, 0) << int(Qt::Key_Left) << typed << QPoint(1, 0);
        QTest::newRow("brake up is typing") << 2 << QPoint(4, 0) << int(Qt::Key_Up) << kept << QPoint(4, 0);
        QTest::newRow("brake down is typing") << 2 << QPoint(4, 0) << int(Qt::Key_Down) << kept << QPoint(4, 0);
        QTest::newRow("parameter Esc") << 3 << QPoint(1, 1) << int(Qt::Key_Escape) << kept << QPoint(1, 1);
        QTest::newRow("parameter down") << 3 << QPoint(1, 1) << int(Qt::Key_Down) << typed << QPoint(1, 2);
        QTest::newRow("parameter up on Max Position") << 3 << QPoint(1, 0) << int(Qt::Key_Up) << typed << QPoint(1, 0);
        QTest::newRow("parameter down on Board Name")
            << 3 << QPoint(1, 7) << int(Qt::Key_Down) << typed << QPoint(1, 7);
        QTest::newRow("parameter left is typing") << 3 << QPoint(1, 2) << int(Qt::Key_Left) << kept << QPoint(1, 2);
        QTest::newRow("parameter right is typing") << 3 << QPoint(1, 2) << int(Qt::Key_Right) << kept << QPoint(1, 2);
    }
    void editBoxKeysCommitMoveOrDiscard()
    {
        QFETCH(int, grid);
        QFETCH(QPoint, start);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(QPoint, end);
        EditRig rig;
        rig.grid(grid).setTextMatrix(start.y(), start.x(), QStringLiteral("45"));
        rig.startEdit(grid, start.y(), start.x(), QStringLiteral("31"));
        QTest::keyClick(rig.box(grid), Qt::Key(key));
        const bool typing = text == QLatin1String("45") && key != Qt::Key_Escape;
        QCOMPARE(rig.box(grid)->isVisible(), typing);
        QCOMPARE(rig.view(grid)->hasFocus(), !typing);
        QCOMPARE(rig.grid(grid).TextMatrix(start.y(), start.x()), text);
        QCOMPARE(rig.current(grid), end);
        if (key == Qt::Key_Escape) { // and a later move finds nothing to commit
            rig.grid(grid).setCurrent(grid == 2 ? 0 : 2, 2);
            QCOMPARE(rig.grid(grid).TextMatrix(start.y(), start.x()), text);
        }
    }

    void headingsFollowTheAxisParametersOnlyWhenAllFourAreFilled_data()
    {
        QTest::addColumn<QStringList>("axis"); // RPM Start, RPM Increment (typed), LOAD Start, LOAD Increment
        QTest::addColumn<QStringList>("rpmHeadings"); // columns 1, 2, 3 and 16
        QTest::addColumn<QStringList>("loadHeadings"); // rows 1, 2, 3 and 16
        QTest::newRow("all four") << QStringList{"800", "250", "10", "6"} << QStringList{"0", "800", "1050", "4300"}
                                  << QStringList{"0", "10%", "16%", "94%"};
        QTest::newRow("LOAD Start empty") << QStringList{"800", "250", "", "6"} << QStringList{"", "", "", ""}
                                          << QStringList{"", "", "", ""};
    }
    void headingsFollowTheAxisParametersOnlyWhenAllFourAreFilled()
    {
        QFETCH(QStringList, axis);
        QFETCH(QStringList, rpmHeadings);
        QFETCH(QStringList, loadHeadings);
        EditRig rig;
        FlexGrid &p = rig.grid(3);
        p.setTextMatrix(RpmStart, 1, axis[0]);
        p.setTextMatrix(LoadStart, 1, axis[2]);
        p.setTextMatrix(LoadIncrement, 1, axis[3]);
        rig.startEdit(3, RpmIncrement, 1, axis[1]);
        QTest::keyClick(rig.w().Text3, Qt::Key_Return);
        QCOMPARE(p.TextMatrix(RpmIncrement, 1), axis[1]);
        const int at[] = {1, 2, 3, 16};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(rig.map().TextMatrix(0, at[i]), rpmHeadings[i]);
            QCOMPARE(rig.map().TextMatrix(at[i], 0), loadHeadings[i]);
        }
        // Leaving a parameter cell commits without rebuilding.
        rig.map().setTextMatrix(0, 2, QStringLiteral("old"));
        rig.startEdit(3, RpmStart, 1, QStringLiteral("900"));
        p.setRow(MaxPosition);
        QCOMPARE(p.TextMatrix(RpmStart, 1), QStringLiteral("900"));
        QCOMPARE(rig.map().TextMatrix(0, 2), QStringLiteral("old"));
    }

    void typingAfterTheHeadingRebuildEditsADataCell()
    {
        EditRig rig;
        rig.w().UpdateAxisHeadings(); // leaves the map on row 16, column 0
        rig.view(1)->setFocus();
        rig.type(1, QStringLiteral("3"));
        QTest::keyClick(rig.w().Text1, Qt::Key_Return);
        QCOMPARE(rig.map().TextMatrix(16, 0), QStringLiteral("0%"));
        QCOMPARE(rig.map().TextMatrix(16, 1), QStringLiteral("3"));
    }

    void copiedBlockPastesAtTheClickedCell()
    {
        EditRig rig;
        for (int r = 2; r <= 3; ++r)
            for (int c = 2; c <= 4; ++c)
                rig.map().setTextMatrix(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
        rig.drag(1, {2, 2}, {4, 3});
        rig.ctrl(1, Qt::Key_C);
        QCOMPARE(rig.dialogs.clipboard, QStringLiteral("2.2\t2.3\t2.4\r3.2\t3.3\t3.4"));
        rig.click(1, 10, 5);
        rig.ctrl(1, Qt::Key_V);
        for (int r = 0; r <= 1; ++r)
            for (int c = 0; c <= 2; ++c)
                QCOMPARE(rig.map().TextMatrix(10 + r, 5 + c), QStringLiteral("%1.%2").arg(2 + r).arg(2 + c));
        QCOMPARE(rig.map().TextMatrix(12, 5), QString());
        QCOMPARE(rig.map().TextMatrix(10, 8), QString());
        QCOMPARE(rig.current(1), QPoint(5, 10));
        QVERIFY(!rig.w().Text1->isVisible());
        // A block from a spreadsheet lands the same way.
        rig.dialogs.clipboard = QStringLiteral("a\tb\tc\r\nd\te\tf\r\n");
        rig.click(1, 14, 1);
        rig.ctrl(1, Qt::Key_V);
        QCOMPARE(rig.map().TextMatrix(14, 1), QStringLiteral("a"));
        QCOMPARE(rig.map().TextMatrix(15, 3), QStringLiteral("f"));
    }

    void pasteReachingOutsideTheDataCellsIsCut_data()
    {
        QTest::addColumn<QPoint>("anchor"); // (col, row)
        QTest::addColumn<QStringList>("written"); // "row,col=text"
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
        rig.w().CopyRows = 1;
        rig.w().CopyCols = 1;
        rig.w().AnchorRow = anchor.y();
        rig.w().AnchorCol = anchor.x();
        rig.dialogs.clipboard = QStringLiteral("a\tb\rd\te");
        rig.view(1)->setFocus();
        rig.ctrl(1, Qt::Key_V);
        QStringList seen;
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                if (!rig.map().TextMatrix(r, c).isEmpty())
                    seen << QStringLiteral("%1,%2=%3").arg(r).arg(c).arg(rig.map().TextMatrix(r, c));
        QCOMPARE(seen, written);
    }

    void typingAfterCopyWaitsForTheNextMove()
    {
        EditRig rig;
        rig.drag(1, {3, 3}, {4, 4});
        rig.ctrl(1, Qt::Key_C);
        QVERIFY(rig.w().SuppressGridEdit);
        rig.type(1, QStringLiteral("5"));
        QVERIFY(!rig.w().Text1->isVisible());
        QTest::mouseDClick(rig.view(1)->viewport(), Qt::LeftButton, {}, rig.at(rig.view(1), 3, 3));
        QVERIFY(!rig.w().Text1->isVisible());
        QTest::keyClick(rig.view(1), Qt::Key_Down); // the current cell changes
        QVERIFY(!rig.w().SuppressGridEdit);
        rig.type(1, QStringLiteral("5"));
        QVERIFY(rig.w().Text1->isVisible());
    }

    void controlKeysOpenTheEditorOutsideTheMap_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("key");
        QTest::newRow("brake Ctrl+C") << 2 << int(Qt::Key_C);
        QTest::newRow("brake Ctrl+V") << 2 << int(Qt::Key_V);
        QTest::newRow("parameters Ctrl+C") << 3 << int(Qt::Key_C);
        QTest::newRow("parameters Ctrl+V") << 3 << int(Qt::Key_V);
    }
    void controlKeysOpenTheEditorOutsideTheMap()
    {
        QFETCH(int, grid);
        QFETCH(int, key);
        EditRig rig;
        rig.dialogs.clipboard = QStringLiteral("keep");
        const int row = grid == 3 ? 1 : 0;
        rig.grid(grid).setTextMatrix(row, 2 - (grid == 3), QStringLiteral("60"));
        rig.click(grid, row, 2 - (grid == 3));
        rig.ctrl(grid, Qt::Key(key));
        QVERIFY(rig.box(grid)->isVisible());
        QCOMPARE(rig.box(grid)->selectedText(), QStringLiteral("60"));
        QCOMPARE(rig.dialogs.clipboard, QStringLiteral("keep"));
        QVERIFY(!rig.w().SuppressGridEdit);
    }

    void clearEmptiesTheTablesButNotTheLabels()
    {
        EditRig rig;
        for (int i = 0; i <= 16; ++i) {
            rig.map().setTextMatrix(i, i, QStringLiteral("1"));
            rig.map().setTextMatrix(0, i, QStringLiteral("h"));
        }
        rig.grid(2).setTextMatrix(0, 9, QStringLiteral("70"));
        for (int r = 0; r < 8; ++r)
            rig.grid(3).setTextMatrix(r, 1, QStringLiteral("5"));
        rig.startEdit(3, 0, 1, QStringLiteral("77")); // an open edit does not survive Clear
        rig.w().mnuClearTable_Click();
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                QCOMPARE(rig.map().TextMatrix(r, c), QString());
        for (int c = 1; c <= 16; ++c)
            QCOMPARE(rig.grid(2).TextMatrix(0, c), QString());
        QCOMPARE(rig.grid(2).TextMatrix(0, 0), QStringLiteral("Brake"));
        for (int r = 0; r < 8; ++r) {
            QCOMPARE(rig.grid(3).TextMatrix(r, 1), QString());
            QCOMPARE(rig.grid(3).TextMatrix(r, 0), parameterLabel(ParamRow(r)));
        }
        QVERIFY(!rig.w().Text3->isVisible());
        QCOMPARE(rig.current(1), QPoint(16, 16));
        QCOMPARE(rig.current(2), QPoint(16, 0));
        QCOMPARE(rig.current(3), QPoint(1, 7));
    }
};

QTEST_MAIN(TestTableEditing)
#include "test_tableediting.moc"
