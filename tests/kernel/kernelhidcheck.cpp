// Drives the real transport (NonBlockingUSB on the hidapi backend) against the
// uhid module inside the test VM and prints one verdict line that the test
// reads from the serial console. What it proves is what the virtual module
// cannot: report IDs, report lengths, non-blocking reads and name matching as
// hidapi and hidraw really do them, and a calibration read and a programming
// run crossing the kernel's queues in both directions.
#include "calibrationtables.h"
#include "hidapibackend.h"
#include "linkcommands.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "programmingrun.h"
#include "transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <hidapi/hidapi.h>

#include <cstdio>
#include <functional>

namespace {

namespace USB = NonBlockingUSB;

int checks = 0, failures = 0;

void say(const QString &text)
{
    std::printf("kernelhidcheck: %s\n", qPrintable(text));
    std::fflush(stdout);
}

// The detail says what was found instead, so it only shows on a failure.
void check(bool ok, const QString &what, const QString &detail = {})
{
    ++checks;
    failures += ok ? 0 : 1;
    say(ok ? "ok   " + what : "FAIL " + what + (detail.isEmpty() ? QString() : ": " + detail));
}

QString inBuffer() { return QByteArray(reinterpret_cast<const char *>(USB::InBuffer.data()), 9).toHex(' '); }

// The protocol's fixed waits are long enough on hardware; an emulated machine
// may be slower, so what is late is waited for a while: timing is not what
// this test is about.
bool within(int ms, const std::function<bool()> &done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > ms)
            return false;
        RealMisc().Sleep(5);
    }
    return true;
}

bool readReply() { return within(2000, USB::ReadReport); }

// Writes one report of eight payload bytes given in hex.
bool send(const char *hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    std::copy(bytes.begin(), bytes.end(), USB::OutBuffer.begin());
    return USB::WriteReport();
}

// Asks for the board version the way the window does and takes the answer.
bool askVersion(RealMisc &clock)
{
    const bool written = send("7200000000000000");
    clock.Sleep(LinkCommand::ReplyWaitMs);
    return written && readReply();
}

void linkBasics(RealMisc &clock)
{
    // The hidraw node can appear a moment before the device is fully described in sysfs.
    USB::Connected = within(5000, [] { return USB::OpenDevice(QStringLiteral("KTRM")); });
    check(USB::Connected, QStringLiteral("opens \"KTRM\" by name"));
    if (!USB::Connected) {
        hid_device_info *list = hid_enumerate(0xC1CA, 0xFFFF);
        for (auto *d = list; d; d = d->next)
            say(QStringLiteral("found %1, product \"%2\"")
                    .arg(QString::fromLocal8Bit(d->path),
                         d->product_string ? QString::fromWCharArray(d->product_string) : QString()));
        hid_free_enumeration(list);
        return;
    }
    check(USB::InputReportLength == 9 && USB::OutputReportLength == 9, QStringLiteral("report lengths are 9 and 9"),
          QStringLiteral("input %1, output %2").arg(USB::InputReportLength).arg(USB::OutputReportLength));

    QElapsedTimer timer;
    timer.start();
    const bool readSomething = USB::ReadReport();
    check(!readSomething && timer.elapsed() < 200, QStringLiteral("a read with nothing queued returns false at once"),
          QStringLiteral("returned %1 after %2 ms").arg(readSomething).arg(timer.elapsed()));

    // Three questions, three answers queued: one read, then the drain must take the other two.
    for (int i = 0; i < 3; ++i)
        send("7200000000000000");
    clock.Sleep(LinkCommand::ReplyWaitMs);
    const bool first = readReply();
    USB::Drain();
    const bool left = USB::ReadReport();
    check(first && !left, QStringLiteral("drain empties the queue"),
          QStringLiteral("first reply %1, a report left after the drain %2").arg(first).arg(left));

    USB::InBuffer.fill(0);
    USB::InBuffer[8] = 0x5A;
    const bool answered = askVersion(clock);
    check(answered && inBuffer() == QLatin1String("02 21 00 00 00 00 00 00 5a"),
          QStringLiteral("board version answers 02 21 in a 9-byte report that fills payload bytes 0 to 7 only"),
          QStringLiteral("answered %1, payload %2").arg(answered).arg(inBuffer()));
}

// The module's calibration: one command answered by a stream of table reports,
// then the scaling and the name.
void calibrationRead(RealMisc &clock)
{
    CalibrationTables tables;
    SetUpGrids(tables);
    const Transfer::ReceiveResult received = Transfer::Receive(tables, clock);
    check(received.outcome == Transfer::ReceiveResult::Complete,
          QStringLiteral("receive reads every table report, the scaling and the name"),
          QStringLiteral("%1 table reports; %2").arg(received.tableReports).arg(received.message()));
}

// One record of 32 bytes at 0x4000, the start of the application flash, as a
// programming run sends it: start report, header and four data reports, the
// record answered, then the end report answered 55.
void programmingRun(RealMisc &clock)
{
    bool written = send("2727272727272727");
    clock.Sleep(ProgrammingRun::StartWaitMs);
    for (const char *report :
         {"0000400020000000", "4E53585D62676C71", "767B80858A8F9499", "9EA3A8ADB2B7BCC1", "C6CBD0D5DADFE4E9"})
        written = send(report) && written;
    clock.Sleep(ProgrammingRun::ReplySleepMs);
    const bool taken = readReply() && USB::InBuffer[0] != 0xFF;
    written = send("FFFFFFFF00000000") && written;
    clock.Sleep(ProgrammingRun::EndSleepMs);
    const bool done = readReply() && USB::InBuffer[0] == 0x55;
    check(written && taken && done, QStringLiteral("programming: the record answered, the end answered 55"),
          QStringLiteral("written %1, record taken %2, last reply %3").arg(written).arg(taken).arg(inBuffer()));
}

void nameMatching(RealMisc &clock)
{
    check(!USB::OpenDevice(QStringLiteral("PNDX")),
          QStringLiteral("\"PNDX\" does not open while only \"KTRM\" exists"));
    check(USB::InputReportLength == 9 && USB::OutputReportLength == 9,
          QStringLiteral("a failed open keeps the report lengths"));
    // Opening again while open is what a second connect does.
    const bool again = USB::OpenDevice(QStringLiteral("KTRM"));
    const bool answered = askVersion(clock);
    check(again && answered && USB::InBuffer[0] == 0x02 && USB::InBuffer[1] == 0x21,
          QStringLiteral("\"KTRM\" opens again and answers"),
          QStringLiteral("opened %1, answered %2, reply %3").arg(again).arg(answered).arg(inBuffer()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    HidApiBackend hid;
    USB::UseBackend(&hid);
    RealMisc clock;

    linkBasics(clock);
    if (USB::InputReportLength == 9) {
        calibrationRead(clock);
        programmingRun(clock);
        nameMatching(clock);
    }

    std::printf("KERNEL HID CHECK: %s (%d of %d checks failed)\n", failures ? "FAIL" : "PASS", failures, checks);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
