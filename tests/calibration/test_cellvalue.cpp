// Cell text to number and back, the grids as the window starts with them, and the headings.
#include "calibrationtables.h"
#include "cellvalue.h"

#include <QTest>
#include <cfloat>

class TestCellValue : public QObject {
    Q_OBJECT
private slots:
    // The number a cell's text counts as, and how that number is shown again.
    void readsTheLeadingNumberAndShowsItInGeneralForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("trailing letters") << "50abc" << 50.0 << "50";
        QTest::newRow("no number") << "abc" << 0.0 << "0";
        QTest::newRow("empty") << "" << 0.0 << "0";
        QTest::newRow("lone sign") << "-" << 0.0 << "0";
        QTest::newRow("plus sign") << "+5" << 5.0 << "5";
        QTest::newRow("blanks, tabs and line feeds inside") << " \t7\n5 " << 75.0 << "75";
        QTest::newRow("fraction") << "12.5" << 12.5 << "12.5";
        QTest::newRow("a second point ends it") << "-.5.5" << -0.5 << "-0.5";
        QTest::newRow("negative zero") << "-0" << 0.0 << "0";
        QTest::newRow("D exponent") << "2.5D2" << 250.0 << "250";
        QTest::newRow("e exponent, leading zeros") << "5e-0002" << 0.05 << "0.05";
        QTest::newRow("exponent without digits") << "7E+" << 7.0 << "7";
        QTest::newRow("hex digits at their edges") << "&hf0aF9A" << 15773594.0 << "15773594";
        QTest::newRow("hex stops at g") << "&H1g" << 1.0 << "1";
        QTest::newRow("octal stops at 8") << "&O178" << 15.0 << "15";
        QTest::newRow("hex without digits") << "&H" << 0.0 << "0";
        QTest::newRow("ampersand alone") << "&5" << 0.0 << "0";
        QTest::newRow("fifteen digits") << "999999999999999" << 999999999999999.0 << "999999999999999";
        QTest::newRow("large uses exponent") << "1000000000000000" << 1e15 << "1E+15";
        QTest::newRow("small without exponent") << "0.0001" << 0.0001 << "0.0001";
        QTest::newRow("small uses exponent") << "0.00001" << 0.00001 << "1E-05";
        QTest::newRow("three exponent digits") << "-1d100" << -1e100 << "-1E+100";
        QTest::newRow("tiny underflows") << "1E-99999" << 0.0 << "0";
        QTest::newRow("huge negative") << "-9D400" << -DBL_MAX << "-1.79769313486232E+308";
        QTest::newRow("comma is not a point") << "1,5" << 1.0 << "1";
        QTest::newRow("rounded to fifteen") << "0.30000000000000004" << 0.1 + 0.2 << "0.3";
        QTest::newRow("huge exponent") << "1E99999999999999999999" << DBL_MAX << "1.79769313486232E+308";
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

    // Parameters RPM Start, RPM Increment, LOAD Start, LOAD Increment; headings of columns and rows 1, 2, 3 and 16.
    void gridsStartWithTheirSizesAndLabelsAndHeadingsFollowTheAxisParameters_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("headings");
        QTest::newRow("example") << QStringList{"800", "200", "10", "6"} << "0 800 1000 3600 | 0 10% 16% 94%";
        QTest::newRow("empty") << QStringList{"", "", "", ""} << "0 0 0 0 | 0 0% 0% 0%";
        QTest::newRow("fractional") << QStringList{"1000", "250", "0", "6.5"} << "0 1000 1250 4500 | 0 0% 6.5% 91%";
    }
    void gridsStartWithTheirSizesAndLabelsAndHeadingsFollowTheAxisParameters()
    {
        QFETCH(QStringList, params);
        QFETCH(QString, headings);
        CalibrationTables t;
        SetUpGrids(t);
        QString start; // per grid: the first and last row's height and column's width, current cell, column 0
        for (const FlexGrid *g : {&t.map(), &t.brake(), &t.params()}) {
            for (int v : {g->RowHeight(0), g->RowHeight(g->Rows() - 1), g->ColWidth(0), g->ColWidth(g->Cols() - 1),
                          g->Row(), g->Col()})
                start += QString::number(v) + ' ';
            for (int r = 0; r < g->Rows(); ++r)
                start += g->TextMatrix(r, 0) + '|';
        }
        QCOMPARE(start, "220 220 600 600 1 1 " + QString(17, u'|') +
                            "220 220 600 600 0 1 Brake|220 220 1400 1200 7 1 Max Position|Max Adjust|Max Boost|RPM "
                            "Start|RPM Increment|LOAD Start|LOAD Increment|Board Name|");
        const ParamRow rows[] = {RpmStart, RpmIncrement, LoadStart, LoadIncrement};
        for (int i = 0; i < 4; ++i)
            t.params().setTextMatrix(rows[i], 1, params[i]);
        UpdateAxisHeadings(t);
        QStringList rpm, load;
        for (int k : {1, 2, 3, 16}) {
            rpm << t.map().TextMatrix(0, k);
            load << t.map().TextMatrix(k, 0);
        }
        QCOMPARE(rpm.join(' ') + " | " + load.join(' '), headings);
        QVERIFY(t.map().TextMatrix(0, 0).isEmpty());
        // Tracking relies on the map's current cell being left in the heading column.
        QCOMPARE(QPoint(t.map().Col(), t.map().Row()), QPoint(0, 16));
        QCOMPARE(QPoint(t.params().Col(), t.params().Row()), QPoint(1, 6));
    }
};

QTEST_GUILESS_MAIN(TestCellValue)
#include "test_cellvalue.moc"
