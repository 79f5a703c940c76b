#include "link/port_names.h"

namespace ordalia {

std::string defaultPortDevice(int portNumber) {
    return "COM" + std::to_string(portNumber);
}

} // namespace ordalia
