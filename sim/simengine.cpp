#include "simengine.h"
#include "linkcommands.h"
#include "simcalibration.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// One stretch of the drive cycle: speed and load move in a straight line from
// where the previous stretch ended to these values.
struct Stretch {
    int ms;
    int rpm;
    int load;
    bool atIdle;
    bool exhaustBrake;
};

constexpr int IdleRpm = 750;
constexpr int IdleLoad = 6;

constexpr Stretch Cycle[] = {
    {5000, IdleRpm, IdleLoad, true, false}, // idle
    {1000, 1100, 70, false, false},         // pull away
    {5000, 2600, 95, false, false},         // first pull
    {800, 1700, 20, false, false},          // shift
    {500, 1750, 100, false, false},         // foot down
    {5500, 3500, 100, false, false},        // second pull, full load
    {1500, 3000, 0, true, false},           // lift off
    {7000, 1100, 0, true, true},            // descent on the exhaust brake
    {2000, IdleRpm, IdleLoad, true, false}, // back to idle
    {4000, IdleRpm, IdleLoad, true, false}, // idle
    {1500, 1200, 50, false, false},         // pull away gently
    {8000, 2800, 60, false, false},         // part-load run
    {3000, 2900, 45, false, false},         // cruise
    {1000, 2700, 0, true, false},           // lift off
    {6000, 900, 0, true, false},            // coast down, no brake
    {1500, IdleRpm, IdleLoad, true, false}, // settle to idle
};

constexpr qint64 cycleLength()
{
    qint64 total = 0;
    for (const auto &s : Cycle)
        total += s.ms;
    return total;
}

int lerp(int from, int to, qint64 t, qint64 span) { return from + int((to - from) * t / span); }

// A slow, small wobble so that a steady engine does not read as a frozen one.
int wobble(qint64 now, int periodMs, int amplitude)
{
    const double phase = double(now % periodMs) / periodMs * 2.0 * std::numbers::pi;
    return int(std::lround(amplitude * std::sin(phase)));
}

// Where the module puts the vanes: closed hard for the exhaust brake, part
// closed at idle, closing with load and opening with speed on the road.
int vanePosition(int rpm, int load, bool atIdle, bool exhaustBrake)
{
    if (exhaustBrake)
        return 92;
    if (atIdle)
        return 25;
    return std::clamp(15 + load * 7 / 10 - (rpm - 1000) / 60, 10, 85);
}

} // namespace

qint64 SimEngine::cycleMs() { return cycleLength(); }

SimEngine::State SimEngine::state(qint64 now) const
{
    const qint64 inCycle = (now % cycleLength() + cycleLength()) % cycleLength();
    qint64 t = inCycle;
    int rpm = Cycle[std::size(Cycle) - 1].rpm;
    int load = Cycle[std::size(Cycle) - 1].load;
    State s;
    for (const auto &stretch : Cycle) {
        if (t < stretch.ms) {
            s.rpm = lerp(rpm, stretch.rpm, t, stretch.ms);
            s.load = lerp(load, stretch.load, t, stretch.ms);
            s.atIdle = stretch.atIdle;
            s.exhaustBrake = stretch.exhaustBrake;
            break;
        }
        t -= stretch.ms;
        rpm = stretch.rpm;
        load = stretch.load;
    }
    s.rpm += wobble(inCycle, 430, s.atIdle ? 6 : 15);
    if (!s.atIdle)
        s.load = std::clamp(s.load + wobble(inCycle, 290, 2), 0, 100);
    s.vanes = vanePosition(s.rpm, s.load, s.atIdle, s.exhaustBrake);
    if (m_sweepStart >= 0 && now >= m_sweepStart && now - m_sweepStart < SweepMs) {
        // Test Turbo: open to closed and back in one even sweep.
        const qint64 half = SweepMs / 2, into = now - m_sweepStart;
        s.vanes = int(into < half ? into * 100 / half : (SweepMs - into) * 100 / half);
    }
    return s;
}

int SimEngine::breakpointIndex(int value, int start, int increment)
{
    int index = 0;
    for (int k = 0; k < 15; ++k)
        if (start + k * increment <= value)
            index = 1 + k;
    return index;
}

bool SimEngine::handle(const SimPayload &in, qint64 now, const SimCalibration &calibration, bool ktrm,
                       const SimReply &reply)
{
    // The second board knows its version and nothing else of the turbo controller's.
    if (!ktrm && in[0] != LinkCommand::BoardVersion)
        return false;
    SimPayload out{};
    switch (in[0]) {
    case LinkCommand::BoardVersion:
        out[0] = VersionMajor;
        out[1] = VersionMinor;
        reply(out);
        return true;
    case LinkCommand::RequestInputs: {
        const State s = state(now);
        out[0] = std::uint8_t(s.rpm >> 8);
        out[1] = std::uint8_t(s.rpm & 0xFF);
        out[2] = std::uint8_t(s.load);
        out[3] = std::uint8_t(s.vanes);
        out[4] = s.atIdle ? 1 : 0;
        out[5] = s.exhaustBrake ? 1 : 0;
        reply(out);
        return true;
    }
    case LinkCommand::TestTurbo: m_sweepStart = now; return true;
    case LinkCommand::OperatingPoint: {
        const State s = state(now);
        out[0] = std::uint8_t(breakpointIndex(s.rpm, calibration.rpmStart(), calibration.rpmIncrement()));
        out[1] = std::uint8_t(breakpointIndex(s.load, calibration.loadStart(), calibration.loadIncrement()));
        out[2] = s.exhaustBrake ? 1 : 0;
        reply(out);
        return true;
    }
    default: return false;
    }
}
