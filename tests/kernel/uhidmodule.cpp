// Plays the module on a real kernel HID stack: a uhid device with the module's
// identity and report layout, answered by the virtual module's own code. Runs
// inside the test VM, beside kernelhidcheck, and lives until the VM powers off.
#include "misc.h"
#include "virtualmodule.h"

#include <QCoreApplication>

#include <linux/uhid.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

namespace {

// Vendor page, one collection, 8-byte input and 8-byte output reports, no report ID.
constexpr std::uint8_t ModuleDescriptor[] = {
    0x06, 0x00, 0xFF, // Usage Page (vendor defined)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (application)
    0x09, 0x01,       //   Usage (1)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x08,       //   Report Count (8)
    0x81, 0x02,       //   Input (data, variable, absolute)
    0x09, 0x02,       //   Usage (2)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x08,       //   Report Count (8)
    0x91, 0x02,       //   Output (data, variable, absolute)
    0xC0,             // End Collection
};

void say(const char *text) { std::fprintf(stderr, "uhidmodule: %s\n", text); }

bool send(int fd, const uhid_event &ev)
{
    const ssize_t n = ::write(fd, &ev, sizeof ev);
    if (n != ssize_t(sizeof ev)) {
        std::fprintf(stderr, "uhidmodule: write to /dev/uhid failed: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

bool create(int fd)
{
    uhid_event ev{};
    ev.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char *>(ev.u.create2.name), sizeof ev.u.create2.name, "KTRM");
    ev.u.create2.bus = 0x03; // BUS_USB
    ev.u.create2.vendor = 0xC1CA;
    ev.u.create2.product = 0xFFFF;
    ev.u.create2.rd_size = sizeof ModuleDescriptor;
    std::copy(std::begin(ModuleDescriptor), std::end(ModuleDescriptor), ev.u.create2.rd_data);
    return send(fd, ev);
}

// Everything the virtual module has queued goes up as input reports.
bool pushReplies(int fd, VirtualModule &module)
{
    std::array<std::uint8_t, ReportBufferSize> report{};
    while (module.Read(report) == 9) {
        uhid_event ev{};
        ev.type = UHID_INPUT2;
        ev.u.input2.size = 8;
        std::copy_n(report.begin() + 1, 8, ev.u.input2.data);
        if (!send(fd, ev))
            return false;
    }
    // Reads that found nothing are journalled too; nobody looks at this journal.
    module.journal().clear();
    return true;
}

void refuse(int fd, const uhid_event &request)
{
    uhid_event ev{};
    if (request.type == UHID_GET_REPORT) {
        ev.type = UHID_GET_REPORT_REPLY;
        ev.u.get_report_reply.id = request.u.get_report.id;
        ev.u.get_report_reply.err = EIO;
    } else {
        ev.type = UHID_SET_REPORT_REPLY;
        ev.u.set_report_reply.id = request.u.set_report.id;
        ev.u.set_report_reply.err = EIO;
    }
    send(fd, ev);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    // uhid keeps only a short queue of output reports and drops what does not
    // fit; a real USB device instead holds the host's write until it took the
    // report. Running ahead of the tuner in the scheduler gives the same effect:
    // each report is taken before the tuner's next write returns.
    sched_param priority{};
    priority.sched_priority = 50;
    if (sched_setscheduler(0, SCHED_FIFO, &priority) != 0)
        say("could not get real-time priority; a fast writer may overrun the uhid queue");

    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "uhidmodule: cannot open /dev/uhid: %s\n", std::strerror(errno));
        return 1;
    }
    if (!create(fd))
        return 1;

    RealMisc clock;
    VirtualModule module(clock, VirtualModule::Board::KTRM);
    if (module.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1) != 1) {
        say("the virtual module refused to open");
        return 1;
    }
    say("KTRM is up");

    for (;;) {
        pollfd p{fd, POLLIN, 0};
        // Wake now and then even when idle, for anything the module queues on its own.
        const int ready = ::poll(&p, 1, 20);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "uhidmodule: poll failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (ready > 0) {
            uhid_event ev{};
            const ssize_t n = ::read(fd, &ev, sizeof ev);
            if (n < 0 && errno != EINTR && errno != EAGAIN) {
                std::fprintf(stderr, "uhidmodule: read from /dev/uhid failed: %s\n", std::strerror(errno));
                return 1;
            }
            if (n > 0) {
                switch (ev.type) {
                case UHID_OUTPUT:
                    if (ev.u.output.rtype == UHID_OUTPUT_REPORT) {
                        // With no report IDs in the descriptor hidraw passes the
                        // tuner's report ID 0 on in front of the payload.
                        const std::uint8_t *data = ev.u.output.data;
                        int size = ev.u.output.size;
                        if (size == 9 && data[0] == 0) {
                            ++data;
                            --size;
                        }
                        if (size != 8) {
                            std::fprintf(stderr, "uhidmodule: ignored an output report of %d bytes\n",
                                         int(ev.u.output.size));
                            break;
                        }
                        std::array<std::uint8_t, ReportBufferSize> report{};
                        std::copy_n(data, 8, report.begin() + 1);
                        module.Write(report);
                    }
                    break;
                case UHID_GET_REPORT:
                case UHID_SET_REPORT: refuse(fd, ev); break;
                default: break; // start, stop, open, close
                }
            }
        }
        if (!pushReplies(fd, module))
            return 1;
    }
}
