#pragma once
// The module's bootloader: programming mode, records into a flash image, the verdict.
#include "simpart.h"

class SimBootloader {
public:
    // Handles one report: the start report, or anything while in programming
    // mode. False when the report is not the bootloader's.
    bool handle(const SimPayload &in, qint64 now, const SimReply &reply);
};
