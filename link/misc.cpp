#include "misc.h"
#include "journal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>
#ifdef __linux__
#include <sys/prctl.h>
#endif

static qint64 monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

RealMisc::RealMisc() : m_startNs(monotonicNs())
{
#ifdef __linux__
    // The kernel may let a sleep run up to 50 us long to batch wake-ups. A
    // programming run sleeps 50 ms once a record, thousands of times, and
    // each of those overruns is added to the user's wait.
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
}

qint64 RealMisc::Now() const { return (monotonicNs() - m_startNs) / 1000000; }

void RealMisc::Sleep(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void RealMisc::Wait(int ms)
{
    // Events run while we wait, but we never sleep past the deadline: a wait
    // is part of the protocol's pacing and must not stretch.
    QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMin<qint64>(deadline.remainingTime(), 10)));
        const auto left = deadline.remainingTimeNSecs();
        if (left > 0)
            QThread::usleep(static_cast<unsigned long>(qMin<qint64>(left / 1000, 1000)));
    }
}

void RealMisc::DoEvents() { QCoreApplication::processEvents(); }

void VirtualMisc::Sleep(int ms)
{
    if (m_journal)
        m_journal->add({m_now, JournalEntry::Sleep, {}, ms});
    m_now += ms;
}

void VirtualMisc::Wait(int ms)
{
    if (m_journal)
        m_journal->add({m_now, JournalEntry::Wait, {}, ms});
    if (duringEvents)
        duringEvents();
    m_now += ms;
}

void VirtualMisc::DoEvents()
{
    if (m_journal)
        m_journal->add({m_now, JournalEntry::DoEvents, {}, 0});
    if (duringEvents)
        duringEvents();
}
