#include "ports/serial_port.h"
#include "ports/system_ports.h"

namespace ordalia {

// Not reachable on this system yet.
std::unique_ptr<SerialPort> createUsbPrinterPort() {
    return nullptr;
}

} // namespace ordalia
