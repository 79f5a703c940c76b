#pragma once

// What the POSIX device files share: a descriptor that closes itself, the
// exclusive open every port makes, and the system's error codes in words.

#include "ports/serial_port.h"

#include <chrono>
#include <string>
#include <utility>

namespace ordalia {

// Owns a file descriptor; closes it unless released.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset();

private:
    int m_fd = -1;
};

// What a kind of device advises when it cannot be opened or used; each text
// follows the device's name.
struct DeviceAdvice {
    std::string missing;    // after "there is no device X. "
    std::string permission; // after "permission denied on X. "
    std::string busy;       // after "X is in use by another program", before "."
    // ENODEV: the device went away while open (a USB printer unplugged),
    // rather than a node with no device behind it.
    bool noDeviceIsGone = false;
};

// The system's error `code` on `device` as the user reads it.
PortError errorFromErrno(int code, const std::string& device, const DeviceAdvice& advice);

// Opens `device` for reading and writing without waiting, and takes its
// exclusive lock: a second program of ours, or any that also locks, is told
// the port is in use instead of sharing the line.
UniqueFd openExclusive(const std::string& device, const DeviceAdvice& advice, PortError& error);

// Lets go of the lock and closes.
void closeExclusive(UniqueFd& fd);

// The other programs that have `device` open, as "ModemManager (pid 812),
// cupsd (pid 99)"; empty when none is seen or the system does not tell.
std::string deviceHolders(const std::string& device);

// Asks a serial driver to hand over received bytes at once rather than
// gathering them: a USB-serial adapter's chip (an FTDI's latency timer) then
// sends each reply in the next USB frame instead of up to 16 ms later, which
// the thousands of answered blocks of a compound font feel. Where the driver
// or the system has no such setting (a pseudo-terminal), nothing changes.
void requestLowLatency(int fd);

// Waits up to `limit` for `fd` to have bytes to read, on the kernel's notice.
// False at once when it cannot be waited on so (it reports a hang-up or an
// error with nothing to read): the caller then looks on a clock of its own.
bool waitReadable(int fd, std::chrono::milliseconds limit);

} // namespace ordalia
