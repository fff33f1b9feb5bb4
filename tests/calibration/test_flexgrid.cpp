// The grid's current cell, selection end, leave-cell event and block text.
#include "flexgrid.h"

#include <QTest>

class TestFlexGrid : public QObject {
    Q_OBJECT
private slots:
    void leaveCellFiresBeforeEveryChangeOfTheCurrentCell()
    {
        FlexGrid g(17, 17, 1, 1);
        QList<QPoint> seen;
        connect(&g, &FlexGrid::LeaveCell, this, [&] { seen << QPoint(g.Col(), g.Row()); });
        g.setRow(3);         // fires, still at (1,1)
        g.setRow(3);         // same row: no change, no event
        g.setCol(4);         // fires at (1,3)
        g.setRowSel(9);      // selection end only: no event
        g.setCurrent(20, 4); // outside the grid: ignored
        QCOMPARE(seen, (QList<QPoint>{{1, 1}, {1, 3}}));
        QCOMPARE(QPoint(g.Col(), g.Row()), QPoint(4, 3));
        g.setColSel(2);
        g.setRow(3); // moving, even to the same row, collapses the selection
        QCOMPARE(QPoint(g.ColSel(), g.RowSel()), QPoint(4, 3));
    }

    // The selection is rows 1 to 2, columns 1 to 3; the cells around it hold "-".
    void pastedTextFillsTheSelectionOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cells"); // rows 1 to 3, columns 1 to 4 afterwards
        QTest::newRow("spreadsheet CR LF") << "a\tb\tc\r\nd\te\tf\r\n" << "a\tb\tc\t-\rd\te\tf\t-\r-\t-\t-\t-";
        QTest::newRow("smaller keeps the rest") << "a" << "a\t-\t-\t-\r-\t-\t-\t-\r-\t-\t-\t-";
    }
    void pastedTextFillsTheSelectionOnly()
    {
        QFETCH(QString, text);
        QFETCH(QString, cells);
        FlexGrid g(17, 17, 1, 1);
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 4; ++c)
                g.setTextMatrix(r, c, QStringLiteral("-"));
        auto selectTo = [&g](int r, int c) { g.setCurrent(r, c), g.setRowSel(1), g.setColSel(1); };
        selectTo(2, 3); // a selection dragged up and left still starts top-left
        g.setClip(text);
        selectTo(3, 4);
        QCOMPARE(g.Clip(), cells);
    }
};

QTEST_GUILESS_MAIN(TestFlexGrid)
#include "test_flexgrid.moc"
