// Cell text to number and back.
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
};

QTEST_GUILESS_MAIN(TestCellValue)
#include "test_cellvalue.moc"
