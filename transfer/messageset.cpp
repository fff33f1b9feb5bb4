#include "messageset.h"

#include <cmath>

namespace MessageSet {

double CellInteger(double value)
{
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
    // fmod is exact for every double and keeps the sign, so the remainder's
    // two's complement low byte is the integer's.
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(std::fmod(integer, 256.0)));
}

std::optional<std::array<std::uint8_t, 2>> RpmField(double integer)
{
    if (!(integer >= RpmFieldMin && integer <= RpmFieldMax))
        return std::nullopt;
    const int value = static_cast<int>(integer);
    return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(value / 256), static_cast<std::uint8_t>(value & 0xFF)};
}

int SetupFill(int nameLength) { return 8 - (nameLength + 11) % 8; }

int SetupLength(int nameLength) { return nameLength + 11 + SetupFill(nameLength); }

} // namespace MessageSet
