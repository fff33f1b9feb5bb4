#include "virtualmodule.h"
#include "misc.h"
#include "simbootloader.h"
#include "simcalibration.h"
#include "simengine.h"

#include <algorithm>

namespace {
constexpr std::size_t MaxQueuedReports = 64;
}

VirtualModule::VirtualModule(const Misc &clock, Board board)
    : m_clock(clock), m_board(board), m_engine(std::make_unique<SimEngine>()),
      m_calibration(std::make_unique<SimCalibration>()), m_bootloader(std::make_unique<SimBootloader>())
{
}

VirtualModule::~VirtualModule() = default;

int VirtualModule::Open(int vendorId, int productId, const char *, const char *, const char *deviceName, int)
{
    const bool present = !faults.absent && !unplugged() && m_instance == 0 && vendorId == 0xC1CA &&
                         productId == 0xFFFF && deviceName && QString::fromLatin1(deviceName) == boardName();
    m_open = present && !faults.denied;
    m_problem = m_open ? OpenProblem::None : present ? OpenProblem::NotPermitted : OpenProblem::NoDevice;
    return m_open ? 1 : 0;
}

std::vector<UsbHidApi::DeviceInfo> VirtualModule::Enumerate(int vendorId, int productId)
{
    if (faults.absent || unplugged() || vendorId != 0xC1CA || productId != 0xFFFF)
        return {};
    return {{boardName().toStdString(), "virtual", !faults.denied}};
}

void VirtualModule::GetReportLengths(int *inputLength, int *outputLength)
{
    if (inputLength)
        *inputLength = 9;
    if (outputLength)
        *outputLength = 9;
}

int VirtualModule::Write(ConstReportBuffer report)
{
    if (!m_open)
        return -1;
    ++m_writes;
    Payload payload;
    std::copy_n(report.begin() + 1, 8, payload.begin());
    record(JournalEntry::Write, payload.data(), 8);
    if (unplugged() || m_writes == faults.failWriteAt)
        return -1;
    receive(payload);
    return 9;
}

int VirtualModule::Read(ReportBuffer report)
{
    if (!m_open || unplugged() || (m_replies.empty() && !faults.floodReplies)) {
        record(JournalEntry::Read, nullptr, 0);
        return 0;
    }
    Queued queued{};
    if (!m_replies.empty()) {
        queued = m_replies.front();
        m_replies.pop_front();
    }
    // A truncated report carries the report ID and the first four payload bytes.
    const int payloadBytes = queued.truncated ? 4 : 8;
    report[0] = 0;
    std::copy_n(queued.payload.begin(), payloadBytes, report.begin() + 1);
    record(JournalEntry::Read, queued.payload.data(), payloadBytes);
    return 1 + payloadBytes;
}

void VirtualModule::record(JournalEntry::Kind kind, const std::uint8_t *payload, int bytes)
{
    if (m_journal)
        m_journal->add({m_clock.Now(), kind, QByteArray(reinterpret_cast<const char *>(payload), bytes), 0});
}

void VirtualModule::reply(const Payload &payload)
{
    // Unread reports queue up to a bound, as in the kernel's own report queue:
    // what comes on top of a full queue is lost, so a tuner that stops reading
    // cannot make the module grow.
    if (m_writes == faults.loseReplyToWrite || m_replies.size() >= MaxQueuedReports)
        return;
    // Of an answer several reports long, only the first comes cut short.
    const bool first = m_repliedToWrite != m_writes;
    m_repliedToWrite = m_writes;
    m_replies.push_back({payload, first && m_writes == faults.shortReplyToWrite});
}

void VirtualModule::receive(const Payload &payload)
{
    const qint64 now = m_clock.Now();
    const SimReply out = [this](const SimPayload &p) { reply(p); };
    // A block being written takes every report until it is complete, whatever
    // its bytes look like; so does the bootloader once in programming mode.
    // A block given up half way hands the report on to the other parts.
    if (m_calibration->receiving() && m_calibration->handle(payload, now, out))
        return;
    if (m_bootloader->handle(payload, now, out))
        return;
    const bool ktrm = m_board == Board::KTRM;
    if (ktrm && m_calibration->handle(payload, now, out))
        return;
    m_engine->handle(payload, now, *m_calibration, ktrm, out);
}
