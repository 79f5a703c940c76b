// The low-latency flag of Linux serial drivers (ASYNC_LOW_LATENCY through
// TIOCSSERIAL); the USB-serial drivers turn it into a 1 ms latency timer.

#include "ports/posix_device.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace ordalia {

void requestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

} // namespace ordalia
