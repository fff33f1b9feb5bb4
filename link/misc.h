#pragma once
// Every pause the tuner makes goes through here, so the protocol's fixed waits
// can run on the real clock in the application and on virtual time in tests.
#include <QtGlobal>
#include <functional>

class Journal;

class Misc {
public:
    virtual ~Misc() = default;
    // Milliseconds since this clock started.
    virtual qint64 Now() const = 0;
    // Blocks for ms without letting window events run.
    virtual void Sleep(int ms) = 0;
    // Waits ms on the time-of-day clock while window events run.
    virtual void Wait(int ms) = 0;
    // Lets pending window events run once.
    virtual void DoEvents() = 0;
};

class RealMisc final : public Misc {
public:
    RealMisc();
    qint64 Now() const override;
    void Sleep(int ms) override;
    void Wait(int ms) override;
    void DoEvents() override;

private:
    qint64 m_startNs;
};

// Virtual time: waits return at once, advance the clock and are journalled.
// `duringEvents` stands for the user acting while a wait lets events run: it
// is called at the start of every Wait and DoEvents with the journal position.
class VirtualMisc final : public Misc {
public:
    explicit VirtualMisc(Journal *journal = nullptr) : m_journal(journal) {}
    qint64 Now() const override { return m_now; }
    void Sleep(int ms) override;
    void Wait(int ms) override;
    void DoEvents() override;
    void advance(qint64 ms) { m_now += ms; }

    std::function<void()> duringEvents;

private:
    qint64 m_now = 0;
    Journal *m_journal;
};
