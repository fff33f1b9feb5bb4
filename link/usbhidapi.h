#pragma once
// The HID access layer the transport talks to. One real backend (hidapi) and
// one virtual module implement it; the transport never knows which.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Every report buffer handed across this layer is this long: report ID at
// index 0, then room for the longest report the transport accepts.
inline constexpr int ReportBufferSize = 10;
using ReportBuffer = std::span<std::uint8_t, ReportBufferSize>;
using ConstReportBuffer = std::span<const std::uint8_t, ReportBufferSize>;

class UsbHidApi {
public:
    // Why the last Open found no device, so a person can be told what to do:
    // none of ours is plugged in, or one is there that this user may not open.
    enum class OpenProblem { None, NoDevice, NotPermitted };

    virtual ~UsbHidApi() = default;
    // Picks which of several matching devices the next Open takes; 0 is the first.
    virtual void SetInstance(int instance) = 0;
    // Opens the device matching vendor, product and device name. Manufacturer and
    // serial may be null, meaning "any". Returns 1 when a device is open, anything
    // else when none is. May be called while a device is already open.
    virtual int Open(int vendorId, int productId, const char *manufacturer, const char *serial, const char *deviceName,
                     int getReportLengths) = 0;
    // Report lengths of the open device, report ID byte included.
    virtual void GetReportLengths(int *inputLength, int *outputLength) = 0;
    // Sends one output report whose byte 0 is the report ID; returns bytes written.
    virtual int Write(ConstReportBuffer report) = 0;
    // Stores one queued input report, report ID first, and returns its length.
    // Never blocks: returns 0 when nothing is queued.
    virtual int Read(ReportBuffer report) = 0;
    virtual OpenProblem LastOpenProblem() const { return OpenProblem::NoDevice; }

    // One device present with the vendor and product numbers asked for.
    struct DeviceInfo {
        std::string product; // the device name Open matches, the board name on ours
        std::string path;
        bool mayOpen = true; // false when this user lacks the permission to open it
    };
    // Every such device, in the order Open counts instances. A layer that
    // cannot look knows of none.
    virtual std::vector<DeviceInfo> Enumerate(int /*vendorId*/, int /*productId*/) { return {}; }
};
