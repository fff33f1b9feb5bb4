#include "simbootloader.h"

#include <algorithm>

namespace {
bool allBytes(const SimPayload &p, std::uint8_t value)
{
    return std::all_of(p.begin(), p.end(), [value](std::uint8_t b) { return b == value; });
}
} // namespace

SimBootloader::SimBootloader() : m_image(int(m_flashEnd) + 1, char(0xFF)) {}

void SimBootloader::setFlash(quint32 flashEnd, quint32 bootloaderStart, quint32 bootloaderEnd)
{
    m_flashEnd = flashEnd;
    m_bootStart = bootloaderStart;
    m_bootEnd = bootloaderEnd;
    m_image = QByteArray(qsizetype(flashEnd) + 1, char(0xFF));
}

void SimBootloader::start()
{
    m_programming = true;
    m_dataReports = -1;
    m_records = m_refused = m_bytesProgrammed = 0;
    ++m_starts;
    // The application area is erased; the bootloader keeps its own.
    for (qsizetype a = 0; a < m_image.size(); ++a)
        if (quint32(a) < m_bootStart || quint32(a) > m_bootEnd)
            m_image[a] = char(0xFF);
}

bool SimBootloader::handle(const SimPayload &in, qint64, const SimReply &reply)
{
    // Eight 0x27 start programming afresh wherever a run was left, as after a
    // run the tuner stopped half way. (A record's data could in principle
    // hold eight 0x27 in one report; no image our tests send does.)
    if (allBytes(in, 0x27)) {
        start();
        return true;
    }
    if (!m_programming)
        return false;

    if (m_dataReports < 0) {
        if (in == SimPayload{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}) {
            m_programming = false;
            if (!faults.dropEndReply)
                reply({m_refused == 0 ? ImageGood : ImageBad, 0, 0, 0, 0, 0, 0, 0});
            return true;
        }
        m_address = quint32(in[0]) << 24 | quint32(in[1]) << 16 | quint32(in[2]) << 8 | in[3];
        m_count = in[4];
        m_data.clear();
        m_dataReports = 4;
        return true;
    }
    m_data.append(reinterpret_cast<const char *>(in.data()), 8);
    if (--m_dataReports == 0) {
        m_dataReports = -1;
        finishRecord(reply);
    }
    return true;
}

void SimBootloader::finishRecord(const SimReply &reply)
{
    ++m_records;
    const int bytes = std::min(m_count, 32);
    // A record of no bytes still names an address, and is judged by it.
    const quint64 first = m_address;
    const quint64 last = first + quint64(std::max(bytes, 1)) - 1;
    const bool intoBootloader = first <= m_bootEnd && last >= m_bootStart;
    const bool beyondFlash = last > m_flashEnd;
    const bool refused = intoBootloader || beyondFlash || m_records == faults.refuseRecord;
    if (refused) {
        ++m_refused;
    } else {
        for (int i = 0; i < bytes; ++i)
            m_image[qsizetype(first) + i] = m_data[i];
        m_bytesProgrammed += bytes;
    }
    if (m_records != faults.dropReplyToRecord)
        reply({refused ? Refused : Taken, 0, 0, 0, 0, 0, 0, 0});
}
