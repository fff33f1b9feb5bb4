#pragma once
// The virtual module: plays a "KTRM" turbo controller or a "PNDX" board behind
// the same HID layer as the real device. Everything it does follows the clock
// it is given, so under virtual time it is fully deterministic.
#include "journal.h"
#include "usbhidapi.h"

#include <QString>
#include <array>
#include <deque>
#include <memory>

class Misc;
class SimBootloader;
class SimCalibration;
class SimEngine;

class VirtualModule final : public UsbHidApi {
public:
    using Payload = std::array<std::uint8_t, 8>;
    enum class Board { KTRM, PNDX };

    explicit VirtualModule(const Misc &clock, Board board = Board::KTRM);
    ~VirtualModule() override;

    Board board() const { return m_board; }
    QString boardName() const { return m_board == Board::KTRM ? QStringLiteral("KTRM") : QStringLiteral("PNDX"); }
    // Every report received and sent, with the virtual time, goes to the journal
    // a test gave. Without one nothing is recorded, so a module left running for
    // a shift does not grow with every report; journal() is then empty.
    Journal &journal() { return m_journal ? *m_journal : m_unrecorded; }
    void setJournal(Journal *journal) { m_journal = journal; }

    // Test hooks. Report numbers count the reports the module received, from 1.
    struct Faults {
        bool absent = false;       // no device answers Open
        bool denied = false;       // the device is there, but this user may not open it
        int unplugAtWrite = 0;     // from this written report on, writes fail and nothing answers
        int loseReplyToWrite = 0;  // the reply to this written report never comes
        int shortReplyToWrite = 0; // the first report answering this written report comes short (5 bytes)
        int failWriteAt = 0;       // this one write fails (returns -1)
        bool floodReplies = false; // every read finds a report (a stuck module)
    };
    Faults faults;
    int writesReceived() const { return m_writes; }
    // Queues a reply as though the module had sent it (for tests of odd answers),
    // whole or cut short as shortReplyToWrite cuts it.
    void queueReply(const Payload &payload, bool cutShort = false) { m_replies.push_back({payload, cutShort}); }
    std::size_t queuedReplies() const { return m_replies.size(); }

    // The module's parts, for tests and for setting the module up.
    SimEngine &engine() { return *m_engine; }
    SimCalibration &calibration() { return *m_calibration; }
    SimBootloader &bootloader() { return *m_bootloader; }

    // UsbHidApi
    void SetInstance(int instance) override { m_instance = instance; }
    int Open(int vendorId, int productId, const char *manufacturer, const char *serial, const char *deviceName,
             int getReportLengths) override;
    void GetReportLengths(int *inputLength, int *outputLength) override;
    int Write(ConstReportBuffer report) override;
    int Read(ReportBuffer report) override;
    OpenProblem LastOpenProblem() const override { return m_problem; }
    std::vector<DeviceInfo> Enumerate(int vendorId, int productId) override;

private:
    void receive(const Payload &payload);
    void reply(const Payload &payload);
    bool unplugged() const { return faults.unplugAtWrite > 0 && m_writes >= faults.unplugAtWrite; }

    const Misc &m_clock;
    Board m_board;
    void record(JournalEntry::Kind kind, const std::uint8_t *payload, int bytes);

    Journal m_unrecorded;
    Journal *m_journal = nullptr;
    struct Queued {
        Payload payload;
        bool truncated;
    };
    std::deque<Queued> m_replies;
    int m_instance = 0;
    int m_writes = 0;
    int m_repliedToWrite = 0; // the written report the last reply answered
    bool m_open = false;
    OpenProblem m_problem = OpenProblem::None;
    std::unique_ptr<SimEngine> m_engine;
    std::unique_ptr<SimCalibration> m_calibration;
    std::unique_ptr<SimBootloader> m_bootloader;
};
