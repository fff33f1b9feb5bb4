// The grids and their cells: text to number and back, the current cell, selection end, signals, colours, sizes,
// block text, and the three grids at start.
#include "calibrationtables.h"
#include "cellvalue.h"

#include <QTest>
#include <cfloat>

class TestFlexGrid : public QObject {
    Q_OBJECT
private slots:
    // The number a cell's text counts as, and how that number is shown again.
    void readsTheLeadingNumberAndShowsItInGeneralForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("trailing letters") << "50abc" << 50.0 << "50";
        QTest::newRow("lone sign") << "-" << 0.0 << "0";
        QTest::newRow("plus sign") << "+5" << 5.0 << "5";
        QTest::newRow("blanks, tabs and line feeds inside") << " \t7\n5 " << 75.0 << "75";
        QTest::newRow("a second point ends it") << "-.5.5" << -0.5 << "-0.5";
        QTest::newRow("negative zero") << "-0" << 0.0 << "0";
        QTest::newRow("D exponent") << "2.5D2" << 250.0 << "250";
        QTest::newRow("e exponent, leading zeros") << "5e-0002" << 0.05 << "0.05";
        QTest::newRow("exponent without digits") << "7E+" << 7.0 << "7";
        QTest::newRow("hex digits at their edges") << "&hf0aF9A" << 15773594.0 << "15773594";
        QTest::newRow("hex stops at g") << "&H1g" << 1.0 << "1";
        QTest::newRow("octal stops at 8") << "&O178" << 15.0 << "15";
        QTest::newRow("ampersand alone") << "&5" << 0.0 << "0";
        QTest::newRow("fifteen digits") << "999999999999999" << 999999999999999.0 << "999999999999999";
        QTest::newRow("large uses exponent") << "1000000000000000" << 1e15 << "1E+15";
        QTest::newRow("small without exponent") << "0.0001" << 0.0001 << "0.0001";
        QTest::newRow("small uses exponent") << "0.00001" << 0.00001 << "1E-05";
        QTest::newRow("huge negative") << "-9D400" << -DBL_MAX << "-1.79769313486232E+308";
        QTest::newRow("huge hex") << "&H" + QString(300, u'F') << DBL_MAX << "1.79769313486232E+308";
    }
    void readsTheLeadingNumberAndShowsItInGeneralForm()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(CellValue(text), value);
        QCOMPARE(CellText(CellValue(text)), shown);
    }

    void showsWhatOnlyAFileCanHoldAsTheNumberItReadsBackAs()
    {
        QCOMPARE(CellText(qQNaN()) + ' ' + CellText(qInf()) + ' ' + CellText(-qInf()),
                 QStringLiteral("0 1.79769313486232E+308 -1.79769313486232E+308"));
    }

    // LeaveCell (L with the cell left) fires before the current cell changes, changed (c) after each visible change;
    // values outside the grid are ignored. Then the state: current cell and selection end, row heights and column
    // widths from -1 on, cell positions, colours and texts inside and outside.
    void signalsFollowEachChangeAndValuesOutsideTheGridAreIgnored()
    {
        FlexGrid g(3, 4, 1, 1);
        QString log;
        connect(&g, &FlexGrid::LeaveCell, this, [&] { log += QStringLiteral("L%1%2 ").arg(g.Row()).arg(g.Col()); });
        connect(&g, &FlexGrid::changed, this, [&] { log += QStringLiteral("c "); });
        g.setRow(2);
        g.setRow(2);
        g.setCurrent(3, 3);
        g.setRowSel(0);
        g.setRowSel(0);
        g.setRowSel(3);
        g.setColSel(-1);
        g.setColSel(0);
        g.setText(QStringLiteral("a"));
        g.setText(QStringLiteral("a"));
        g.setTextMatrix(3, 0, QStringLiteral("b"));
        g.setCellBackColor(gridRgb(0x112, 0x134, 0x156));
        g.setCellBackColor(gridRgb(0x12, 0x34, 0x56));
        g.setRowHeight(2, -5);
        g.setRowHeight(3, 1);
        g.setColWidth(3, 100);
        g.setColWidth(4, 1);
        QCOMPARE(log, QStringLiteral("L11 c c L21 c c c c c c c "));
        QString state = QStringLiteral("%1,%2 %3,%4|").arg(g.Row()).arg(g.Col()).arg(g.RowSel()).arg(g.ColSel());
        for (int i = -1; i <= 4; ++i) {
            for (int v : {g.RowHeight(i), g.ColWidth(i), g.CellTopTwips(i), g.CellLeftTwips(i)})
                state += QString::number(v) + ' ';
            state += '|';
        }
        state += QString::number(g.cellBackColor(2, 3), 16) + ' ' + QString::number(g.cellBackColor(3, 3), 16) + ' ' +
                 QString::number(g.CellBackColor(), 16) + ' ' + g.TextMatrix(2, 3) + g.TextMatrix(3, 0);
        QCOMPARE(state,
                 QStringLiteral("2,3 0,0|0 0 0 0 |240 960 0 0 |240 960 240 960 |0 960 480 1920 |0 100 480 2880 |0 "
                                "0 480 2980 |ff123456 ffffffff ff123456 a"));
        const FlexGrid small(1, 1, 1, 1); // all fixed: the current cell stays inside
        QCOMPARE(QPoint(small.Row(), small.Col()), QPoint(0, 0));
    }

    // Per grid: the first and last row's height and column's width in twips, the current cell.
    void gridsStartWithTheirSizesAndCurrentCells()
    {
        CalibrationTables t;
        SetUpGrids(t);
        QString start;
        for (const FlexGrid *g : {&t.map(), &t.brake(), &t.params()})
            for (int v : {g->RowHeight(0), g->RowHeight(g->Rows() - 1), g->ColWidth(0), g->ColWidth(g->Cols() - 1),
                          g->Row(), g->Col()})
                start += QString::number(v) + ' ';
        QCOMPARE(start, QStringLiteral("220 220 600 600 1 1 220 220 600 600 0 1 220 220 1400 1200 7 1 "));
    }

    // The selection is rows 1 to 2, columns 1 to 3; the cells around it hold "-".
    void pastedTextFillsTheSelectionOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cells"); // rows 1 to 3, columns 1 to 4 afterwards
        QTest::newRow("spreadsheet CR LF") << "a\tb\tc\r\nd\te\tf\r\n"
                                           << "a\tb\tc\t-\rd\te\tf\t-\r-\t-\t-\t-";
        QTest::newRow("smaller keeps the rest") << "a"
                                                << "a\t-\t-\t-\r-\t-\t-\t-\r-\t-\t-\t-";
        QTest::newRow("larger is cut at the selection") << "a\tb\tc\td\ne\tf\tg\th\ni"
                                                        << "a\tb\tc\t-\re\tf\tg\t-\r-\t-\t-\t-";
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
