// Serial port on POSIX systems: termios in raw 8-bit mode. The output and
// input queue counts are TIOCOUTQ and FIONREAD.

#include "ports/posix_device.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ordalia {
namespace {

// The speeds this system's termios has, and what it offers beyond POSIX.
struct Speed {
    std::uint32_t baud;
    speed_t constant;
};
constexpr Speed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};
#ifdef CRTSCTS
constexpr tcflag_t kHardwareFlow = CRTSCTS;
#else
constexpr tcflag_t kHardwareFlow = 0;
#endif
// Mark and space parity; 0 where the system has neither.
#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif

bool speedConstant(std::uint32_t baud, speed_t& out) {
    for (const Speed& entry : kSpeeds) {
        if (entry.baud == baud) {
            out = entry.constant;
            return true;
        }
    }
    return false;
}

const DeviceAdvice kLineAdvice{
    .missing = "Check the cable, or map the entry to the right device in the file \"ports\" "
               "beside the program.",
    .permission = "Serial ports belong to the group dialout: add your user to it "
                  "(sudo usermod -aG dialout $USER), then log out and in again.",
    .busy = "",
};

// A raw 8-bit line at `settings` on top of what the driver had: no echo, no
// translation, no flow control, reads that return at once with what is there.
// Nothing when this system cannot set the parity; `why` says so.
std::optional<termios> rawLine(termios tio, const SerialSettings& settings, std::string* why) {
    // Raw mode by hand (cfmakeraw is not POSIX).
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | kHardwareFlow | kStickParity);
    tio.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t kDataBits[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |=
        settings.dataBits >= 5 && settings.dataBits <= 8 ? kDataBits[settings.dataBits - 5] : CS8;
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    const bool stick = settings.parity == 'm' || settings.parity == 's';
    if ((stick && kStickParity == 0) ||
        (!stick && settings.parity != 'n' && settings.parity != 'e' && settings.parity != 'o')) {
        *why = std::string("parity '") + settings.parity + "' is not supported by this system.";
        return std::nullopt;
    }
    if (settings.parity != 'n')
        tio.c_cflag |= PARENB;
    if (settings.parity == 'o' || settings.parity == 'm')
        tio.c_cflag |= PARODD;
    if (stick)
        tio.c_cflag |= kStickParity;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tio;
}

// Sets the line of the open `fd` to `settings`.
std::optional<PortError> setLine(int fd, const std::string& device, const SerialSettings& settings,
                                 speed_t speed) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return errorFromErrno(errno, device, kLineAdvice);
    std::string why;
    std::optional<termios> line = rawLine(tio, settings, &why);
    if (!line)
        return PortError{why};
    if (::cfsetispeed(&*line, speed) != 0 || ::cfsetospeed(&*line, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &*line) != 0) {
        if (errno == EINVAL)
            return PortError{device + " does not accept these line settings."};
        return errorFromErrno(errno, device, kLineAdvice);
    }
    return std::nullopt;
}

class PosixSerialPort final : public SerialPort {
public:
    ~PosixSerialPort() override { close(); }

    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        close();
        speed_t speed = 0;
        if (!speedConstant(settings.baud, speed))
            return PortError{"the speed " + std::to_string(settings.baud) +
                             " bit/s is not supported by this system."};
        PortError error;
        UniqueFd fd = openExclusive(device, kLineAdvice, error);
        if (!fd.valid())
            return error;
        if (auto lineError = setLine(fd.get(), device, settings, speed))
            return lineError;
        requestLowLatency(fd.get());
        // A reply an earlier operation left unread is not ours. The output side
        // is left alone: every send waits for its queue to empty, and on a
        // pseudo-terminal (whose queue always counts 0) a flush here would
        // throw away what the last operation wrote before the peer read it.
        ::tcflush(fd.get(), TCIFLUSH);
        m_fd = std::move(fd);
        m_device = device;
        m_settings = settings;
        return std::nullopt;
    }

    void close() override { closeExclusive(m_fd); }

    bool isOpen() const override { return m_fd.valid(); }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (!m_fd.valid())
            return PortError{"the port is not open."};
        // A driver whose buffer stays full for this long is not sending: the
        // peer holds it off or has gone. Never block forever.
        const auto limit = lineSendLimit(bytes.size(), m_settings);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd.get(), bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return errorFromErrno(errno, m_device, kLineAdvice);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return PortError{m_device + " took no more bytes for " +
                                 std::to_string(limit.count()) + " ms."};
            pollfd p{m_fd.get(), POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
            if (ready == 0)
                waitingOnDevice();
            if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT))
                return PortError{m_device + " has hung up."};
        }
        return std::nullopt;
    }

    bool waitForInput(std::chrono::milliseconds limit) override {
        return m_fd.valid() && waitReadable(m_fd.get(), limit);
    }

    int outputQueueCount() override {
        int count = 0;
        if (!m_fd.valid() || ::ioctl(m_fd.get(), TIOCOUTQ, &count) != 0)
            return -1;
        return count;
    }

    int inputQueueCount() override {
        int count = 0;
        if (!m_fd.valid() || ::ioctl(m_fd.get(), FIONREAD, &count) != 0)
            return -1;
        return count;
    }

    std::vector<std::uint8_t> readAll() override {
        std::vector<std::uint8_t> out;
        if (!m_fd.valid())
            return out;
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd.get(), buffer, sizeof buffer);
            if (n > 0) {
                out.insert(out.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break; // EAGAIN: nothing more waiting; 0 or an error: nothing to read
        }
        return out;
    }

private:
    UniqueFd m_fd;
    std::string m_device;
    SerialSettings m_settings;
};

} // namespace

std::unique_ptr<SerialPort> createLineSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

} // namespace ordalia
