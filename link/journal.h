#pragma once
// A time-stamped record of everything that crossed the link and every wait the
// tuner made, kept by the virtual module and the virtual clock so tests can
// assert the exact order and spacing of reports and waits.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct JournalEntry {
    enum Kind { Write, Read, Sleep, Wait, DoEvents };
    qint64 at = 0; // virtual milliseconds
    Kind kind = Write;
    QByteArray payload; // 8 payload bytes for Write and Read; empty for a read that found nothing
    int ms = 0;         // length of Sleep and Wait
};

class Journal {
public:
    void add(JournalEntry e) { m_entries.append(std::move(e)); }
    void clear() { m_entries.clear(); }
    const QVector<JournalEntry> &entries() const { return m_entries; }
    QVector<JournalEntry> writes() const;
    // Compact form for assertions: "W90 S50 R Wt250 ..." where W carries the
    // first payload byte in hex, R is a report read whole, R- a read that found
    // nothing, S is a Sleep, Wt a Wait with events, E an event
    // pass. Runs of identical items are folded as "W91*35".
    QString summary() const;

private:
    QVector<JournalEntry> m_entries;
};
