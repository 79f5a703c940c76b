#include "link/port_names.h"

namespace ordalia {

std::string defaultPortDevice(int portNumber) {
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

} // namespace ordalia
