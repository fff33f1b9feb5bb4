#include "reflashaccess.h"
#include "cellvalue.h"

#include <QRandomGenerator>
#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace ReflashAccess {

namespace {

// The derivation's constants live here and nowhere else. Thresholds lie
// within the key range and are applied from the largest down.
struct Step {
    qint32 threshold;
    qint32 addend;
};
constexpr std::array<Step, 5> Steps{{{88741, 44183}, {67309, 18629}, {45127, 73051}, {26893, 36217}, {9461, 25943}}};
constexpr qint32 FinalAddend = 284617;

constexpr qint64 largestResponse()
{
    qint64 sum = MaxKey + FinalAddend;
    for (const Step &s : Steps)
        sum += s.addend;
    return sum;
}
static_assert(largestResponse() <= std::numeric_limits<qint32>::max(), "every response must fit 32 bits");

} // namespace

qint32 KeyGenerator::draw(qint64 timeOfDayMs)
{
    // Reseeded from what the generator holds and the time together: the same
    // millisecond twice draws afresh instead of repeating the last key.
    std::seed_seq seeds{m_generator.generate(), m_generator.generate(), quint32(timeOfDayMs)};
    m_generator.seed(seeds);
    return qint32(m_generator.generateDouble() * MaxKey + 1);
}

QString DefaultEntry() { return QStringLiteral("000000"); }

qint32 Response(qint32 key)
{
    qint32 response = key;
    for (const Step &s : Steps)
        if (key > s.threshold)
            response += s.addend;
    return response + FinalAddend;
}

std::optional<qint32> EnteredValue(const QString &entry)
{
    const double value = std::nearbyint(CellValue(entry));
    // Written so that a NaN, too, falls outside.
    if (!(value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(value);
}

bool Accepts(qint32 key, const QString &entry)
{
    const auto value = EnteredValue(entry);
    return value && *value == Response(key);
}

} // namespace ReflashAccess
