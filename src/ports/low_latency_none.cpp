// Systems whose serial drivers have no low-latency setting the program knows.

#include "ports/posix_device.h"

namespace ordalia {

void requestLowLatency(int) {}

} // namespace ordalia
