// Drives the real transport (NonBlockingUSB on the hidapi backend) against the
// uhid module inside the test VM and prints one verdict line that the test
// reads from the serial console. What it proves is what the virtual module
// cannot: report IDs, report lengths, non-blocking reads and name matching as
// hidapi and hidraw really do them, and whole calibration and firmware streams
// crossing the kernel's queues intact.
#include "calibrationtables.h"
#include "hidapibackend.h"
#include "linkcommands.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "programmingrun.h"
#include "transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <hidapi/hidapi.h>

#include <cstdio>
#include <functional>

namespace {

namespace USB = NonBlockingUSB;

int checks = 0;
int failures = 0;

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

// Asks for the board version the way the window does and takes the answer.
bool askVersion(RealMisc &clock)
{
    USB::SetCommand(LinkCommand::BoardVersion);
    const bool written = USB::WriteReport();
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
    for (int i = 0; i < 3; ++i) {
        USB::SetCommand(LinkCommand::BoardVersion);
        USB::WriteReport();
    }
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

// A calibration unlike the virtual module's own, with byte values from 0 to
// 255 spread over the map so that a shifted or dropped report shows.
void fillTestCalibration(CalibrationTables &t)
{
    SetUpGrids(t);
    for (int r = 1; r <= MapSize; ++r)
        for (int c = 1; c <= MapSize; ++c)
            t.map().setTextMatrix(r, c, QString::number(((r - 1) * 16 + (c - 1)) * 7 % 256));
    for (int c = 1; c <= MapSize; ++c)
        t.brake().setTextMatrix(0, c, QString::number(90 - c));
    const char *params[] = {"97", "33", "255", "1500", "260", "12", "7", "KERNEL RIG 9"}; // MaxPosition to BoardName
    for (int row = MaxPosition; row <= BoardName; ++row)
        t.params().setTextMatrix(row, 1, QString::fromLatin1(params[row]));
}

// Data cells of the two calibrations that differ, as "grid row,column: sent / received".
QStringList differences(CalibrationTables &sent, CalibrationTables &got)
{
    QStringList out;
    const struct {
        const char *name;
        const FlexGrid &a, &b;
    } grids[] = {{"map", sent.map(), got.map()},
                 {"brake", sent.brake(), got.brake()},
                 {"parameters", sent.params(), got.params()}};
    for (const auto &[name, a, b] : grids) {
        for (int r = a.FixedRows(); r < a.Rows(); ++r)
            for (int c = a.FixedCols(); c < a.Cols(); ++c)
                if (a.TextMatrix(r, c) != b.TextMatrix(r, c))
                    out << QStringLiteral("%1 %2,%3: %4 / %5")
                               .arg(name)
                               .arg(r)
                               .arg(c)
                               .arg(a.TextMatrix(r, c), b.TextMatrix(r, c));
    }
    return out;
}

void calibrationRoundTrip(RealMisc &clock)
{
    CalibrationTables sent, got, changed;
    fillTestCalibration(sent);
    const Transfer::SendResult sendResult = Transfer::Send(sent, clock);
    check(sendResult.complete(), QStringLiteral("send completes"), sendResult.message());

    SetUpGrids(got);
    const Transfer::ReceiveResult receiveResult = Transfer::Receive(got, clock);
    check(receiveResult.outcome == Transfer::ReceiveResult::Complete,
          QStringLiteral("receive reads every table report, the scaling and the name"),
          QStringLiteral("%1 table reports; %2").arg(receiveResult.tableReports).arg(receiveResult.message()));
    const QStringList wrong = differences(sent, got);
    check(wrong.isEmpty(), QStringLiteral("the calibration comes back as sent"),
          QStringLiteral("%1 fields differ, first %2").arg(wrong.size()).arg(wrong.mid(0, 4).join("; ")));

    check(Transfer::Verify(sent, clock), QStringLiteral("verify finds the module holding what was sent"));
    fillTestCalibration(changed);
    changed.map().setTextMatrix(16, 16, QStringLiteral("1"));
    check(!Transfer::Verify(changed, clock), QStringLiteral("verify notices one map cell the module does not hold"));
}

// What the firmware window would show, recorded.
class RecordingView final : public ProgrammingView {
public:
    QString fileName;
    QStringList messages;
    int maximum = 0, value = 0;
    QString imageFileName() override { return fileName; }
    AddressWindow addressWindow() override { return {}; }
    void showAddress(const QString &) override {}
    int progressMaximum() const override { return maximum; }
    void setProgressMaximum(int m) override { maximum = m; }
    int progressValue() const override { return value; }
    void setProgressValue(int v) override { value = v; }
    void message(const QString &text) override { messages << text; }
    QString linkRefusal() const override { return {}; }
    void holdLink(bool) override {}
};

// Two records of 32 bytes from 0x4000, the start of the application flash, as
// the firmware window programs them: start report, header and four data
// reports per record, each record answered, end report answered 55.
void programmingRun(RealMisc &clock)
{
    QTemporaryDir dir;
    RecordingView view;
    view.fileName = dir.filePath(QStringLiteral("image.s19"));
    QFile file(view.fileName);
    const bool written = dir.isValid() && file.open(QIODevice::WriteOnly) &&
                         file.write("S00600004844521B\r\n"
                                    "S12340004E53585D62676C71767B80858A8F94999EA3A8ADB2B7BCC1C6CBD0D5DADFE4E92C\r\n"
                                    "S1234020A0A1A2A3A4A5A6A7A8A9AAABACADAEAFB0B1B2B3B4B5B6B7B8B9BABBBCBDBEBF8C\r\n"
                                    "S9030000FC\r\n") > 0;
    file.close();
    if (written)
        ProgrammingRun(clock).program(view);
    check(view.messages == QStringList{QStringLiteral("Done!!!")},
          QStringLiteral("programming: every record answered, the end answered 55, \"Done!!!\""),
          QStringLiteral("image written %1, messages: %2").arg(written).arg(view.messages.join(" | ")));
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
        calibrationRoundTrip(clock);
        programmingRun(clock);
        nameMatching(clock);
    }

    if (failures == 0)
        std::printf("KERNEL HID CHECK: PASS (%d checks)\n", checks);
    else
        std::printf("KERNEL HID CHECK: FAIL (%d of %d checks failed)\n", failures, checks);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
