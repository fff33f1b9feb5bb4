#pragma once
// The module's link commands: their codes and the board-version exchange.
#include <cstdint>

class Misc;

namespace LinkCommand {
inline constexpr std::uint8_t BoardVersion = 0x72;
inline constexpr std::uint8_t RequestInputs = 0x80;
inline constexpr std::uint8_t TestTurbo = 0x92;
inline constexpr std::uint8_t OperatingPoint = 0xA0;
// Every request with an answer waits this long between its report and the read.
inline constexpr int ReplyWaitMs = 50;
} // namespace LinkCommand

struct BoardVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
};

// Asks the module for its version. The read is not checked: a lost reply
// gives whatever the last whole report held.
BoardVersion RequestBoardVersion(Misc &misc);

// Fills OutBuffer with the command, sends it, waits the reply time and reads
// once. Neither result is looked at: every caller takes InBuffer as it stands.
void Exchange(std::uint8_t command, Misc &misc);
