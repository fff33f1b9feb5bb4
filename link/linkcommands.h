#pragma once
// The module's link commands: their codes and the board-version exchange.
#include <QString>
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
    bool answered = false; // a whole report came; the window shows the bytes either way
};

// Asks the module for its version. A lost reply gives whatever the last whole
// report held, and `answered` false.
BoardVersion RequestBoardVersion(Misc &misc);
// "Board Version 0221": each byte as two upper-case hex digits.
QString BoardVersionText(const BoardVersion &version);

// Fills OutBuffer with the command, sends it, waits the reply time and reads
// once. True when the read found a whole report; InBuffer is the caller's
// either way, as it stands.
bool Exchange(std::uint8_t command, Misc &misc);

// Opens the module as Connect does, the KTRM first and then the PNDX.
struct ModuleOpen {
    QString board;   // the board that answered; empty when none did
    QString problem; // then why, when the HID layer can tell
};
ModuleOpen OpenModule();
// What a command that needs the KTRM says when the other board answered.
QString KtrmNotFoundText();
