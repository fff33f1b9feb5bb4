#pragma once
// The challenge and response in front of the firmware window: a fresh key is
// shown, and only the response that belongs to that key opens the window.
// Service staff get the response from the reflash-response tool, never from
// the tuner, which neither shows nor keeps it.
#include <QString>
#include <optional>

class QRandomGenerator;

namespace ReflashAccess {

inline constexpr qint32 MinKey = 1;
inline constexpr qint32 MaxKey = 100000;

// A key from 1 to 100000 drawn from a generator reseeded from the time of day.
qint32 DrawKey();
qint32 DrawKey(QRandomGenerator &generator);

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
