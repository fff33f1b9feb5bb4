#pragma once
// The engine the virtual module sits on, and the module's link commands:
// board version, inputs, test turbo and operating point.
//
// The engine drives a fixed cycle that repeats for ever: idle, two pulls (the
// second to full load and about 3500 rpm), a long exhaust-brake descent, idle
// again, a part-load run and a coast down without the brake. Everything is a
// function of the clock, so under virtual time every reply is known in advance.
#include "simpart.h"

class SimCalibration;

class SimEngine {
public:
    // What the module measures at one moment.
    struct State {
        int rpm = 0;
        int load = 0;        // percent, 0 to 100
        int vanes = 0;       // commanded vane position, 0 = open, 100 = closed; the "user" value
        bool atIdle = false; // accelerator released
        bool exhaustBrake = false;
    };

    static constexpr std::uint8_t VersionMajor = 0x02;
    static constexpr std::uint8_t VersionMinor = 0x21;
    // How long Test Turbo runs the vanes closed and open again.
    static constexpr qint64 SweepMs = 4000;

    // Length of one drive cycle.
    static qint64 cycleMs();
    // The engine at `now`, Test Turbo's sweep included.
    State state(qint64 now) const;
    // Index of the last breakpoint at or below value on an axis whose
    // breakpoint 0 is 0 and breakpoint 1 + k is start + k * increment (k = 0 to 14).
    static int breakpointIndex(int value, int start, int increment);

    // Handles one report the module received; false when it is not a link command.
    bool handle(const SimPayload &in, qint64 now, const SimCalibration &calibration, bool ktrm, const SimReply &reply);

private:
    qint64 m_sweepStart = -1;
};
