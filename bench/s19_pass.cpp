// A programming run with every wait taken out: the S-record reader's
// validation pass, the rewind and the sending pass, each record's header and
// four data reports built and handed to the transport, one reply read per
// record. The HID layer is a sink that takes every report and answers every
// read as a bootloader that accepts the image. marlow-bench times this program
// from outside, against srec_cat reading the same file, both as processes.
//
// usage: s19-pass FILE [FLASH_END_HEX]   (flash end defaults to FFFFFF)
#include "misc.h"
#include "nonblockingusb.h"
#include "programmingrun.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

class NoWaits final : public Misc {
public:
    qint64 Now() const override { return 0; }
    void Sleep(int) override {}
    void Wait(int) override {}
    void DoEvents() override {}
};

class Sink final : public UsbHidApi {
public:
    int writes = 0;
    void SetInstance(int) override {}
    int Open(int, int, const char *, const char *, const char *, int) override { return 1; }
    void GetReportLengths(int *in, int *out) override { *in = *out = 9; }
    int Write(ConstReportBuffer) override
    {
        ++writes;
        return 9;
    }
    int Read(ReportBuffer report) override
    {
        report[0] = 0;
        report[1] = 0x55; // taken, and at the end: image accepted
        return 9;
    }
};

class View final : public ProgrammingView {
public:
    QString file;
    AddressWindow window;
    QStringList messages;
    int maximum = 100, value = 0;
    QString address;

    QString imageFileName() override { return file; }
    AddressWindow addressWindow() override { return window; }
    void showAddress(const QString &text) override { address = text; }
    int progressMaximum() const override { return maximum; }
    void setProgressMaximum(int m) override { maximum = m; }
    int progressValue() const override { return value; }
    void setProgressValue(int v) override { value = v; }
    void message(const QString &text) override { messages << text; }
    QString linkRefusal() const override { return {}; }
    void holdLink(bool) override {}
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: s19-pass FILE [FLASH_END_HEX]\n");
        return 2;
    }
    View view;
    view.file = args[1];
    view.window.flashEnd = ReadHexField(args.size() == 3 ? args[2] : QStringLiteral("FFFFFF"));
    Sink sink;
    NonBlockingUSB::UseBackend(&sink);
    NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));
    NoWaits misc;
    ProgrammingRun run(misc);
    run.program(view);
    // Start report, five reports a record, end report.
    std::printf("%d reports written; %s\n", sink.writes, qPrintable(view.messages.join(QStringLiteral(" / "))));
    return view.messages == QStringList{QStringLiteral("Done!!!")} ? 0 : 1;
}
