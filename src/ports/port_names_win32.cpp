#include "ports/port_names.h"

namespace ordalia {

// The names Windows gives its ports are the devices themselves: COM n is COMn
// whether or not the machine has it, and opening one it lacks says so.
PortName unmappedPortName(int portNumber, const std::vector<FoundPort>& found) {
    PortName name;
    name.device = "COM" + std::to_string(portNumber);
    for (const FoundPort& port : found) {
        if (port.device == name.device)
            name.description = port.description;
    }
    return name;
}

} // namespace ordalia
