#pragma once
// The challenge and response in front of the firmware window: a fresh key is
// shown, and only the response that belongs to that key opens the window.
// Service staff get the response from the reflash-response tool, never from
// the tuner, which neither shows nor keeps it.
#include <QRandomGenerator>
#include <QString>
#include <optional>

namespace ReflashAccess {

inline constexpr qint32 MinKey = 1;
inline constexpr qint32 MaxKey = 100000;

// The keys of one session come from one generator, and every draw mixes the
// time of day into it: two prompts in the same millisecond still show
// different keys, where a generator built afresh from the clock would repeat.
class KeyGenerator {
public:
    explicit KeyGenerator(quint32 seed) : m_generator(seed) {}
    // A key from 1 to 100000; timeOfDayMs counts from midnight.
    qint32 draw(qint64 timeOfDayMs);

private:
    QRandomGenerator m_generator;
};

// What the input box holds when it opens: six digits, the same for every key,
// and never a response.
QString DefaultEntry();

// The response that belongs to a key.
qint32 Response(qint32 key);

// The entry read as a decimal number, its leading numeric part (empty text is
// 0), taken to the nearest whole number, halves to even; nothing when it does
// not fit 32-bit signed range.
std::optional<qint32> EnteredValue(const QString &entry);

bool Accepts(qint32 key, const QString &entry);

} // namespace ReflashAccess
