#pragma once
// The calibration the virtual module holds, and the commands that read and write it.
#include "simpart.h"

class SimCalibration {
public:
    // True while a written block is still arriving: every report belongs to it.
    bool receiving() const { return false; }
    // The axis scaling the module holds; the operating point follows it.
    int rpmStart() const { return 800; }
    int rpmIncrement() const { return 200; }
    int loadStart() const { return 10; }
    int loadIncrement() const { return 6; }
    // Handles one report; false when it is not a calibration command.
    bool handle(const SimPayload &in, qint64 now, const SimReply &reply);
};
