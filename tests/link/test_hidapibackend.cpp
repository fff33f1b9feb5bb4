// Report lengths from report descriptors, as the hidapi backend reads them.
#include "hidapibackend.h"

#include <QTest>

class TestHidApiBackend : public QObject {
    Q_OBJECT
private slots:
    void lengthsFromDescriptor_data()
    {
        QTest::addColumn<QByteArray>("descriptor");
        QTest::addColumn<QString>("lengths"); // input/output, report ID byte included
        QTest::newRow("the module: vendor page, 8-byte reports, no ID")
            << QByteArray::fromHex("0600ff0901a101 0901 15002600ff 7508 9508 8102 0902 7508 9508 9102 c0") << "9/9";
        QTest::newRow("64-byte reports") << QByteArray::fromHex("0600ff0901a101 7508 9540 8102 7508 9540 9102 c0")
                                         << "65/65";
        QTest::newRow("no reports") << QByteArray() << "9/9";
        QTest::newRow("truncated item") << QByteArray::fromHex("0600ff09") << "9/9";
        QTest::newRow("two IDs, longest wins")
            << QByteArray::fromHex("8501 7508 9504 8102 8502 7508 9508 8102 7508 9502 9102") << "9/3";
    }
    void lengthsFromDescriptor()
    {
        QFETCH(QByteArray, descriptor);
        QFETCH(QString, lengths);
        const auto found = reportLengthsFromDescriptor(descriptor);
        QCOMPARE(QStringLiteral("%1/%2").arg(found.input).arg(found.output), lengths);
    }

    void noDeviceMeansOpenFailsAndReadFindsNothing()
    {
        HidApiBackend hid;
        QVERIFY(hid.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1) != 1);
        std::array<std::uint8_t, ReportBufferSize> buffer{};
        QCOMPARE(hid.Read(buffer), 0);
    }
};

QTEST_GUILESS_MAIN(TestHidApiBackend)
#include "test_hidapibackend.moc"
