// The transport against a scripted HID layer.
#include "nonblockingusb.h"

#include <QTest>
#include <deque>
#include <vector>

namespace {
class ScriptedHid final : public UsbHidApi {
public:
    int openResult = 1;
    int inputLength = 9, outputLength = 9;
    int writeResult = -2;                        // -2: echo the length asked for
    std::deque<std::vector<std::uint8_t>> reads; // whole reports, report ID first
    std::vector<std::array<std::uint8_t, ReportBufferSize>> written;
    int lengthQueries = 0, opens = 0, readCalls = 0;
    QByteArray openedName;

    void SetInstance(int) override {}
    int Open(int, int, const char *, const char *, const char *name, int) override
    {
        ++opens;
        openedName = name;
        return openResult;
    }
    void GetReportLengths(int *in, int *out) override
    {
        ++lengthQueries;
        *in = inputLength;
        *out = outputLength;
    }
    int Write(ConstReportBuffer report) override
    {
        std::array<std::uint8_t, ReportBufferSize> copy;
        std::copy(report.begin(), report.end(), copy.begin());
        written.push_back(copy);
        return writeResult == -2 ? outputLength : writeResult;
    }
    int Read(ReportBuffer report) override
    {
        ++readCalls;
        if (reads.empty())
            return 0;
        const auto r = reads.front();
        reads.pop_front();
        const std::size_t n = std::min<std::size_t>(r.size(), ReportBufferSize);
        std::copy_n(r.begin(), n, report.begin());
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
        NonBlockingUSB::UseBackend(&hid);
    }

    void opensByNameAndTakesBothLengths()
    {
        hid.inputLength = 9;
        hid.outputLength = 8;
        QVERIFY(NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")));
        QCOMPARE(hid.openedName, QByteArray("KTRM"));
        QCOMPARE(NonBlockingUSB::VendorId, 49610);
        QCOMPARE(NonBlockingUSB::ProductId, 65535);
        QCOMPARE(NonBlockingUSB::InputReportLength, 9);
        QCOMPARE(NonBlockingUSB::OutputReportLength, 8);
        QVERIFY(!NonBlockingUSB::Connected); // the caller stores the result
    }

    void failedOpenKeepsOldLengthsAndNeverAsks_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("0") << 0;
        QTest::newRow("2") << 2;
        QTest::newRow("-1") << -1;
    }
    void failedOpenKeepsOldLengthsAndNeverAsks()
    {
        QFETCH(int, result);
        QVERIFY(NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")));
        hid.openResult = result;
        hid.inputLength = hid.outputLength = 5;
        QVERIFY(!NonBlockingUSB::OpenDevice(QStringLiteral("PNDX")));
        QCOMPARE(hid.lengthQueries, 1);
        QCOMPARE(NonBlockingUSB::InputReportLength, 9);
        QCOMPARE(NonBlockingUSB::OutputReportLength, 9);
    }

    void writePutsReportIdFirstAndSendsOutputLength()
    {
        QVERIFY(NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")));
        for (int i = 0; i < 9; ++i)
            NonBlockingUSB::OutBuffer[i] = std::uint8_t(0x91 + i);
        QVERIFY(NonBlockingUSB::WriteReport());
        QCOMPARE(hid.written.size(), std::size_t(1));
        const auto &r = hid.written[0];
        QCOMPARE(r[0], std::uint8_t(0));
        for (int i = 1; i <= 9; ++i)
            QCOMPARE(r[i], std::uint8_t(0x91 + i - 1));
        hid.writeResult = 3;
        QVERIFY(!NonBlockingUSB::WriteReport());
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
        QVERIFY(NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")));
        NonBlockingUSB::InBuffer.fill(0xEE);
        if (reportLength > 0) {
            std::vector<std::uint8_t> report(static_cast<std::size_t>(reportLength), 0);
            for (int i = 0; i < reportLength; ++i)
                report[std::size_t(i)] = std::uint8_t(i);
            hid.reads.push_back(report);
        }
        QCOMPARE(NonBlockingUSB::ReadReport(), taken);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(NonBlockingUSB::InBuffer[i], taken ? std::uint8_t(i + 1) : std::uint8_t(0xEE));
        QCOMPARE(NonBlockingUSB::InBuffer[8], std::uint8_t(0xEE)); // byte 8 never comes from a report
    }

    void deviceClaimingHugeLengthsNeverOverrunsBuffers()
    {
        hid.inputLength = 64;
        hid.outputLength = 64;
        QVERIFY(NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")));
        hid.writeResult = 64;
        QVERIFY(NonBlockingUSB::WriteReport());
        hid.reads.push_back(std::vector<std::uint8_t>(64, 7));
        QVERIFY(NonBlockingUSB::ReadReport());
        QCOMPARE(NonBlockingUSB::InBuffer[8], std::uint8_t(7));
    }

    void drainEndsAfterTheLastQueuedReport_data()
    {
        QTest::addColumn<int>("queued");
        QTest::newRow("none") << 0;
        QTest::newRow("three") << 3;
    }
    void drainEndsAfterTheLastQueuedReport()
    {
        QFETCH(int, queued);
        QVERIFY(NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")));
        for (int i = 0; i < queued; ++i)
            hid.reads.push_back(std::vector<std::uint8_t>(9, std::uint8_t(i)));
        NonBlockingUSB::Drain();
        QCOMPARE(hid.readCalls, queued + 1);
    }

    void neverOpenedLinkReadsNothing()
    {
        // Lengths are 0 until a device opens: an empty read must not count as a report.
        QVERIFY(!NonBlockingUSB::ReadReport());
        NonBlockingUSB::Drain();
        QCOMPARE(hid.readCalls, 2);
    }
};

QTEST_GUILESS_MAIN(TestNonBlockingUsb)
#include "test_nonblockingusb.moc"
