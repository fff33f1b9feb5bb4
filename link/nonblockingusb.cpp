#include "nonblockingusb.h"

#include <algorithm>

namespace NonBlockingUSB {

namespace {
UsbHidApi *backend = nullptr;
// The most reads a drain makes: a module that floods replies faster than we
// read them must not hold the tuner in the drain for ever.
constexpr int MaxDrainReads = 4096;
} // namespace

void UseBackend(UsbHidApi *api)
{
    backend = api;
    Connected = false;
    VendorId = ProductId = InputReportLength = OutputReportLength = 0;
    OutBuffer.fill(0);
    InBuffer.fill(0);
}

UsbHidApi *Backend() { return backend; }

bool OpenDevice(const QString &boardName)
{
    if (!backend)
        return false;
    backend->SetInstance(0);
    VendorId = ModuleVendorId;
    ProductId = ModuleProductId;
    const QByteArray name = boardName.toLatin1();
    if (backend->Open(VendorId, ProductId, nullptr, nullptr, name.constData(), -1) != 1)
        return false;
    backend->GetReportLengths(&InputReportLength, &OutputReportLength);
    return true;
}

bool WriteReport()
{
    if (!backend)
        return false;
    std::array<std::uint8_t, ReportBufferSize> report{};
    // Never copy past either buffer, whatever lengths a device claimed.
    const int n = std::min(OutputReportLength, int(OutBuffer.size()));
    std::copy_n(OutBuffer.begin(), n, report.begin() + 1); // behind the report ID byte
    return backend->Write(report) == OutputReportLength;
}

bool ReadReport()
{
    if (!backend)
        return false;
    std::array<std::uint8_t, ReportBufferSize> report{};
    const int count = backend->Read(report);
    // Before any device opened the length is 0: an empty read is no report.
    if (count != InputReportLength || count < 1)
        return false;
    const int n = std::min(InputReportLength - 1, int(InBuffer.size()));
    std::copy_n(report.begin() + 1, n, InBuffer.begin()); // the report ID byte dropped
    return true;
}

void SetCommand(std::uint8_t code)
{
    std::fill(OutBuffer.begin(), OutBuffer.begin() + 8, std::uint8_t(0));
    OutBuffer[0] = code;
}

// Reads until a read is not a whole report: the queue is empty, or what came
// was cut short. Only a module that floods whole reports faster than we read
// them is stopped by the bound.
void Drain()
{
    for (int i = 0; i < MaxDrainReads && ReadReport(); ++i) {
    }
}

} // namespace NonBlockingUSB
