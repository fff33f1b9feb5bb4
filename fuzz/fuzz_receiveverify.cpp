// Receive and Verify against a module that answers arbitrary bytes: whole
// reports, lost ones, short and overlong ones, and report lengths of its own
// choosing. Both must end, within their fixed waits, whatever it sends; and a
// Verify answered exactly as the Receive before it finds what Receive wrote.
#include "fuzzcheck.h"
#include "journal.h"
#include "messageset.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "transfer.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

namespace {

struct Answer {
    int count;
    std::vector<std::uint8_t> bytes;
};

class FuzzedModule final : public UsbHidApi {
public:
    explicit FuzzedModule(FuzzedDataProvider &in) : m_in(in) {}
    int reads = 0;
    int writes = 0;
    // The answers given after the first command, kept for a replay.
    std::vector<Answer> given;
    // While set, the module answers with `given` instead, and nothing before the first command.
    bool replaying = false;

    void SetInstance(int) override {}
    int Open(int, int, const char *, const char *, const char *, int) override { return 1; }
    void GetReportLengths(int *inputLength, int *outputLength) override
    {
        // Mostly the module's own 9 and 9, sometimes lengths of any kind.
        const std::uint8_t pick = m_in.ConsumeIntegral<std::uint8_t>();
        *inputLength = pick < 192 ? 9 : pick % 16 - 2;
        *outputLength = pick < 192 ? 9 : (pick >> 4) % 4 + 7;
    }
    int Write(ConstReportBuffer) override
    {
        ++writes;
        return replaying || !m_in.ConsumeBool() ? 9 : -1;
    }
    int Read(ReportBuffer report) override
    {
        ++reads;
        Answer answer{0, {}};
        if (replaying) {
            if (writes > 0 && m_replayed < given.size())
                answer = given[m_replayed++];
        } else if (m_in.remaining_bytes() > 0) {
            // Mostly a whole report; now and then none, a short one or a
            // count that no report buffer holds.
            const std::uint8_t kind = m_in.ConsumeIntegral<std::uint8_t>();
            answer.count = kind < 200 ? 9 : kind % 13 - 1;
            answer.bytes = m_in.ConsumeBytes<std::uint8_t>(std::size_t(std::clamp(answer.count, 0, 10)));
            if (writes > 0)
                given.push_back(answer);
        }
        std::copy(answer.bytes.begin(), answer.bytes.end(), report.begin());
        return answer.count;
    }
    void replay()
    {
        replaying = true;
        writes = 0;
        m_replayed = 0;
    }

private:
    FuzzedDataProvider &m_in;
    std::size_t m_replayed = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    FuzzedModule module(in);
    Journal journal;
    VirtualMisc misc(&journal);
    NonBlockingUSB::UseBackend(&module);
    NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));

    CalibrationTables tables;
    SetUpGrids(tables);
    const Transfer::ReceiveResult received = Transfer::Receive(tables, misc);
    // As the window does after a Receive.
    if (received.scalingReceived())
        UpdateAxisHeadings(tables);
    const QString message = received.message();
    FUZZ_CHECK(received.outcome == Transfer::ReceiveResult::Complete ||
               received.outcome == Transfer::ReceiveResult::NoAnswer || !message.isEmpty());
    FUZZ_CHECK(tables.param(BoardName).size() <= MessageSet::MaxBoardNameLength);
    // Two commands at most, the drain bounded, no wait beyond the fixed ones.
    FUZZ_CHECK(module.writes >= 1 && module.writes <= 2);
    FUZZ_CHECK(module.reads <= 2 * 4097 + 35 + 1 + 30);
    FUZZ_CHECK(misc.Now() <= 50 + 50 + 10);

    if (received.outcome == Transfer::ReceiveResult::Complete) {
        module.replay();
        FUZZ_CHECK(Transfer::Verify(tables, misc));
    }
    // And a Verify against whatever the module says next.
    module.replaying = false;
    Transfer::Verify(tables, misc);
    NonBlockingUSB::UseBackend(nullptr);
    return 0;
}
