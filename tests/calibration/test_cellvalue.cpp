// Cell text to number and back, and the headings built from them.
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
        QTest::newRow("blanks inside") << " 7 5" << 75.0 << "75";
        QTest::newRow("fraction") << "12.5" << 12.5 << "12.5";
        QTest::newRow("negative zero") << "-0" << 0.0 << "0";
        QTest::newRow("D exponent") << "2.5D2" << 250.0 << "250";
        QTest::newRow("exponent without digits") << "7E+" << 7.0 << "7";
        QTest::newRow("hex") << "&hFF" << 255.0 << "255";
        QTest::newRow("octal stops at 8") << "&O178" << 15.0 << "15";
        QTest::newRow("hex without digits") << "&H" << 0.0 << "0";
        QTest::newRow("fifteen digits") << "123456789012345" << 123456789012345.0 << "123456789012345";
        QTest::newRow("tiny underflows") << "1E-99999" << 0.0 << "0";
        QTest::newRow("huge negative") << "-9D400" << -DBL_MAX << "-1.79769313486232E+308";
        QTest::newRow("comma is not a point") << "1,5" << 1.0 << "1";
        QTest::newRow("small uses exponent") << "0.00001" << 0.00001 << "1E-05";
        QTest::newRow("large uses exponent") << "1000000000000000" << 1e15 << "1E+15";
        QTest::newRow("rounded to fifteen") << "0.30000000000000004" << 0.1 + 0.2 << "0.3";
        QTest::newRow("huge exponent") << "1E99999999999999999999" << DBL_MAX << "1.79769313486232E+308";
    }
    void readsTheLeadingNumberAndShowsItInGeneralForm()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(CellValue(text), value);
        QCOMPARE(CellText(CellValue(text)), shown);
    }

    // Parameters RPM Start, RPM Increment, LOAD Start, LOAD Increment; headings
    // of columns and rows 1, 2, 3 and 16.
    void headingsFollowTheAxisParameters_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("headings");
        QTest::newRow("example") << QStringList{"800", "200", "10", "6"} << "0 800 1000 3600 | 0 10% 16% 94%";
        QTest::newRow("empty") << QStringList{"", "", "", ""} << "0 0 0 0 | 0 0% 0% 0%";
        QTest::newRow("fractional") << QStringList{"1000", "250", "0", "6.5"} << "0 1000 1250 4500 | 0 0% 6.5% 91%";
    }
    void headingsFollowTheAxisParameters()
    {
        QFETCH(QStringList, params);
        QFETCH(QString, headings);
        CalibrationTables t;
        SetUpGrids(t);
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
