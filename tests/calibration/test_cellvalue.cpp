// Cell text to number and back, and the axis headings built from them.
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
        QTest::newRow("fraction") << "12.5" << 12.5 << "12.5";
        QTest::newRow("blanks, tab and line feed inside") << " 7\t5\n0" << 750.0 << "750";
        QTest::newRow("trailing letters") << "50abc" << 50.0 << "50";
        QTest::newRow("letters") << "abc" << 0.0 << "0";
        QTest::newRow("lone sign") << "-" << 0.0 << "0";
        QTest::newRow("point first") << ".5" << 0.5 << "0.5";
        QTest::newRow("negative zero") << "-0" << 0.0 << "0";
        QTest::newRow("plus sign") << "+8" << 8.0 << "8";
        QTest::newRow("second point ends") << "1.2.3" << 1.2 << "1.2";
        QTest::newRow("comma is not a point") << "1,5" << 1.0 << "1";
        QTest::newRow("E exponent, no grouping") << "1.234567E6" << 1234567.0 << "1234567";
        QTest::newRow("D exponent") << "2.5D2" << 250.0 << "250";
        QTest::newRow("exponent sign only") << "7E+" << 7.0 << "7";
        QTest::newRow("small plain") << "1e-4" << 0.0001 << "0.0001";
        QTest::newRow("small uses exponent") << "0.00001" << 0.00001 << "1E-05";
        QTest::newRow("fifteen digits") << "123456789012345" << 123456789012345.0 << "123456789012345";
        QTest::newRow("large uses exponent") << "1000000000000000" << 1e15 << "1E+15";
        QTest::newRow("rounded to fifteen") << "0.30000000000000004" << 0.1 + 0.2 << "0.3";
        QTest::newRow("hex") << "&HFF" << 255.0 << "255";
        QTest::newRow("hex lower case") << "&hff" << 255.0 << "255";
        QTest::newRow("octal") << "&O17" << 15.0 << "15";
        QTest::newRow("hex without digits") << "&H" << 0.0 << "0";
        QTest::newRow("ampersand alone") << "&" << 0.0 << "0";
        QTest::newRow("hex stops at non-digit") << "&H1G" << 1.0 << "1";
        QTest::newRow("octal stops at 8") << "&O78" << 7.0 << "7";
        // Too large or too small to hold saturates instead of overflowing.
        QTest::newRow("huge exponent") << "1E99999999999999999999" << DBL_MAX << "1.79769313486232E+308";
        QTest::newRow("huge negative") << "-9D400" << -DBL_MAX << "-1.79769313486232E+308";
        QTest::newRow("tiny") << "1E-99999" << 0.0 << "0";
        QTest::newRow("long hex") << "&H" + QString(400, u'F') << DBL_MAX << "1.79769313486232E+308";
    }
    void readsTheLeadingNumberAndShowsItInGeneralForm()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(CellValue(text), value);
        QCOMPARE(CellText(CellValue(text)), shown);
    }

    void headingsFollowTheAxisParameters_data()
    {
        QTest::addColumn<QStringList>("params"); // RPM Start, RPM Increment, LOAD Start, LOAD Increment
        QTest::addColumn<QStringList>("rpm");    // columns 1, 2, 3 and 16
        QTest::addColumn<QStringList>("load");   // rows 1, 2, 3 and 16
        QTest::newRow("example") << QStringList{"800", "200", "10", "6"} << QStringList{"0", "800", "1000", "3600"}
                                 << QStringList{"0", "10%", "16%", "94%"};
        QTest::newRow("empty") << QStringList{"", "", "", ""} << QStringList{"0", "0", "0", "0"}
                               << QStringList{"0", "0%", "0%", "0%"};
        QTest::newRow("fractional") << QStringList{"1000", "250", "0", "6.5"}
                                    << QStringList{"0", "1000", "1250", "4500"}
                                    << QStringList{"0", "0%", "6.5%", "91%"};
    }
    void headingsFollowTheAxisParameters()
    {
        QFETCH(QStringList, params);
        QFETCH(QStringList, rpm);
        QFETCH(QStringList, load);
        CalibrationTables t;
        SetUpGrids(t);
        const ParamRow rows[] = {RpmStart, RpmIncrement, LoadStart, LoadIncrement};
        for (int i = 0; i < 4; ++i)
            t.params().setTextMatrix(rows[i], 1, params[i]);
        t.map().setTextMatrix(5, 5, QStringLiteral("42"));
        UpdateAxisHeadings(t);
        QStringList rpmSeen, loadSeen;
        for (int at : {1, 2, 3, 16}) {
            rpmSeen << t.map().TextMatrix(0, at);
            loadSeen << t.map().TextMatrix(at, 0);
        }
        QCOMPARE(rpmSeen, rpm);
        QCOMPARE(loadSeen, load);
        QCOMPARE(t.map().TextMatrix(0, 0), QString());
        QCOMPARE(t.map().TextMatrix(5, 5), QStringLiteral("42"));
        // Where the rebuild leaves the current cells is what tracking relies on.
        QCOMPARE(QPoint(t.map().Col(), t.map().Row()), QPoint(0, 16));
        QCOMPARE(QPoint(t.params().Col(), t.params().Row()), QPoint(1, 6));
    }
};

QTEST_GUILESS_MAIN(TestCellValue)
#include "test_cellvalue.moc"
