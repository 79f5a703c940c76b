#include "link/serial_port.h"
#include "link/system_ports.h"

namespace ordalia {

// Not reachable on this system yet.
std::unique_ptr<SerialPort> createUsbPrinterPort() {
    return nullptr;
}

} // namespace ordalia
