// The grid's current cell, selection end, leave-cell event and block text.
#include "flexgrid.h"

#include <QSignalSpy>
#include <QTest>

class TestFlexGrid : public QObject {
    Q_OBJECT
private slots:
    void startsOnTheFirstDataCell()
    {
        FlexGrid map(17, 17, 1, 1), brake(1, 17, 0, 1);
        QCOMPARE(QPoint(map.Col(), map.Row()), QPoint(1, 1));
        QCOMPARE(QPoint(brake.Col(), brake.Row()), QPoint(1, 0));
    }

    void leaveCellFiresBeforeEveryChangeOfTheCurrentCell()
    {
        FlexGrid g(17, 17, 1, 1);
        QList<QPoint> seen;
        connect(&g, &FlexGrid::LeaveCell, this, [&] { seen << QPoint(g.Col(), g.Row()); });
        g.setRow(3);       // fires, still at (1,1)
        g.setRow(3);       // same row: no change, no event
        g.setCol(4);       // fires at (1,3)
        g.setRowSel(9);    // selection end only: no event
        g.setCurrent(20, 4); // outside the grid: ignored
        QCOMPARE(seen, (QList<QPoint>{{1, 1}, {1, 3}}));
        QCOMPARE(QPoint(g.Col(), g.Row()), QPoint(4, 3));
    }

    void movingTheCurrentCellCollapsesTheSelection()
    {
        FlexGrid g(17, 17, 1, 1);
        g.setCurrent(3, 2);
        g.setRowSel(5);
        g.setColSel(4);
        QCOMPARE(g.Row(), 3);
        QCOMPARE(g.RowSel(), 5);
        g.setRow(3); // even to the same row
        QCOMPARE(QPoint(g.ColSel(), g.RowSel()), QPoint(2, 3));
    }

    void blockTextUsesTabsAndCarriageReturns()
    {
        FlexGrid g(17, 17, 1, 1);
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 3; ++c)
                g.setTextMatrix(r, c, QStringLiteral("%1%2").arg(r).arg(c));
        g.setCurrent(2, 3); // selection dragged up and left still reads top-left first
        g.setRowSel(1);
        g.setColSel(2);
        QCOMPARE(g.Clip(), QStringLiteral("12\t13\r22\t23"));
    }

    void pastedTextFillsTheSelectionOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("cells"); // rows 1..2, columns 1..3 afterwards
        QTest::newRow("exact") << "a\tb\tc\rd\te\tf" << QStringList{"a", "b", "c", "d", "e", "f"};
        QTest::newRow("spreadsheet CR LF") << "a\tb\tc\r\nd\te\tf\r\n" << QStringList{"a", "b", "c", "d", "e", "f"};
        QTest::newRow("larger than block") << "a\tb\tc\tx\rd\te\tf\tx\rx" << QStringList{"a", "b", "c", "d", "e", "f"};
        QTest::newRow("smaller keeps the rest") << "a" << QStringList{"a", "-", "-", "-", "-", "-"};
    }
    void pastedTextFillsTheSelectionOnly()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, cells);
        FlexGrid g(17, 17, 1, 1);
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 4; ++c)
                g.setTextMatrix(r, c, QStringLiteral("-"));
        g.setCurrent(1, 1);
        g.setRowSel(2);
        g.setColSel(3);
        g.setClip(text);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(g.TextMatrix(1 + i / 3, 1 + i % 3), cells[i]);
        QCOMPARE(g.TextMatrix(1, 4), QStringLiteral("-"));
        QCOMPARE(g.TextMatrix(3, 1), QStringLiteral("-"));
    }

    void backColourBelongsToTheCurrentCell()
    {
        FlexGrid g(17, 17, 1, 1);
        g.setCurrent(6, 4);
        g.setCellBackColor(GridYellow);
        QCOMPARE(g.cellBackColor(6, 4), GridYellow);
        QCOMPARE(g.cellBackColor(6, 5), GridWhite);
    }
};

QTEST_GUILESS_MAIN(TestFlexGrid)
#include "test_flexgrid.moc"
