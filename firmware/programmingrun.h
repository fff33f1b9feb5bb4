#pragma once
// The programming run behind the firmware window's "Program" button: it lets
// the S-record reader check the file, then streams every accepted record to
// the module's bootloader, one header and four data reports per record, paced
// by fixed waits, with one reply per record and one at the end.
#include "srecord.h"

#include <QString>
#include <array>
#include <cstdint>

class Misc;

// What a run reads from its window and what it shows there.
class ProgrammingView {
public:
    virtual ~ProgrammingView() = default;
    // The S19 file to program; the window asks for one first when it has none.
    virtual QString imageFileName() = 0;
    // Flash Start, Bootloader Start, Bootloader End and the micro option.
    virtual AddressWindow addressWindow() = 0;
    virtual void showAddress(const QString &text) = 0;
    virtual int progressMaximum() const = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual int progressValue() const = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void message(const QString &text) = 0;
    // Why another command's hold on the link keeps a run from starting, or
    // empty text when no other command holds it.
    virtual QString linkRefusal() const = 0;
    // The rest of the tuner keeps its reports off the link while it is held.
    virtual void holdLink(bool hold) = 0;
    // Asked before each record goes out: true ends the run there, with every
    // record before it whole and no end report. The window stops a run by a
    // second press of "Program" instead, and keeps this default.
    virtual bool stopBeforeNextRecord() { return false; }
};

namespace BootloaderReports {
using Report = std::array<std::uint8_t, 8>;
Report start();
Report end();
// The record's address, most significant byte first, then n.
Report header(const S19Record &record);
// Data report j (0 to 3): byte positions 8j + 1 to 8j + 8 of the record.
Report data(const S19Record &record, int j);
} // namespace BootloaderReports

class ProgrammingRun {
public:
    static constexpr int StartWaitMs = 250;
    static constexpr int PauseWaitMs = 250;
    static constexpr int ReplySleepMs = 50;
    static constexpr int EndSleepMs = 100;
    // A record more than this far beyond the last pause point pauses again,
    // giving the bootloader time to erase and program.
    static constexpr qint64 PauseSpacing = 0x400;

    explicit ProgrammingRun(Misc &misc) : m_misc(misc) {}

    // The checks a file passes before anything is sent: it opens in `reader`,
    // its records fit the window, and at least one of them starts in it.
    struct Check {
        QString refusal; // why the file is not programmed; empty when it passed
        bool opened = false;
        int records = 0; // records that start in the window
        int total = 0;   // their data bytes, the progress bar's range
    };
    static Check check(S19Reader &reader, const QString &fileName, const AddressWindow &window);

    // cmdProgram_Click: starts a run, or stops the one under way.
    void program(ProgrammingView &view);
    bool busy() const { return m_busy; }
    // True while a run is on the stack, even one just stopped that is still
    // in its wait: the window must outlive it.
    bool running() const { return m_active > 0; }

private:
    bool stopped(int run) const { return run != m_run; }
    void finish(ProgrammingView &view);
    static void send(const BootloaderReports::Report &report);

    Misc &m_misc;
    S19Reader m_reader;
    bool m_busy = false;
    int m_active = 0;
    // Each run's number; a press of "Program" during a run moves it on, and
    // the run under way, finding its number gone, stops where it stands.
    int m_run = 0;
};
