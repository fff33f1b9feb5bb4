// Plays the module on a real kernel HID stack: a uhid device with the module's
// identity and report layout, answered by the virtual module's own code. Runs
// inside the test VM, beside kernelhidcheck or marlow-vgt, until it is killed
// or the VM powers off.
//
//   uhidmodule [N]   N (default 0) tells several modules apart: the device's
//                    serial number reads "module N", and every map cell starts
//                    at 200 + N, a value no example calibration holds, so what a
//                    module returns shows whether anything was written to it.
#include "misc.h"
#include "simcalibration.h"
#include "virtualmodule.h"

#include <QCoreApplication>

#include <linux/uhid.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Vendor page, one application collection, 8-byte input and 8-byte output
// reports of 8-bit values from 0 to 255, no report ID.
constexpr std::uint8_t ModuleDescriptor[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,       // usage page, usage, collection
    0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,       // usage, logical minimum and maximum
    0x75, 0x08, 0x95, 0x08, 0x81, 0x02,             // report size 8, count 8, input
    0x09, 0x02, 0x75, 0x08, 0x95, 0x08, 0x91, 0x02, // usage, report size 8, count 8, output
    0xC0,                                           // end collection
};

int fail(const char *what)
{
    std::fprintf(stderr, "uhidmodule: %s: %s\n", what, std::strerror(errno));
    return 1;
}

bool send(int fd, const uhid_event &ev) { return ::write(fd, &ev, sizeof ev) == ssize_t(sizeof ev); }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int number = argc > 1 ? std::atoi(argv[1]) : 0;
    const QByteArray serial = "module " + QByteArray::number(number);

    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return fail("cannot open /dev/uhid");
    uhid_event create{};
    create.type = UHID_CREATE2;
    std::strcpy(reinterpret_cast<char *>(create.u.create2.name), "KTRM");
    create.u.create2.bus = 0x03; // BUS_USB
    create.u.create2.vendor = 0xC1CA;
    create.u.create2.product = 0xFFFF;
    std::copy_n(serial.constData(), serial.size(), create.u.create2.uniq);
    create.u.create2.rd_size = sizeof ModuleDescriptor;
    std::copy(std::begin(ModuleDescriptor), std::end(ModuleDescriptor), create.u.create2.rd_data);
    if (!send(fd, create))
        return fail("cannot create the device");

    RealMisc clock;
    VirtualModule module(clock, VirtualModule::Board::KTRM);
    HeldCalibration start = HeldCalibration::factory();
    start.map.fill(std::uint8_t(200 + number));
    module.calibration().setHeld(start);
    module.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1);
    std::fprintf(stderr, "uhidmodule %d: KTRM is up\n", number);

    // The virtual module only ever answers a report it received, so a blocking
    // read of the next uhid event is all the waiting there is.
    for (uhid_event ev{};; ev = {}) {
        if (::read(fd, &ev, sizeof ev) < 0) {
            if (errno == EINTR)
                continue;
            return fail("read from /dev/uhid failed");
        }
        if (ev.type != UHID_OUTPUT || ev.u.output.rtype != UHID_OUTPUT_REPORT)
            continue; // start, stop, open, close; nothing asks for feature reports
        // With no report IDs in the descriptor hidraw passes the tuner's report
        // ID 0 on in front of the payload.
        const std::uint8_t *data = ev.u.output.data;
        int size = ev.u.output.size;
        if (size == 9 && data[0] == 0) {
            ++data;
            --size;
        }
        if (size != 8) {
            std::fprintf(stderr, "uhidmodule: ignored an output report of %d bytes\n", int(ev.u.output.size));
            continue;
        }
        std::array<std::uint8_t, ReportBufferSize> report{};
        std::copy_n(data, 8, report.begin() + 1);
        module.Write(report);
        // Everything the virtual module queued goes up as input reports.
        while (module.Read(report) == 9) {
            uhid_event input{};
            input.type = UHID_INPUT2;
            input.u.input2.size = 8;
            std::copy_n(report.begin() + 1, 8, input.u.input2.data);
            if (!send(fd, input))
                return fail("write to /dev/uhid failed");
        }
        module.journal().clear(); // nobody reads it; it would only grow
    }
}
