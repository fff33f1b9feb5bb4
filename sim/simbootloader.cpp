#include "simbootloader.h"

bool SimBootloader::handle(const SimPayload &, qint64, const SimReply &) { return false; }
