// The transport against a scripted HID layer: what the virtual module of the
// window tests cannot show, which always has 9-byte reports both ways.
#include "nonblockingusb.h"

#include <QTest>
#include <deque>

namespace USB = NonBlockingUSB;

namespace {
class ScriptedHid final : public UsbHidApi {
public:
    int openResult = 1, inputLength = 9, outputLength = 9;
    std::deque<QByteArray> reads; // whole reports, report ID first
    int lengthQueries = 0, readCalls = 0;

    void SetInstance(int) override {}
    int Open(int, int, const char *, const char *, const char *, int) override { return openResult; }
    void GetReportLengths(int *in, int *out) override
    {
        ++lengthQueries;
        *in = inputLength;
        *out = outputLength;
    }
    int Write(ConstReportBuffer) override { return outputLength; }
    int Read(ReportBuffer report) override
    {
        ++readCalls;
        if (reads.empty())
            return 0;
        const QByteArray r = reads.front();
        reads.pop_front();
        std::copy_n(r.constData(), std::min<qsizetype>(r.size(), ReportBufferSize), report.begin());
        return int(r.size());
    }
};
} // namespace

class TestNonBlockingUsb : public QObject {
    Q_OBJECT
    ScriptedHid hid;

private slots:
    void init()
    {
        hid = ScriptedHid{};
        USB::UseBackend(&hid);
    }

    void openTakesBothLengthsAndAFailedOpenKeepsThem_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("0") << 0;
        QTest::newRow("2") << 2;
    }
    void openTakesBothLengthsAndAFailedOpenKeepsThem()
    {
        QFETCH(int, result);
        hid.outputLength = 8;
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        QCOMPARE(std::pair(USB::InputReportLength, USB::OutputReportLength), std::pair(9, 8));
        hid.openResult = result;
        hid.inputLength = hid.outputLength = 5;
        QVERIFY(!USB::OpenDevice(QStringLiteral("PNDX")));
        QCOMPARE(hid.lengthQueries, 1);
        QCOMPARE(std::pair(USB::InputReportLength, USB::OutputReportLength), std::pair(9, 8));
    }

    void readCopiesPayloadOrLeavesInBufferAlone_data()
    {
        QTest::addColumn<int>("reportLength");
        QTest::addColumn<bool>("taken");
        QTest::newRow("whole report") << 9 << true;
        QTest::newRow("short report") << 5 << false;
        QTest::newRow("long report") << 10 << false;
        QTest::newRow("nothing queued") << 0 << false;
    }
    void readCopiesPayloadOrLeavesInBufferAlone()
    {
        QFETCH(int, reportLength);
        QFETCH(bool, taken);
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        USB::InBuffer.fill(0xEE);
        hid.reads.push_back(QByteArray::fromHex("00010203040506070809").left(reportLength));
        QCOMPARE(USB::ReadReport(), taken);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(USB::InBuffer[i], taken ? std::uint8_t(i + 1) : std::uint8_t(0xEE));
        QCOMPARE(USB::InBuffer[8], std::uint8_t(0xEE)); // byte 8 never comes from a report
    }

    void deviceClaimingHugeLengthsNeverOverrunsBuffers()
    {
        hid.inputLength = hid.outputLength = 64;
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        QVERIFY(USB::WriteReport());
        hid.reads.push_back(QByteArray(64, 7));
        QVERIFY(USB::ReadReport());
        QCOMPARE(USB::InBuffer[8], std::uint8_t(7));
    }

    void drainEndsAfterTheLastQueuedReport_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("queued");
        QTest::newRow("none") << true << 0;
        QTest::newRow("three") << true << 3;
        // Lengths are 0 until a device opens: an empty read must not count as a report.
        QTest::newRow("never opened") << false << 0;
    }
    void drainEndsAfterTheLastQueuedReport()
    {
        QFETCH(bool, open);
        QFETCH(int, queued);
        QVERIFY(!open || USB::OpenDevice(QStringLiteral("KTRM")));
        for (int i = 0; i < queued; ++i)
            hid.reads.push_back(QByteArray(9, char(i)));
        USB::Drain();
        QCOMPARE(hid.readCalls, queued + 1);
    }
};

QTEST_GUILESS_MAIN(TestNonBlockingUsb)
#include "test_nonblockingusb.moc"
