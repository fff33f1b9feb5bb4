// Report lengths from report descriptors, and why an open failed, as the hidapi backend tells them.
#include "hidapibackend.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(UsbHidApi::OpenProblem)

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
        QCOMPARE(hid.LastOpenProblem(), UsbHidApi::OpenProblem::None);
        QVERIFY(hid.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1) != 1);
        QCOMPARE(hid.LastOpenProblem(), UsbHidApi::OpenProblem::NoDevice);
        std::array<std::uint8_t, ReportBufferSize> buffer{};
        QCOMPARE(hid.Read(buffer), 0);
    }

    // A node found but not opened: missing permission points to the udev rule.
    void problemOpeningTellsAMissingPermission_data()
    {
        QTest::addColumn<QString>("node"); // what stands at the device path
        QTest::addColumn<int>("mode");
        QTest::addColumn<UsbHidApi::OpenProblem>("problem");
        QTest::newRow("gone") << "" << 0 << UsbHidApi::OpenProblem::NoDevice;
        QTest::newRow("read and write") << "file" << 0600 << UsbHidApi::OpenProblem::NoDevice;
        QTest::newRow("read only") << "file" << 0400 << UsbHidApi::OpenProblem::NotPermitted;
        QTest::newRow("no access") << "file" << 0 << UsbHidApi::OpenProblem::NotPermitted;
    }
    void problemOpeningTellsAMissingPermission()
    {
        QFETCH(QString, node);
        QFETCH(int, mode);
        QFETCH(UsbHidApi::OpenProblem, problem);
        if (problem == UsbHidApi::OpenProblem::NotPermitted && ::geteuid() == 0)
            QSKIP("root may open any node");
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("hidraw0")));
        if (!node.isEmpty()) {
            QFile file(QString::fromLocal8Bit(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(::chmod(path.constData(), mode_t(mode)) == 0);
        }
        QCOMPARE(problemOpening(path), problem);
    }
};

QTEST_GUILESS_MAIN(TestHidApiBackend)
#include "test_hidapibackend.moc"
