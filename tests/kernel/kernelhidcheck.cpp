// Drives the real transport (NonBlockingUSB on the hidapi backend) against the
// uhid module inside the test VM and prints one verdict line that the test
// reads from the serial console. What it proves is what the virtual module
// cannot: report IDs, report lengths, non-blocking reads and name matching as
// hidapi and hidraw really do them.
#include "calibrationtables.h"
#include "hidapibackend.h"
#include "messageset.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "programmingrun.h"
#include "transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <hidapi/hidapi.h>

#include <cstdio>

namespace {

namespace USB = NonBlockingUSB;

int checks = 0;
int failures = 0;

void check(bool ok, const QString &what, const QString &detail = {})
{
    ++checks;
    if (!ok)
        ++failures;
    // The detail says what was found instead, so it only matters on a failure.
    const QString line =
        ok ? QStringLiteral("ok   ") + what
           : QStringLiteral("FAIL %1%2").arg(what, detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    std::printf("kernelhidcheck: %s\n", qPrintable(line));
    std::fflush(stdout);
}

void note(const QString &text)
{
    std::printf("kernelhidcheck: %s\n", qPrintable(text));
    std::fflush(stdout);
}

QString hex(const std::uint8_t *bytes, std::size_t n)
{
    QStringList parts;
    for (std::size_t i = 0; i < n; ++i)
        parts << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(' '));
}

QString inBuffer() { return hex(USB::InBuffer.data(), 8); }

void listModuleDevices()
{
    hid_device_info *list = hid_enumerate(0xC1CA, 0xFFFF);
    for (auto *d = list; d; d = d->next)
        note(QStringLiteral("found %1, product \"%2\"")
                 .arg(QString::fromLocal8Bit(d->path),
                      d->product_string ? QString::fromWCharArray(d->product_string) : QString()));
    if (!list)
        note(QStringLiteral("hid_enumerate finds no device c1ca:ffff"));
    hid_free_enumeration(list);
}

void writeCommand(std::uint8_t code)
{
    USB::SetCommand(code);
    USB::WriteReport();
}

// The protocol's fixed wait is long enough on hardware; an emulated machine
// may be slower, so a reply that is late is waited for a while and noted
// rather than failed: timing is not what this test is about.
bool readReply(const QString &what)
{
    if (USB::ReadReport())
        return true;
    QElapsedTimer late;
    late.start();
    RealMisc clock;
    while (late.elapsed() < 2000) {
        clock.Sleep(5);
        if (USB::ReadReport()) {
            note(QStringLiteral("the reply to %1 came %2 ms after the protocol's wait").arg(what).arg(late.elapsed()));
            return true;
        }
    }
    return false;
}

bool openKtrm()
{
    // The hidraw node can appear a moment before the device is fully described in sysfs.
    QElapsedTimer waited;
    waited.start();
    RealMisc clock;
    while (!USB::OpenDevice(QStringLiteral("KTRM"))) {
        if (waited.elapsed() > 5000)
            return false;
        clock.Sleep(100);
    }
    return true;
}

void linkBasics(RealMisc &clock)
{
    const bool open = openKtrm();
    USB::Connected = open;
    check(open, QStringLiteral("opens \"KTRM\" by name"));
    if (!open) {
        listModuleDevices();
        return;
    }
    check(USB::InputReportLength == 9 && USB::OutputReportLength == 9, QStringLiteral("report lengths are 9 and 9"),
          QStringLiteral("input %1, output %2").arg(USB::InputReportLength).arg(USB::OutputReportLength));

    QElapsedTimer timer;
    timer.start();
    const bool readSomething = USB::ReadReport();
    const qint64 emptyReadMs = timer.elapsed();
    check(!readSomething && emptyReadMs < 200, QStringLiteral("a read with nothing queued returns false at once"),
          QStringLiteral("returned %1 after %2 ms").arg(readSomething).arg(emptyReadMs));

    // Three questions, three answers queued: one read, then the drain must take the other two.
    for (int i = 0; i < 3; ++i)
        writeCommand(0x72);
    clock.Sleep(50);
    const bool first = readReply(QStringLiteral("the first of three board-version requests"));
    USB::Drain();
    const bool left = USB::ReadReport();
    check(first && !left, QStringLiteral("drain empties the queue"),
          QStringLiteral("first reply %1, a report left after the drain %2").arg(first).arg(left));

    USB::InBuffer.fill(0);
    USB::InBuffer[8] = 0x5A;
    USB::SetCommand(0x72);
    const bool written = USB::WriteReport();
    clock.Sleep(50);
    const bool read = readReply(QStringLiteral("board version"));
    check(written && read, QStringLiteral("board version: report written and answer read whole"),
          QStringLiteral("written %1, read %2").arg(written).arg(read));
    check(USB::InBuffer[0] == 0x02 && USB::InBuffer[1] == 0x21, QStringLiteral("board version reads 02 21"),
          QStringLiteral("answer %1").arg(inBuffer()));
    check(USB::InBuffer[8] == 0x5A, QStringLiteral("a 9-byte report fills payload bytes 0 to 7 only"));
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
    const std::pair<ParamRow, const char *> params[] = {
        {MaxPosition, "97"},   {MaxAdjust, "33"}, {MaxBoost, "255"},    {RpmStart, "1500"},
        {RpmIncrement, "260"}, {LoadStart, "12"}, {LoadIncrement, "7"}, {BoardName, "KERNEL RIG 9"},
    };
    for (const auto &[row, text] : params)
        t.params().setTextMatrix(row, 1, QString::fromLatin1(text));
}

// Cells of the two calibrations that differ, as "where: sent / received".
QStringList differences(const CalibrationTables &sent, const CalibrationTables &got)
{
    QStringList out;
    for (int r = 1; r <= MapSize; ++r)
        for (int c = 1; c <= MapSize; ++c)
            if (sent.map().TextMatrix(r, c) != got.map().TextMatrix(r, c))
                out << QStringLiteral("map %1,%2: %3 / %4")
                           .arg(r)
                           .arg(c)
                           .arg(sent.map().TextMatrix(r, c), got.map().TextMatrix(r, c));
    for (int c = 1; c <= MapSize; ++c)
        if (sent.brake().TextMatrix(0, c) != got.brake().TextMatrix(0, c))
            out << QStringLiteral("brake %1: %2 / %3")
                       .arg(c)
                       .arg(sent.brake().TextMatrix(0, c), got.brake().TextMatrix(0, c));
    for (int row = MaxPosition; row <= BoardName; ++row)
        if (sent.params().TextMatrix(row, 1) != got.params().TextMatrix(row, 1))
            out << QStringLiteral("%1: %2 / %3")
                       .arg(parameterLabel(ParamRow(row)), sent.params().TextMatrix(row, 1),
                            got.params().TextMatrix(row, 1));
    return out;
}

void calibrationRoundTrip(RealMisc &clock)
{
    CalibrationTables sent;
    fillTestCalibration(sent);
    const Transfer::SendResult sendResult = Transfer::Send(sent, clock);
    check(sendResult.complete(), QStringLiteral("send completes"), sendResult.message());

    CalibrationTables got;
    SetUpGrids(got);
    const Transfer::ReceiveResult receiveResult = Transfer::Receive(got, clock);
    check(receiveResult.outcome == Transfer::ReceiveResult::Complete,
          QStringLiteral("receive reads all %1 table reports, the scaling and the name").arg(MessageSet::TablesReports),
          QStringLiteral("%1 table reports; %2").arg(receiveResult.tableReports).arg(receiveResult.message()));
    const QStringList wrong = differences(sent, got);
    check(
        wrong.isEmpty(), QStringLiteral("the calibration comes back as sent"),
        QStringLiteral("%1 fields differ, first %2").arg(wrong.size()).arg(wrong.mid(0, 4).join(QStringLiteral("; "))));

    check(Transfer::Verify(sent, clock), QStringLiteral("verify finds the module holding what was sent"));
    CalibrationTables changed;
    fillTestCalibration(changed);
    changed.map().setTextMatrix(16, 16, QStringLiteral("1"));
    check(!Transfer::Verify(changed, clock), QStringLiteral("verify notices one map cell the module does not hold"));
}

// One S1 line: count, 16-bit address, data, checksum.
QByteArray s1Line(quint16 address, const QByteArray &data)
{
    QByteArray body;
    body.append(char(data.size() + 3));
    body.append(char(address >> 8));
    body.append(char(address & 0xFF));
    body.append(data);
    int sum = 0;
    for (char b : body)
        sum += std::uint8_t(b);
    body.append(char(0xFF - (sum & 0xFF)));
    return "S1" + body.toHex().toUpper() + "\r\n";
}

// What the firmware window would show, recorded.
class RecordingView final : public ProgrammingView {
public:
    explicit RecordingView(QString fileName) : m_fileName(std::move(fileName)) {}
    QStringList messages;
    QString imageFileName() override { return m_fileName; }
    AddressWindow addressWindow() override { return {}; }
    void showAddress(const QString &) override {}
    int progressMaximum() const override { return m_maximum; }
    void setProgressMaximum(int maximum) override { m_maximum = maximum; }
    int progressValue() const override { return m_value; }
    void setProgressValue(int value) override { m_value = value; }
    void message(const QString &text) override { messages << text; }
    QString linkRefusal() const override { return {}; }
    void holdLink(bool) override {}

private:
    QString m_fileName;
    int m_maximum = 0;
    int m_value = 0;
};

// Two records of 32 bytes from 0x4000, the start of the application flash, as
// the firmware window programs them: start report, header and four data
// reports per record, each record answered, end report answered 55.
void programmingRun(RealMisc &clock)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("image.s19"));
    QFile file(fileName);
    QByteArray first, second;
    for (int i = 0; i < 32; ++i) {
        first.append(char(0x4E + i * 5));
        second.append(char(0xA0 ^ i));
    }
    const bool written =
        dir.isValid() && file.open(QIODevice::WriteOnly) &&
        file.write("S00600004844521B\r\n" + s1Line(0x4000, first) + s1Line(0x4020, second) + "S9030000FC\r\n") > 0;
    file.close();
    check(written, QStringLiteral("programming: image file written"), fileName);
    if (!written)
        return;

    RecordingView view(fileName);
    ProgrammingRun run(clock);
    run.program(view);
    check(view.messages == QStringList{QStringLiteral("Done!!!")},
          QStringLiteral("programming: every record answered, the end answered 55, \"Done!!!\""),
          QStringLiteral("messages: %1").arg(view.messages.join(QStringLiteral(" | "))));
}

void nameMatching(RealMisc &clock)
{
    const bool pndx = USB::OpenDevice(QStringLiteral("PNDX"));
    check(!pndx, QStringLiteral("\"PNDX\" does not open while only \"KTRM\" exists"));
    check(USB::InputReportLength == 9 && USB::OutputReportLength == 9,
          QStringLiteral("a failed open keeps the report lengths"));
    // Opening again while open is what a second connect does.
    const bool again = USB::OpenDevice(QStringLiteral("KTRM"));
    USB::SetCommand(0x72);
    USB::WriteReport();
    clock.Sleep(50);
    const bool answered = readReply(QStringLiteral("board version after opening again"));
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
