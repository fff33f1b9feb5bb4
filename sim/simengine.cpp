#include "simengine.h"

bool SimEngine::handle(const SimPayload &, qint64, const SimCalibration &, bool, const SimReply &) { return false; }
