#include "nonblockingusb.h"

#include <algorithm>

namespace NonBlockingUSB {

namespace {
UsbHidApi *backend = nullptr;
// The most reads a drain makes: a module that floods replies faster than we
// read them must not hold the tuner in the drain for ever.
constexpr int MaxDrainReads = 4096;
}

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
    VendorId = 49610;
    ProductId = 65535;
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
    const int n = std::clamp(OutputReportLength, 0, int(OutBuffer.size()));
    for (int i = 1; i <= n; ++i)
        report[i] = OutBuffer[i - 1];
    return backend->Write(report) == OutputReportLength;
}

namespace {
// One report off the queue: a whole one lands in InBuffer, report ID dropped.
// Returns the backend's count.
int readOne(bool &whole)
{
    std::array<std::uint8_t, ReportBufferSize> report{};
    const int count = backend->Read(report);
    whole = count == InputReportLength && count >= 1;
    if (whole) {
        const int n = std::min(InputReportLength - 1, int(InBuffer.size()));
        for (int i = 1; i <= n; ++i)
            InBuffer[i - 1] = report[i];
    }
    return count;
}
} // namespace

bool ReadReport()
{
    if (!backend)
        return false;
    bool whole = false;
    readOne(whole);
    return whole;
}

void SetCommand(std::uint8_t code)
{
    std::fill(OutBuffer.begin(), OutBuffer.begin() + 8, std::uint8_t(0));
    OutBuffer[0] = code;
}

// A report cut short is queued all the same: a drain that stopped at it would
// leave the reports behind it to be taken for the answer to the next command.
void Drain()
{
    if (!backend)
        return;
    bool whole = false;
    for (int i = 0; i < MaxDrainReads && readOne(whole) > 0; ++i) {
    }
}

} // namespace NonBlockingUSB
