#include "simcalibration.h"

#include <QList>
#include <algorithm>
#include <cmath>

namespace {
constexpr std::uint8_t ReadTables = 0x90;
constexpr std::uint8_t ReadSetup = 0x77;
constexpr std::uint8_t WriteTables = 0x91;
constexpr std::uint8_t WriteSetup = 0x78;
constexpr int TablesBytes = 280;
// A block whose reports stop coming for this long is given up: the next report
// starts afresh, as the module's firmware does after a send that stopped half way.
constexpr qint64 BlockTimeoutMs = 1000;

std::uint8_t byteAt(const QByteArray &bytes, int i) { return static_cast<std::uint8_t>(bytes.at(i)); }
} // namespace

HeldCalibration HeldCalibration::factory()
{
    HeldCalibration c;
    // Vanes closed at low speed and high load, where the turbine needs the
    // exhaust energy, opening steadily as speed rises; light load sits in between.
    for (int r = 1; r <= 16; ++r) {
        for (int col = 1; col <= 16; ++col) {
            const double load = (r - 1) / 15.0;
            const double slow = 1.0 - (col - 1) / 15.0;
            const double position = 20 + 55 * load * std::pow(slow, 0.8) + 10 * slow;
            c.cell(r, col) = static_cast<std::uint8_t>(std::lround(position));
        }
    }
    // Exhaust braking wants the vanes nearly closed, easing a little at speed.
    for (int col = 1; col <= 16; ++col)
        c.brake[std::size_t(col - 1)] = static_cast<std::uint8_t>(95 - (col - 1) / 3);
    c.maxPosition = 95;
    c.maxAdjust = 20;
    c.maxBoost = 200;
    c.rpmStart = 800;
    c.rpmIncrement = 200;
    c.loadStart = 10;
    c.loadIncrement = 6;
    c.boardName = QByteArrayLiteral("Marlow VGT");
    return c;
}

bool SimCalibration::handle(const SimPayload &in, qint64 now, const SimReply &reply)
{
    if (receiving() && now - m_lastAt > BlockTimeoutMs)
        m_block = Block::None;
    if (receiving()) {
        m_stream.append(reinterpret_cast<const char *>(in.data()), qsizetype(in.size()));
        m_lastAt = now;
        if (m_stream.size() >= m_expected)
            completeBlock(reply);
        return true;
    }
    switch (in[0]) {
    case ReadTables: answerTables(reply); return true;
    case ReadSetup: answerSetup(reply); return true;
    case WriteTables: startBlock(Block::Tables, in, now); return true;
    case WriteSetup: startBlock(Block::Setup, in, now); return true;
    default: return false;
    }
}

void SimCalibration::startBlock(Block block, const SimPayload &in, qint64 now)
{
    m_block = block;
    m_stream = QByteArray(reinterpret_cast<const char *>(in.data()), qsizetype(in.size()));
    m_lastAt = now;
    // The setup block counts its own length: the bytes after the length byte,
    // so n + 2 in all, in whole reports.
    const int bytes = block == Block::Tables ? TablesBytes : in[1] + 2;
    m_expected = (bytes + 7) / 8 * 8;
}

void SimCalibration::completeBlock(const SimReply &reply)
{
    const QByteArray &s = m_stream;
    if (m_block == Block::Tables) {
        for (int i = 0; i < 256; ++i)
            m_held.map[std::size_t(i)] = byteAt(s, 1 + i);
        for (int i = 0; i < 16; ++i)
            m_held.brake[std::size_t(i)] = byteAt(s, 257 + i);
        m_held.maxPosition = byteAt(s, 273);
        m_held.maxAdjust = byteAt(s, 274);
        m_held.maxBoost = byteAt(s, 275);
        reply({WriteTables, 0, 0, 0, 0, 0, 0, 0});
    } else {
        // A length too short to reach the scaling is no setup block; the
        // module keeps what it held and still answers.
        const int end = byteAt(s, 1) + 2;
        if (end >= 12) {
            m_held.rpmStart = quint16(byteAt(s, 4) << 8 | byteAt(s, 5));
            m_held.rpmIncrement = quint16(byteAt(s, 8) << 8 | byteAt(s, 9));
            m_held.loadStart = byteAt(s, 10);
            m_held.loadIncrement = byteAt(s, 11);
            const QByteArray name = s.mid(12, end - 12);
            const auto zero = name.indexOf('\0');
            m_held.boardName = zero < 0 ? name : name.left(zero);
        }
        reply({WriteSetup, 0, 0, 0, 0, 0, 0, 0});
    }
    m_block = Block::None;
    m_stream.clear();
}

void SimCalibration::answerTables(const SimReply &reply) const
{
    std::array<std::uint8_t, TablesBytes> answer{};
    std::copy(m_held.map.begin(), m_held.map.end(), answer.begin());
    std::copy(m_held.brake.begin(), m_held.brake.end(), answer.begin() + 256);
    answer[272] = m_held.maxPosition;
    answer[273] = m_held.maxAdjust;
    answer[274] = m_held.maxBoost;
    const int reports = std::clamp(faults.tableReportsSent, 0, TablesBytes / 8);
    for (int r = 0; r < reports; ++r) {
        SimPayload p;
        std::copy_n(answer.begin() + r * 8, 8, p.begin());
        reply(p);
    }
}

void SimCalibration::answerSetup(const SimReply &reply) const
{
    QList<SimPayload> answer;
    answer.append({std::uint8_t(m_held.rpmStart >> 8), std::uint8_t(m_held.rpmStart & 0xFF), m_held.loadStart,
                   std::uint8_t(m_held.rpmIncrement >> 8), std::uint8_t(m_held.rpmIncrement & 0xFF),
                   m_held.loadIncrement, 0, 0});
    // The name with its zero, eight bytes a report.
    QByteArray name = m_held.boardName;
    name.append('\0');
    while (name.size() % 8 != 0)
        name.append('\0');
    for (qsizetype i = 0; i < name.size(); i += 8) {
        SimPayload p;
        std::copy_n(name.constData() + i, 8, p.begin());
        answer.append(p);
    }
    const qsizetype reports =
        faults.setupReportsSent < 0 ? answer.size() : std::min<qsizetype>(faults.setupReportsSent, answer.size());
    for (qsizetype i = 0; i < reports; ++i)
        reply(answer[i]);
}
