// The transport, its trace and the hidapi backend, down to a stand-in for
// hidapi linked in its place; report lengths from descriptors; clearing the
// operating point; the real clock.
#include "flexgrid.h"
#include "hidapibackend.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "operatingpoint.h"
#include "tracinghidapi.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <hidapi/hidapi.h>
#include <unistd.h>

namespace USB = NonBlockingUSB;

namespace {
struct {
    QString folder;               // of the device nodes
    QStringList devices;          // "node manufacturer product serial", "-" for a string the device lacks
    int written = 0;              // what hid_write returns
    std::deque<QByteArray> reads; // each cut to the length asked; "-" fails; "*" floods for ever
    QStringList calls;            // a run of one call folded as "read 8 0 *3"
    std::deque<hid_device_info> infos;
    std::deque<std::wstring> texts;
    std::deque<QByteArray> paths;
} fake;
char handle;

QByteArray hex(const void *data, qsizetype size) { return QByteArray(static_cast<const char *>(data), size).toHex(); }

template <typename T> T logged(const QString &call, T result)
{
    const QStringList last = fake.calls.isEmpty() ? QStringList() : fake.calls.last().split(" *");
    if (last.value(0) == call)
        fake.calls.last() = call + " *" + QString::number(qMax(1, last.value(1).toInt()) + 1);
    else
        fake.calls << call;
    return result;
}
} // namespace

extern "C" {
int hid_init() { return 0; }
int hid_exit() { return 0; }
hid_device_info *hid_enumerate(unsigned short vendor, unsigned short product)
{
    auto text = [](const QString &t) { return t == "-" ? nullptr : fake.texts.emplace_back(t.toStdWString()).data(); };
    hid_device_info *list = nullptr;
    for (auto d = fake.devices.crbegin(); d != fake.devices.crend(); ++d) {
        const QStringList f = d->split(' ');
        char *path = fake.paths.emplace_back(QFile::encodeName(fake.folder + f[0])).data();
        list = &fake.infos.emplace_front(
            hid_device_info{path, 0, 0, text(f[3]), 0, text(f[1]), text(f[2]), 0, 0, 0, list, HID_API_BUS_USB});
    }
    return logged(QStringLiteral("enumerate %1:%2").arg(vendor, 0, 16).arg(product, 0, 16), list);
}
void hid_free_enumeration(hid_device_info *) { logged("free", 0); }
hid_device *hid_open_path(const char *path)
{
    auto *device = ::access(path, R_OK | W_OK) == 0 ? reinterpret_cast<hid_device *>(&handle) : nullptr;
    return logged("open " + QFileInfo(QFile::decodeName(path)).fileName(), device);
}
void hid_close(hid_device *) { logged("close", 0); }
int hid_set_nonblocking(hid_device *, int nonblock)
{
    return logged(QStringLiteral("nonblocking %1").arg(nonblock), 0);
}
int hid_write(hid_device *, const unsigned char *data, size_t length)
{
    return logged("write " + hex(data, qsizetype(length)), fake.written);
}
int hid_read_timeout(hid_device *, unsigned char *data, size_t length, int ms)
{
    QByteArray report = fake.reads.empty() ? QByteArray() : fake.reads.front();
    if (report != "*" && !fake.reads.empty())
        fake.reads.pop_front();
    report = report == "*" ? QByteArray(int(length), 'Z') : report.left(qsizetype(length));
    const int got = report == "-" ? -1 : int(std::copy(report.begin(), report.end(), data) - data);
    return logged(QStringLiteral("read %1 %2").arg(length).arg(ms), got);
}
}

// What the transport hands the HID layer, logged on its way down; reads show in hidapi's calls.
class Recorder final : public UsbHidApi {
public:
    explicit Recorder(UsbHidApi &inner) : m_inner(inner) {}
    void SetInstance(int n) override { m_inner.SetInstance(logged(QStringLiteral("SetInstance %1").arg(n), n)); }
    int Open(int vendor, int product, const char *maker, const char *serial, const char *name, int lengths) override
    {
        auto text = [](const char *t) { return t ? QString::fromLatin1(t) : QStringLiteral("null"); };
        const QString call = QStringLiteral("Open %1 %2 %3 %4 %5 %6").arg(vendor).arg(product);
        logged(call.arg(text(maker), text(serial), text(name)).arg(lengths), 0);
        return m_inner.Open(vendor, product, maker, serial, name, lengths);
    }
    void GetReportLengths(int *in, int *out) override { m_inner.GetReportLengths(logged("GetReportLengths", in), out); }
    int Write(ConstReportBuffer report) override
    {
        return m_inner.Write(logged("Write " + hex(report.data(), 10), report));
    }
    int Read(ReportBuffer report) override { return m_inner.Read(report); }

private:
    UsbHidApi &m_inner;
};

class TestHidApiBackend : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir; // the nodes in dev/, their descriptors under sys/
    bool refusable = true;            // whether a node's mode can keep this process out

    // Nodes are read-write, but "locked" is read-only and "gone" missing.
    void plug(const QString &devices, const QString &descriptor)
    {
        fake.devices = devices.split(QStringLiteral("; "));
        for (const QString &d : fake.devices) {
            const QString node = d.section(' ', 0, 0);
            QFile file(fake.folder + node);
            const auto mode = node == "locked" ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner;
            QVERIFY(node == "gone" || (file.open(QIODevice::WriteOnly) && file.setPermissions(mode)));
            QVERIFY(QDir(dir->path()).mkpath("sys/" + node + "/device"));
            QFile sys(dir->filePath("sys/" + node + "/device/report_descriptor"));
            QVERIFY(descriptor.isEmpty() ||
                    (sys.open(QIODevice::WriteOnly) && sys.write(QByteArray::fromHex(descriptor.toLatin1()))));
        }
    }

private slots:
    void initTestCase()
    {
        // Root opens any node: the test runs as nobody so that a read-only one refuses it.
        if (::geteuid() == 0)
            refusable = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        dir.emplace();
        fake = {};
        fake.folder = dir->filePath(QStringLiteral("dev/"));
        QVERIFY(QDir().mkpath(fake.folder));
    }

    void lengthsFromDescriptor_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<QString>("lengths"); // input/output, report ID byte included
        const char *rows[][3] = {
            {"the module: vendor page, 8-byte reports, no ID",
             "0600ff 0901 a101 0901 1500 2600ff 7508 9508 8102 0902 7508 9508 9102 c0", "9/9"},
            {"no reports", "", "9/9"},
            {"no bits", "7508 9500 8102", "1/9"},
            {"bits not a multiple of 8", "7501 9501 8102 7501 9509 9102", "2/3"},
            {"no size yet", "9508 8102 7508 9102", "1/9"},
            {"no count yet", "7508 8102 9508 9102", "1/9"},
            {"count before size, ID after them", "9505 7504 9102 8102 8501 9503 8102", "4/4"},
            {"items of one ID add up", "8502 7508 9504 8102 8503 8102 8502 7504 9501 8102", "6/9"},
            {"2- and 4-byte values", "7508 960001 8102 7501 9700000100 9102", "257/8193"},
            {"size times count capped", "77ffffffff 97ffffffff 8102 9102", "131073/131073"},
            {"long item skipped whole", "7508 9501 fe010095 8102", "2/9"},
            {"item cut short ends the walk", "7508 9504 8102 8202", "5/9"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]);
    }
    void lengthsFromDescriptor()
    {
        QFETCH(QString, descriptor);
        QFETCH(QString, lengths);
        const auto found = reportLengthsFromDescriptor(QByteArray::fromHex(descriptor.toLatin1()));
        QCOMPARE(QStringLiteral("%1/%2").arg(found.input).arg(found.output), lengths);
    }

    // A session of the transport, its calls to the HID layer logged among hidapi's: open a KTRM
    // (of any maker and serial, reports no longer than the buffers), write a command, drain what is
    // queued. After open its result, problem and lengths; after the write and the first read their
    // results; after the drain InBuffer and the reports left.
    void sessionCallsHidapiSo_data()
    {
        QTest::addColumn<QString>("devices");
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<int>("written");   // by hid_write
        QTest::addColumn<QString>("reads"); // queued, space-separated
        QTest::addColumn<QString>("calls");
        const char *one = "h3 Marlow KTRM 1";
        const QString none = QStringLiteral(" 0/0, Write 00000000000000000000, 0, 0, eeeeeeeeeeeeeeeeee 1");
        const QString write = QStringLiteral("Write 009100000000000000ee, write 009100000000000000");
        auto opened = [](const char *node, const char *lengths) {
            return QStringLiteral("open %1, nonblocking 1, GetReportLengths, 1 0 %2").arg(node, lengths);
        };
        const struct {
            const char *tag, *devices, *descriptor;
            int written;
            const char *reads;
            QString calls;
        } rows[] = {
            {"any maker and serial", "h3 Someone KTRM 42", "", 9, "ABCDEFGHI",
             opened("h3", "9/9") + ", W, 1, read 8 0, 1, read 8 0, 4142434445464748ee 0, close"},
            {"the first KTRM, past another board", "h3 Marlow PNDX 1; h4 Other KTRM 2; h5 Marlow KTRM 3", "", 8, "AB",
             opened("h4", "9/9") + ", W, 1, read 8 0, 0, read 8 0, eeeeeeeeeeeeeeeeee 0, close"},
            {"another board", "h3 Marlow PNDX 1", "", 9, "A", "0 1" + none},
            {"no product string", "h3 Marlow - 1", "", 9, "A", "0 1" + none},
            {"node gone", "gone Marlow KTRM 1", "", 9, "A", "open gone, 0 1" + none},
            {"node not ours to open", "locked Marlow KTRM 1", "", 9, "A", "open locked, 0 2" + none},
            {"input report too long", one, "7508 950a 8102", 9, "A", "0 1" + none},
            {"output report too long", one, "7508 9509 9102", 9, "A", "0 1" + none},
            {"reports as long as the buffers", one, "7508 9509 8102 9508 9102", 0, "ABCDEFGHI abc",
             opened("h3", "10/9") + ", W, 1, read 9 0, 1, read 9 0, 414243444546474849 0, close"},
            {"a 2-byte input, a 1-byte output", one, "7508 9501 8102 9500 9102", 1, "A",
             opened("h3", "2/1") + ", Write 00910000000000000000, write 00, 1, read 1 0, 1, read 1 0, "
                                   "41eeeeeeeeeeeeeeee 0, close"},
            {"a short report ends the drain", one, "", -1, "ABCDEFGH abc IJKLMNOP",
             opened("h3", "9/9") + ", W, 0, read 8 0, 1, read 8 0, 4142434445464748ee 1, close"},
            {"a failed read ends it", one, "", 9, "ABCDEFGH - IJKLMNOP",
             opened("h3", "9/9") + ", W, 1, read 8 0, 1, read 8 0, 4142434445464748ee 1, close"},
            {"a flood is cut short", one, "", 9, "*",
             opened("h3", "9/9") + ", W, 1, read 8 0, 1, read 8 0 *4096, 5a5a5a5a5a5a5a5aee 1, close"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.tag) << QString(r.devices) << QString(r.descriptor) << r.written << QString(r.reads)
                                 << QString(r.calls).replace(", W,", ", " + write + ",");
    }
    void sessionCallsHidapiSo()
    {
        QFETCH(QString, devices);
        QFETCH(QString, descriptor);
        QFETCH(int, written);
        QFETCH(QString, reads);
        QFETCH(QString, calls);
        if (calls.contains(" 0 2 ") && !refusable)
            QSKIP("no user to be refused as");
        plug(devices, descriptor);
        fake.written = written;
        for (const QString &r : reads.split(' '))
            fake.reads.push_back(r.toLatin1());
        {
            HidApiBackend hid(dir->filePath(QStringLiteral("sys")));
            Recorder layer(hid);
            USB::OutBuffer.fill(0xEE);
            USB::InBuffer.fill(0xEE);
            USB::UseBackend(&layer);
            const bool zeroed =
                USB::OutBuffer == decltype(USB::OutBuffer){} && USB::InBuffer == decltype(USB::InBuffer){};
            fake.calls << (zeroed ? "zeroed" : "not zeroed");
            hid.SetInstance(1); // the transport asks for the first
            const bool opened = USB::OpenDevice(QStringLiteral("KTRM"));
            const int problem = int(hid.LastOpenProblem());
            fake.calls << QString::asprintf("%d %d %d/%d", opened, problem, USB::InputReportLength,
                                            USB::OutputReportLength);
            USB::OutBuffer.fill(0xEE);
            USB::SetCommand(0x91);
            fake.calls << QString::number(USB::WriteReport());
            USB::InBuffer.fill(0xEE);
            fake.calls << QString::number(USB::ReadReport());
            USB::Drain();
            fake.calls << hex(USB::InBuffer.data(), 9) + ' ' + QString::number(fake.reads.size());
        }
        QCOMPARE(fake.calls.join(", "),
                 "zeroed, SetInstance 0, Open 49610 65535 null null KTRM -1, enumerate c1ca:ffff, free, " + calls);
    }

    // The instance and the maker and serial the transport never asks for.
    void openingAgainClosesTheFirstDevice()
    {
        plug(QStringLiteral("h3 Marlow KTRM 1; h4 Other KTRM 2; h5 Marlow PNDX 2; h6 Marlow - 2; h7 Marlow KTRM 2"),
             "");
        HidApiBackend hid(dir->filePath(QStringLiteral("sys")));
        QCOMPARE(hid.Open(0xC1CA, 0xFFFF, "Marlow", "2", "KTRM", -1), 1);
        hid.SetInstance(2);
        QCOMPARE(hid.Open(0xC1CA, 0xFFFF, "Marlow", nullptr, nullptr, -1), 1);
        QCOMPARE(fake.calls.join(", "), QStringLiteral("enumerate c1ca:ffff, free, open h7, nonblocking 1, "
                                                       "enumerate c1ca:ffff, free, close, open h6, nonblocking 1"));
        std::array<std::uint8_t, ReportBufferSize> report;
        report.fill(0xEE);
        fake.reads = {"AB"};
        QCOMPARE(hid.Read(report), 3);
        QCOMPARE(hex(report.data(), 10), "004142eeeeeeeeeeeeee");
    }

    // One line per report written and per report read whole, each in the file once it has crossed.
    void traceLogsEachReportWithItsTimeAsItHappens()
    {
        plug(QStringLiteral("h3 Marlow KTRM 1"), QStringLiteral("7508 9508 8102 9102"));
        QFile file(dir->filePath(QStringLiteral("link.trace")));
        HidApiBackend hid(dir->filePath(QStringLiteral("sys")));
        VirtualMisc clock;
        TracingHidApi trace(hid, clock, file.fileName());
        USB::UseBackend(&trace);
        hid.SetInstance(1); // the transport asks for the first
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        clock.advance(1234);
        USB::SetCommand(0x91);
        USB::OutBuffer[2] = 0x01;
        USB::WriteReport();
        QCOMPARE(file.readAll(), QByteArray("1234 W 91 00 01 00 00 00 00 00\n"));
        clock.advance(50);
        fake.reads = {QByteArray(), QByteArray::fromHex("02210000000000ab"), "short"};
        for (int read = 0; read < 3; ++read)
            USB::ReadReport();
        QCOMPARE(file.readAll(), QByteArray("1284 R 02 21 00 00 00 00 00 AB\n"));
        TracingHidApi lost(hid, clock, dir->filePath(QStringLiteral("no/such/folder/link.trace")));
        USB::UseBackend(&lost);
        QVERIFY(!lost.isOpen() && USB::OpenDevice(QStringLiteral("KTRM")) && USB::WriteReport()); // quietly untraced
    }

    // Clearing whitens every data cell of both grids, wherever their current cells were, and no
    // heading; it leaves the current cells in the last data cell.
    void clearingWhitensEveryDataCell()
    {
        FlexGrid map(17, 17, 1, 1), brake(1, 17, 0, 1);
        for (auto [row, col] : {std::pair(1, 1), {1, 16}, {16, 1}, {16, 16}, {9, 5}, {0, 7}, {7, 0}}) {
            map.setCurrent(row, col);
            map.setCellBackColor(GridYellow);
            brake.setCurrent(0, col);
            brake.setCellBackColor(GridYellow);
        }
        map.setCurrent(3, 4);
        ClearOperatingPoints(map, brake);
        QStringList yellow;
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                if (map.cellBackColor(r, c) == GridYellow)
                    yellow << QStringLiteral("%1,%2").arg(r).arg(c);
        for (int c = 0; c <= 16; ++c)
            if (brake.cellBackColor(0, c) == GridYellow)
                yellow << QStringLiteral("brake %1").arg(c);
        yellow << QStringLiteral("at %1,%2 %3").arg(map.Row()).arg(map.Col()).arg(brake.Col());
        QCOMPARE(yellow.join(' '), QStringLiteral("0,7 7,0 brake 0 at 16,16 16"));
    }

    // Only Wait and DoEvents let events run, and neither wait returns early, not even by 1 ms.
    void realClockWaitsItsTime()
    {
        RealMisc clock;
        int ran = 0;
        QTimer::singleShot(0, [&] { ++ran; });
        clock.Sleep(1);
        QCOMPARE(ran, 0);
        QVERIFY(clock.Now() >= 1);
        clock.Wait(1);
        QCOMPARE(ran, 1);
        QVERIFY(clock.Now() >= 2);
        QTimer::singleShot(0, [&] { ++ran; });
        clock.DoEvents();
        QCOMPARE(ran, 2);
    }
};

QTEST_GUILESS_MAIN(TestHidApiBackend)
#include "test_hidapibackend.moc"
