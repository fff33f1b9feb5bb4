#pragma once
// The 8-bit character set a board name travels in, in the calibration file and
// on the link to the module alike: Windows-1252. Both go through these
// functions, so a name received from the module can be saved, opened and sent
// back with every code from 1 to 255 unchanged.
#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>

namespace Ansi {

// The character a code stands for. Every code has one: the five that
// Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// control characters of the same number, as Windows maps them.
QChar Character(std::uint8_t code);

// The code of a character (a Unicode code point), or nothing when the set has
// none for it. Code 0 is the character U+0000 like any other.
std::optional<std::uint8_t> Code(char32_t character);

// Names a character of a text for a message, to be followed by what is wrong
// with it: `character 3, "Ω" (U+03A9),` or, for a control or other character
// that a message box would show as nothing, `character 2 (U+0080)`.
QString Describe(int position, char32_t character);

} // namespace Ansi
