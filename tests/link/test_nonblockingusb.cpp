// The transport against a scripted HID layer: what the virtual module of the
// window tests cannot show, which always has 9-byte reports both ways.
#include "misc.h"
#include "nonblockingusb.h"
#include "tracinghidapi.h"

#include <QTemporaryDir>
#include <QTest>
#include <deque>

namespace USB = NonBlockingUSB;

namespace {
class ScriptedHid final : public UsbHidApi {
public:
    int openResult = 1, inputLength = 9, outputLength = 9, readCalls = 0;
    std::deque<QByteArray> reads; // whole reports, report ID first
    bool flood = false;           // once the queue is empty, every read finds a whole report of 01s

    void SetInstance(int) override {}
    int Open(int, int, const char *, const char *, const char *, int) override { return openResult; }
    void GetReportLengths(int *in, int *out) override { *in = inputLength, *out = outputLength; }
    int Write(ConstReportBuffer) override { return outputLength; }
    int Read(ReportBuffer report) override
    {
        ++readCalls;
        if (reads.empty() && flood)
            reads.push_back(QByteArray(1, 0) + QByteArray(8, 1));
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

    // --trace: one line per report written and per report read whole, never for
    // an empty read, each in the file as soon as the report has gone or come.
    void traceLogsEachReportWithItsTimeAsItHappens()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("link.trace")));
        VirtualMisc clock;
        TracingHidApi trace(hid, clock, file.fileName());
        USB::UseBackend(&trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        clock.advance(1234);
        USB::SetCommand(0x91);
        USB::OutBuffer[2] = 0x01;
        USB::WriteReport();
        QCOMPARE(file.readAll(), QByteArray("1234 W 91 00 01 00 00 00 00 00\n"));
        clock.advance(50);
        USB::ReadReport(); // nothing queued: no line
        hid.reads.push_back(QByteArray::fromHex("0002210000000000AB"));
        USB::ReadReport();
        QCOMPARE(file.readAll(), QByteArray("1284 R 02 21 00 00 00 00 00 AB\n"));
    }

    // A failed open must not ask for lengths, let alone keep them.
    void failedOpenKeepsTheLengths()
    {
        hid.outputLength = 8;
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        hid.inputLength = hid.outputLength = 5;
        hid.openResult = 2; // only 1 is an open device
        QVERIFY(!USB::OpenDevice(QStringLiteral("PNDX")));
        QCOMPARE(std::pair(USB::InputReportLength, USB::OutputReportLength), std::pair(9, 8));
    }

    // Only a read of exactly the input length fills InBuffer, and never beyond it.
    void readTakesOnlyAWholeReport_data()
    {
        QTest::addColumn<int>("length"); // both report lengths, as the device claims them
        QTest::addColumn<int>("size");   // of the report read
        QTest::addColumn<QString>("inBuffer");
        QTest::newRow("whole report") << 9 << 9 << "01 02 03 04 05 06 07 08 ee";
        QTest::newRow("short report") << 9 << 5 << "ee ee ee ee ee ee ee ee ee";
        QTest::newRow("long report") << 9 << 10 << "ee ee ee ee ee ee ee ee ee";
        QTest::newRow("nothing queued") << 9 << 0 << "ee ee ee ee ee ee ee ee ee";
        QTest::newRow("64-byte device") << 64 << 64 << "01 02 03 04 05 06 07 08 09";
    }
    void readTakesOnlyAWholeReport()
    {
        QFETCH(int, length);
        QFETCH(int, size);
        QFETCH(QString, inBuffer);
        hid.inputLength = hid.outputLength = length;
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        QVERIFY(USB::WriteReport());
        USB::InBuffer.fill(0xEE);
        hid.reads.push_back(QByteArray::fromHex("00010203040506070809").leftJustified(size, 'x', true));
        QCOMPARE(USB::ReadReport(), !inBuffer.startsWith("ee"));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(USB::InBuffer.data()), 9).toHex(' '), inBuffer.toLatin1());
    }

    // The drain reads until a read is not a whole report; what queued behind a short one stays.
    void drainEndsAtTheFirstReadThatIsNotWhole_data()
    {
        QTest::addColumn<QString>("device");    // closed, open, or flooding once its queue is empty
        QTest::addColumn<QList<int>>("queued"); // sizes of the queued reports, the n-th carrying n
        QTest::addColumn<QString>("drained");   // reads made, reports left, InBuffer byte 0
        QTest::newRow("nothing queued") << "open" << QList<int>{} << "1 0 ee";
        QTest::newRow("before any open") << "closed" << QList<int>{9} << "1 0 ee";
        QTest::newRow("three whole") << "open" << QList<int>{9, 9, 9} << "4 0 03";
        QTest::newRow("short between whole") << "open" << QList<int>{9, 5, 9} << "2 1 01";
        QTest::newRow("short first") << "open" << QList<int>{5, 9} << "1 1 ee";
        QTest::newRow("long first") << "open" << QList<int>{10, 9} << "1 1 ee";
        QTest::newRow("flood of whole reports") << "flooding" << QList<int>{9, 9} << "4096 0 01";
    }
    void drainEndsAtTheFirstReadThatIsNotWhole()
    {
        QFETCH(QString, device);
        QFETCH(QList<int>, queued);
        QFETCH(QString, drained);
        QVERIFY(device == "closed" || USB::OpenDevice(QStringLiteral("KTRM")));
        USB::InBuffer.fill(0xEE);
        for (int n = 1; n <= queued.size(); ++n)
            hid.reads.push_back((QByteArray(1, 0) + QByteArray(9, char(n))).left(queued[n - 1]));
        hid.flood = device == "flooding";
        USB::Drain();
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(hid.readCalls)
                     .arg(hid.reads.size())
                     .arg(int(USB::InBuffer[0]), 2, 16, QLatin1Char('0')),
                 drained);
    }
};

QTEST_GUILESS_MAIN(TestNonBlockingUsb)
#include "test_nonblockingusb.moc"
