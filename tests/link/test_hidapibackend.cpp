// The transport, its trace and the hidapi backend, down to a stand-in for hidapi linked in its place; report
// lengths from descriptors; clearing the operating point; the real clock.
#include "flexgrid.h"
#include "hidapibackend.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "operatingpoint.h"
#include "tracinghidapi.h"

#include <QDir>
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
    QString folder;       // of the device nodes
    QStringList devices;  // "node manufacturer product serial [descriptor]"
    int written = 0;      // what hid_write returns
    QByteArrayList reads; // each cut to the length asked; "*" floods for ever
    QStringList calls;    // a run of one call folded as "read 8 0 *3"
    std::deque<hid_device_info> infos;
    std::deque<std::wstring> texts;
    std::deque<QByteArray> paths;
} fake;

QByteArray hex(const void *data, qsizetype size) { return QByteArray(static_cast<const char *>(data), size).toHex(); }

void row(const char *tag, const QString &given, const QString &expected) { QTest::newRow(tag) << given << expected; }

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
int hid_init() { return logged("init", 0); }
int hid_exit() { return logged("exit", 0); }
hid_device_info *hid_enumerate(unsigned short vendor, unsigned short product)
{
    auto text = [](const QString &t) { return fake.texts.emplace_back(t.toStdWString()).data(); };
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
    auto *device = ::access(path, R_OK | W_OK) == 0 ? reinterpret_cast<hid_device *>(&fake) : nullptr;
    return logged("open " + QFile::decodeName(path).section('/', -1), device);
}
void hid_close(hid_device *) { logged("close", 0); }
int hid_set_nonblocking(hid_device *, int on) { return logged("nonblocking " + QString::number(on), 0); }
// The length, then the whole buffer the transport hands down, byte 9 too.
int hid_write(hid_device *, const unsigned char *data, size_t length)
{
    return logged(QStringLiteral("write %1 ").arg(length) + hex(data, ReportBufferSize), fake.written);
}
int hid_read_timeout(hid_device *, unsigned char *data, size_t length, int ms)
{
    QByteArray report = fake.reads.value(0);
    if (report != "*" && !fake.reads.isEmpty())
        fake.reads.removeFirst();
    report = report == "*" ? QByteArray(int(length), 'Z') : report.left(qsizetype(length));
    const int got = int(std::copy(report.begin(), report.end(), data) - data);
    return logged(QStringLiteral("read %1 %2").arg(length).arg(ms), got);
}
}

class TestHidApiBackend : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir; // the nodes, their descriptors under sys/

    // Nodes are read-write, but "locked" is read-only and "gone" missing.
    void plug(const QString &devices)
    {
        dir.emplace();
        fake = {};
        fake.folder = dir->path() + '/';
        fake.devices = devices.split(QStringLiteral("; "));
        for (const QString &d : fake.devices) {
            const QString node = d.section(' ', 0, 0);
            QFile file(fake.folder + node), sys(dir->filePath("sys/" + node + "/device/report_descriptor"));
            const auto mode = node == "locked" ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner;
            QVERIFY(node == "gone" || (file.open(QIODevice::WriteOnly) && file.setPermissions(mode)));
            QVERIFY(QDir(dir->path()).mkpath("sys/" + node + "/device"));
            if (const QString descriptor = d.section(' ', 4); !descriptor.isEmpty()) // else none can be read
                QVERIFY(sys.open(QIODevice::WriteOnly) && sys.write(QByteArray::fromHex(descriptor.toLatin1())) > 0);
        }
    }

private slots:
    // Root opens any node: the test runs as nobody so that a read-only one refuses it.
    void initTestCase() { QVERIFY(::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    // Input/output, report ID byte included.
    void lengthsFromDescriptor_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<QString>("lengths");
        row("bits not a multiple of 8", "7501 9501 8102 7501 9509 9102", "2/3");
        row("none declared", "", "9/9");
        row("no size yet", "9508 8102 7508 9102", "1/9");
        row("no count yet", "7508 8102 9508 9102", "1/9");
        row("count before size, ID after them", "9505 7504 9102 8102 8501 9503 8102", "4/4");
        row("items of one ID add up", "8502 7508 9504 8102 8503 8102 8502 7504 9501 8102", "6/9");
        row("2- and 4-byte values", "7508 960001 8102 7501 9700000100 9102", "257/8193");
        row("size times count capped", "77ffffffff 97ffffffff 8102 9102", "131073/131073");
        row("long item skipped whole", "7508 9501 fe010095 8102", "2/9");
        row("item cut short ends the walk", "7508 9504 8102 8202", "5/9");
    }
    void lengthsFromDescriptor()
    {
        QFETCH(QString, descriptor);
        const auto found = reportLengthsFromDescriptor(QByteArray::fromHex(descriptor.toLatin1()));
        QTEST(QStringLiteral("%1/%2").arg(found.input).arg(found.output), "lengths");
    }

    // Devices (a node's descriptor after its serial) | hid_write's result | reads: the transport opens a KTRM (any
    // maker and serial, reports no longer than the buffers), writes, reads, drains. The buffers zeroed, hidapi's
    // calls, open's result, problem and lengths, the write's and read's results, InBuffer, the reports left.
    void sessionCallsHidapiSo_data()
    {
        QTest::addColumn<QString>("plugged");
        QTest::addColumn<QString>("calls");
        const QString none = QStringLiteral("0 1 0/0, 0, 0, eeeeeeeeeeeeeeeeee 1");
        const auto opened = [](const char *lengths, const char *output = "9 009100000000000000ee") {
            return QStringLiteral("open h3, nonblocking 1, 1 0 %1, write %2, ").arg(lengths, output);
        };
        row("another board", "h3 Marlow PNDX 1 | 9 | A", none);
        row("node gone", "gone Marlow KTRM 1 | 9 | A", "open gone, " + none);
        row("node not ours to open", "locked Marlow KTRM 1 | 9 | A", "open locked, 0 2" + none.mid(3));
        row("input report too long", "h3 Marlow KTRM 1 7508950a8102 | 9 | A", none);
        row("output report too long", "h3 Marlow KTRM 1 750895099102 | 9 | A", none);
        row("reports as long as the buffers", "h3 Someone KTRM 42 75089509810295089102 | 0 | ABCDEFGHI abc",
            opened("10/9") + "1, read 9 0, 1, read 9 0, 414243444546474849 0, close");
        row("a 2-byte input, a 1-byte output", "h3 Marlow KTRM 1 75089501810295009102 | 1 | A",
            opened("2/1", "1 00910000000000000000") + "1, read 1 0, 1, read 1 0, 41eeeeeeeeeeeeeeee 0, close");
        row("a short report ends the drain", "h3 Marlow KTRM 1 | -1 | ABCDEFGH abc IJKLMNOP",
            opened("9/9") + "0, read 8 0, 1, read 8 0, 4142434445464748ee 1, close");
        row("a flood is cut short", "h3 Marlow KTRM 1 | 9 | *",
            opened("9/9") + "1, read 8 0, 1, read 8 0 *4096, 5a5a5a5a5a5a5a5aee 1, close");
    }
    void sessionCallsHidapiSo()
    {
        QFETCH(QString, plugged);
        QFETCH(QString, calls);
        plug(plugged.section(QStringLiteral(" | "), 0, 0));
        fake.written = plugged.section(QStringLiteral(" | "), 1, 1).toInt();
        fake.reads = plugged.section(QStringLiteral(" | "), 2).toLatin1().split(' ');
        std::optional<HidApiBackend> hid(std::in_place, dir->filePath(QStringLiteral("sys")));
        USB::OutBuffer.fill(0xEE);
        USB::InBuffer.fill(0xEE);
        USB::UseBackend(&*hid);
        fake.calls << hex(USB::OutBuffer.data(), 9) + hex(USB::InBuffer.data(), 9);
        hid->SetInstance(1);
        const bool opened = USB::OpenDevice(QStringLiteral("KTRM"));
        fake.calls << QString::asprintf("%d %d %d/%d", opened, int(hid->LastOpenProblem()), USB::InputReportLength,
                                        USB::OutputReportLength);
        USB::OutBuffer.fill(0xEE);
        USB::SetCommand(0x91);
        fake.calls << QString::number(USB::WriteReport());
        USB::InBuffer.fill(0xEE);
        fake.calls << QString::number(USB::ReadReport());
        USB::Drain();
        fake.calls << hex(USB::InBuffer.data(), 9) + ' ' + QString::number(fake.reads.size());
        hid.reset();
        QCOMPARE(fake.calls.join(", "),
                 "init, 000000000000000000000000000000000000, enumerate c1ca:ffff, free, " + calls + ", exit");
    }

    // A line in the trace for each report written and each read whole, as soon as it has crossed; the transport
    // opens the first KTRM of any maker, closing the device open before; a trace not written is left out quietly.
    void traceLogsEachReportWithItsTimeAsItHappens()
    {
        plug(QStringLiteral("h3 Marlow PNDX 1; h4 Other KTRM 2; h5 Marlow KTRM 3"));
        QFile file(dir->filePath(QStringLiteral("link.trace")));
        HidApiBackend hid(dir->filePath(QStringLiteral("sys")));
        VirtualMisc clock;
        TracingHidApi trace(hid, clock, file.fileName());
        USB::UseBackend(&trace);
        QVERIFY(file.open(QIODevice::ReadOnly) && trace.Open(0xC1CA, 0xFFFF, "Marlow", "3", nullptr, -1) == 1);
        hid.SetInstance(1); // the transport, through the trace, asks for the first
        QVERIFY(USB::OpenDevice(QStringLiteral("KTRM")));
        clock.advance(1234);
        USB::SetCommand(0x91);
        USB::OutBuffer[2] = 0x01;
        USB::WriteReport();
        QCOMPARE(file.readAll(), QByteArray("1234 W 91 00 01 00 00 00 00 00\n"));
        fake.reads = {QByteArray::fromHex("02210000000000ab"), "short", "AB"};
        USB::Drain();
        QCOMPARE(file.readAll(), QByteArray("1234 R 02 21 00 00 00 00 00 AB\n"));
        std::array<std::uint8_t, ReportBufferSize> report;
        report.fill(0xEE);
        const int got = trace.Read(report);
        fake.calls << QString::number(got) + ' ' + hex(report.data(), 10);
        QCOMPARE(fake.calls.join(", "),
                 QStringLiteral("init, enumerate c1ca:ffff, free, open h5, nonblocking 1, enumerate "
                                "c1ca:ffff, free, close, open h4, nonblocking 1, write 9 "
                                "00910001000000000000, read 8 0 *3, 3 004142eeeeeeeeeeeeee"));
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
        for (const FlexGrid *grid : {&map, &brake})
            for (int cell = 0; cell < grid->Rows() * 17; ++cell)
                if (grid->cellBackColor(cell / 17, cell % 17) == GridYellow)
                    yellow << QStringLiteral("%1,%2").arg(cell / 17).arg(cell % 17);
        yellow << QStringLiteral("at %1,%2 %3").arg(map.Row()).arg(map.Col()).arg(brake.Col());
        QCOMPARE(yellow.join(' '), QStringLiteral("0,7 7,0 0,0 at 16,16 16"));
    }

    // Only Wait and DoEvents let events run, and neither wait returns early, not even by 1 ms.
    void realClockWaitsItsTime()
    {
        RealMisc clock;
        int ran = 0;
        QTimer::singleShot(0, [&] { ++ran; });
        clock.Sleep(1);
        const bool slept = ran == 0 && clock.Now() >= 1;
        clock.Wait(1);
        const bool waited = ran == 1 && clock.Now() >= 2;
        QTimer::singleShot(0, [&] { ++ran; });
        clock.DoEvents();
        QVERIFY(slept && waited && ran == 2);
    }
};

QTEST_GUILESS_MAIN(TestHidApiBackend)
#include "test_hidapibackend.moc"
