#pragma once
// The transport: the one place where the tuner touches USB. Its state is
// module-wide on purpose: there is one module link per process, shared by
// every command, exactly as the module's protocol has it.
#include "usbhidapi.h"

#include <QString>
#include <array>
#include <cstdint>

namespace NonBlockingUSB {

// The numbers every module answers to on USB, whichever board it is.
inline constexpr qint32 ModuleVendorId = 0xC1CA;
inline constexpr qint32 ModuleProductId = 0xFFFF;

inline bool Connected = false;
inline qint32 VendorId = 0;
inline qint32 ProductId = 0;
inline qint32 InputReportLength = 0;
inline qint32 OutputReportLength = 0;
inline std::array<std::uint8_t, 9> OutBuffer{};
inline std::array<std::uint8_t, 9> InBuffer{};

// Chooses the HID layer once at start-up (tests choose per test case) and
// returns the link to its state at start: closed, lengths 0, buffers zeroed.
void UseBackend(UsbHidApi *api);
UsbHidApi *Backend();

bool OpenDevice(const QString &boardName);
bool WriteReport();
bool ReadReport();

// Fills OutBuffer bytes 0 to 7 with a command code and zeros.
void SetCommand(std::uint8_t code);
// Discards queued input reports up to the first read that is not a whole
// report; a report cut short ends it, and what queued behind it stays.
void Drain();

} // namespace NonBlockingUSB
