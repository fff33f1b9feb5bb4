#pragma once
// The calibration message set: the commands that carry a calibration to and
// from the module, the layout of its two blocks and how each field is encoded.
// The module knows a field only by its position in the stream, so these are
// the one place the positions and widths are written down.
#include <array>
#include <cstdint>
#include <optional>

namespace MessageSet {

inline constexpr std::uint8_t ReadTables = 0x90;
inline constexpr std::uint8_t ReadSetup = 0x77;
inline constexpr std::uint8_t WriteTables = 0x91;
inline constexpr std::uint8_t WriteSetup = 0x78;

inline constexpr int ReportBytes = 8;
// The table block in either direction: 280 bytes in 35 reports.
inline constexpr int TablesReports = 35;
// The setup block's length byte can count at most 248 bytes, which leaves room
// for a name of 236 characters, each one byte: its code in the set of ansicodec.h.
inline constexpr int MaxBoardNameLength = 236;

// The integer a numeric cell goes to the module as: the nearest integer, a
// value exactly halfway going to the even neighbour. Kept as a double so that
// any cell value, however large, can be range-checked without overflow; a
// cell's value is always finite (CellValue saturates).
double CellInteger(double value);

// Map, brake, "LOAD Start" and "LOAD Increment": one byte, refused outside 0..255.
std::optional<std::uint8_t> ByteField(double integer);
// "Max Position", "Max Adjust", "Max Boost": the low 8 bits, never refused.
std::uint8_t LimitField(double integer);
// "RPM Start", "RPM Increment": high byte (the integer / 256, truncated toward
// zero) then low byte (two's complement); refused outside -255..65535.
std::optional<std::array<std::uint8_t, 2>> RpmField(double integer);
inline constexpr double RpmFieldMin = -255;
inline constexpr double RpmFieldMax = 65535;

// The setup block for a name of `nameLength` characters: p fill bytes after
// the name's zero, and n, the length byte, counting the bytes after itself.
int SetupFill(int nameLength);
int SetupLength(int nameLength);

} // namespace MessageSet
