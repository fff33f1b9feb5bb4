#include "journal.h"

QVector<JournalEntry> Journal::writes() const
{
    QVector<JournalEntry> out;
    for (const auto &e : m_entries)
        if (e.kind == JournalEntry::Write)
            out.append(e);
    return out;
}

static QString token(const JournalEntry &e)
{
    const auto first = e.payload.isEmpty() ? QString() : QString::asprintf("%02X", quint8(e.payload.at(0)));
    switch (e.kind) {
    case JournalEntry::Write: return QStringLiteral("W") + first;
    case JournalEntry::Read: return e.payload.isEmpty() ? QStringLiteral("R-") : QStringLiteral("R");
    case JournalEntry::Sleep: return QStringLiteral("S%1").arg(e.ms);
    case JournalEntry::Wait: return QStringLiteral("Wt%1").arg(e.ms);
    case JournalEntry::DoEvents: return QStringLiteral("E");
    }
    return {};
}

QString Journal::summary() const
{
    QStringList parts;
    QString last;
    int run = 0;
    auto flush = [&] {
        if (run > 0)
            parts << (run == 1 ? last : QStringLiteral("%1*%2").arg(last).arg(run));
    };
    for (const auto &e : m_entries) {
        const auto t = token(e);
        if (t == last) {
            ++run;
            continue;
        }
        flush();
        last = t;
        run = 1;
    }
    flush();
    return parts.join(QLatin1Char(' '));
}
