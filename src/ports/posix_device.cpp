#include "ports/posix_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

namespace ordalia {

void UniqueFd::reset() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

PortError errorFromErrno(int code, const std::string& device, const DeviceAdvice& advice) {
    if (code == EIO || (code == ENODEV && advice.noDeviceIsGone))
        return {device + " has gone away (" + std::strerror(code) + ")."};
    switch (code) {
    case ENODEV:
    case ENOENT:
    case ENXIO:
        return {"there is no device " + device + ". " + advice.missing};
    case EACCES:
    case EPERM:
        return {"permission denied on " + device + ". " + advice.permission};
    case EBUSY:
    case EWOULDBLOCK: {
        const std::string holders = deviceHolders(device);
        return {device + " is in use by another program" +
                (holders.empty() ? advice.busy : " (" + holders + ")") + "."};
    }
    case ENOTTY:
        return {device + " is not a serial port."};
    default:
        return {device + ": " + std::strerror(code) + "."};
    }
}

UniqueFd openExclusive(const std::string& device, const DeviceAdvice& advice, PortError& error) {
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        error = errorFromErrno(errno, device, advice);
        return fd;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        error = errorFromErrno(errno == EWOULDBLOCK ? EBUSY : errno, device, advice);
        fd.reset();
    }
    return fd;
}

void closeExclusive(UniqueFd& fd) {
    if (fd.valid())
        ::flock(fd.get(), LOCK_UN);
    fd.reset();
}

bool waitReadable(int fd, std::chrono::milliseconds limit) {
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&p, 1, static_cast<int>(limit.count()));
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return false;
    return ready == 0 || (p.revents & POLLIN);
}

} // namespace ordalia
