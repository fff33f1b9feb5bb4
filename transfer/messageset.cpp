#include "messageset.h"

#include <cmath>

namespace MessageSet {

double CellInteger(double value)
{
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

std::optional<std::uint8_t> ByteField(double integer)
{
    if (!(integer >= 0 && integer <= 255))
        return std::nullopt;
    return static_cast<std::uint8_t>(integer);
}

std::uint8_t LimitField(double integer)
{
    if (!std::isfinite(integer))
        return 0;
    // Beyond 2^53 every double is a multiple of 256, so fmod is exact everywhere.
    double low = std::fmod(integer, 256.0);
    if (low < 0)
        low += 256;
    return static_cast<std::uint8_t>(low);
}

std::optional<std::array<std::uint8_t, 2>> RpmField(double integer)
{
    if (!(integer >= RpmFieldMin && integer <= RpmFieldMax))
        return std::nullopt;
    const int value = static_cast<int>(integer);
    return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(value / 256), static_cast<std::uint8_t>(value & 0xFF)};
}

namespace {
// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

std::optional<std::uint8_t> ToWindows1252(char32_t character)
{
    for (int i = 0; i < 32; ++i)
        if (HighControls[i] == character)
            return static_cast<std::uint8_t>(0x80 + i);
    // 0x80..0x9F as code points are taken by the table above where Windows-1252 has them.
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<std::uint8_t>(character);
    return std::nullopt;
}

QChar FromWindows1252(std::uint8_t code)
{
    if (code >= 0x80 && code <= 0x9F)
        return QChar(HighControls[code - 0x80]);
    return QChar(code);
}

int SetupFill(int nameLength) { return 8 - (nameLength + 11) % 8; }

int SetupLength(int nameLength) { return nameLength + 11 + SetupFill(nameLength); }

} // namespace MessageSet
