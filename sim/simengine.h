#pragma once
// The engine the virtual module sits on, and the module's link commands:
// board version, inputs, test turbo and operating point.
#include "simpart.h"

class SimCalibration;

class SimEngine {
public:
    // Handles one report the module received; false when it is not a link command.
    bool handle(const SimPayload &in, qint64 now, const SimCalibration &calibration, bool ktrm, const SimReply &reply);
};
