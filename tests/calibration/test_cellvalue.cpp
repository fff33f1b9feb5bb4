// Cell text to number and back, and the axis headings built from them.
#include "calibrationtables.h"
#include "cellvalue.h"

#include <QTest>
#include <cfloat>
#include <cmath>

class TestCellValue : public QObject {
    Q_OBJECT
private slots:
    void readsTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << "45" << 45.0;
        QTest::newRow("fraction") << "12.5" << 12.5;
        QTest::newRow("blanks inside") << " 7 5" << 75.0;
        QTest::newRow("tab and line feed") << "\t1\n2" << 12.0;
        QTest::newRow("trailing letters") << "50abc" << 50.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("lone sign") << "-" << 0.0;
        QTest::newRow("lone point") << "." << 0.0;
        QTest::newRow("point first") << ".5" << 0.5;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("plus sign") << "+8" << 8.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("E exponent") << "1E3" << 1000.0;
        QTest::newRow("D exponent") << "2.5D2" << 250.0;
        QTest::newRow("negative exponent") << "5e-1" << 0.5;
        QTest::newRow("exponent without digits") << "7E" << 7.0;
        QTest::newRow("exponent sign only") << "7E+" << 7.0;
        QTest::newRow("hex") << "&HFF" << 255.0;
        QTest::newRow("hex lower case") << "&hff" << 255.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("hex without digits") << "&H" << 0.0;
        QTest::newRow("ampersand alone") << "&" << 0.0;
        QTest::newRow("hex stops at non-digit") << "&H1G" << 1.0;
        QTest::newRow("octal stops at 8") << "&O78" << 7.0;
        QTest::newRow("comma is not a point") << "1,5" << 1.0;
        QTest::newRow("fifteen digits") << "123456789012345" << 123456789012345.0;
    }
    void readsTheLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(CellValue(text), value);
    }

    void saturatesInsteadOfOverflowing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("huge exponent") << "1E99999999999999999999" << DBL_MAX;
        QTest::newRow("huge negative") << "-9D400" << -DBL_MAX;
        QTest::newRow("tiny") << "1E-99999" << 0.0;
        QTest::newRow("thousands of digits") << QString(5000, QLatin1Char('9')) << DBL_MAX;
        QTest::newRow("long hex") << QStringLiteral("&H") + QString(400, QLatin1Char('F')) << DBL_MAX;
    }
    void saturatesInsteadOfOverflowing()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        const double got = CellValue(text);
        QVERIFY(std::isfinite(got));
        QCOMPARE(got, value);
    }

    void negativeZeroReadsAndShowsAsZero()
    {
        const double z = CellValue(u"-0");
        QCOMPARE(z, 0.0);
        QCOMPARE(CellText(z), QStringLiteral("0"));
    }

    void showsGeneralDecimalForm_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 45.0 << "45";
        QTest::newRow("fraction") << 12.5 << "12.5";
        QTest::newRow("negative") << -3.0 << "-3";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("fifteen digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("rounded to fifteen") << 0.1 + 0.2 << "0.3";
        QTest::newRow("large uses exponent") << 1e15 << "1E+15";
        QTest::newRow("small uses exponent") << 0.00001 << "1E-05";
        QTest::newRow("small plain") << 0.0001 << "0.0001";
        QTest::newRow("no grouping") << 1234567.0 << "1234567";
    }
    void showsGeneralDecimalForm()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(CellText(value), text);
    }

    void headingsFollowTheAxisParameters_data()
    {
        QTest::addColumn<QStringList>("params"); // RPM Start, RPM Increment, LOAD Start, LOAD Increment
        QTest::addColumn<QStringList>("rpm");    // columns 1 to 16
        QTest::addColumn<QStringList>("load");   // rows 1 to 16
        auto seq = [](double start, double step, const QString &suffix) {
            QStringList out{QStringLiteral("0")};
            for (int k = 0; k < 15; ++k)
                out << CellText(start + k * step) + suffix;
            return out;
        };
        QTest::newRow("example") << QStringList{"800", "200", "10", "6"} << seq(800, 200, {}) << seq(10, 6, "%");
        QTest::newRow("empty") << QStringList{"", "", "", ""} << QStringList(16, "0")
                               << (QStringList{"0"} + QStringList(15, "0%"));
        QTest::newRow("fractional") << QStringList{"1000", "250", "0", "6.5"} << seq(1000, 250, {})
                                    << seq(0, 6.5, "%");
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
        for (int c = 1; c <= 16; ++c)
            QCOMPARE(t.map().TextMatrix(0, c), rpm[c - 1]);
        for (int r = 1; r <= 16; ++r)
            QCOMPARE(t.map().TextMatrix(r, 0), load[r - 1]);
        QCOMPARE(t.map().TextMatrix(0, 0), QString());
        QCOMPARE(t.map().TextMatrix(5, 5), QStringLiteral("42"));
        // Where the rebuild leaves the current cells is what tracking relies on.
        QCOMPARE(QPoint(t.map().Col(), t.map().Row()), QPoint(0, 16));
        QCOMPARE(QPoint(t.params().Col(), t.params().Row()), QPoint(1, 6));
    }
};

QTEST_GUILESS_MAIN(TestCellValue)
#include "test_cellvalue.moc"
