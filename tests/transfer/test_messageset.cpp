// The encodings where their arithmetic can go wrong beyond what the send tests
// reach: rounding halves on both sides of zero, and the character set's
// 0x80..0x9F block.
#include "messageset.h"

#include <QTest>

using namespace MessageSet;

class TestMessageSet : public QObject {
    Q_OBJECT
private slots:
    void cellIntegerIsNearestWithHalvesToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("integer");
        QTest::newRow("12.5") << 12.5 << 12.0;
        QTest::newRow("13.5") << 13.5 << 14.0;
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("-0.5") << -0.5 << 0.0;
        QTest::newRow("-1.5") << -1.5 << -2.0;
        QTest::newRow("254.5") << 254.5 << 254.0;
        QTest::newRow("255.5") << 255.5 << 256.0;
        QTest::newRow("just below a half") << 2.4999999 << 2.0;
        QTest::newRow("just above a half") << 2.5000001 << 3.0;
        QTest::newRow("beyond 32 bits") << 1e12 + 0.5 << 1e12;
    }
    void cellIntegerIsNearestWithHalvesToEven()
    {
        QFETCH(double, value);
        QFETCH(double, integer);
        QCOMPARE(CellInteger(value), integer);
    }

    void windows1252CoversItsHighBlockBothWays_data()
    {
        QTest::addColumn<uint>("character");
        QTest::addColumn<int>("code");
        QTest::newRow("euro") << 0x20ACu << 0x80;
        QTest::newRow("low quote") << 0x201Au << 0x82;
        QTest::newRow("trade mark") << 0x2122u << 0x99;
        QTest::newRow("Y diaeresis") << 0x0178u << 0x9F;
        QTest::newRow("unassigned 0x81 as its control") << 0x0081u << 0x81;
        QTest::newRow("unassigned 0x9D as its control") << 0x009Du << 0x9D;
        QTest::newRow("A") << 0x41u << 0x41;
        QTest::newRow("no-break space") << 0xA0u << 0xA0;
        QTest::newRow("y diaeresis") << 0xFFu << 0xFF;
    }
    void windows1252CoversItsHighBlockBothWays()
    {
        QFETCH(uint, character);
        QFETCH(int, code);
        QCOMPARE(ToWindows1252(character), std::optional<std::uint8_t>(std::uint8_t(code)));
        QCOMPARE(uint(FromWindows1252(std::uint8_t(code)).unicode()), character);
    }

    void windows1252RefusesWhatItLacks()
    {
        // The C1 controls it has replaced, and everything beyond Latin-1 not in its table.
        for (char32_t c : {char32_t(0x80), char32_t(0x9F), char32_t(0x03A9), char32_t(0x0100), char32_t(0x1F600)})
            QVERIFY2(!ToWindows1252(c), qPrintable(QString::number(uint(c), 16)));
    }
};

QTEST_APPLESS_MAIN(TestMessageSet)
#include "test_messageset.moc"
