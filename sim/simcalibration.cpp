#include "simcalibration.h"

bool SimCalibration::handle(const SimPayload &, qint64, const SimReply &) { return false; }
