// Serial port on POSIX systems: termios in raw 8-bit mode. The output and
// input queue counts are TIOCOUTQ and FIONREAD.

#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ordalia {
namespace {

bool speedConstant(std::uint32_t baud, speed_t& out) {
    struct Entry {
        std::uint32_t baud;
        speed_t constant;
    };
    static constexpr Entry kSpeeds[] = {
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
    for (const auto& entry : kSpeeds) {
        if (entry.baud == baud) {
            out = entry.constant;
            return true;
        }
    }
    return false;
}

PortError errorFromErrno(int code, const std::string& device) {
    switch (code) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return {PortErrorKind::NoSuchPort,
                "there is no device " + device +
                    ". Check the cable, or map the entry to the right device in the file "
                    "\"ports\" beside the program."};
    case EACCES:
    case EPERM:
        return {PortErrorKind::AccessDenied,
                "permission denied on " + device +
                    ". Serial ports belong to the group dialout: add your user to it "
                    "(sudo usermod -aG dialout $USER), then log out and in again."};
    case EBUSY:
    case EWOULDBLOCK:
        return {PortErrorKind::InUse, device + " is in use by another program."};
    case ENOTTY:
        return {PortErrorKind::NoSuchPort, device + " is not a serial port."};
    case EIO:
        return {PortErrorKind::Disconnected,
                device + " has gone away (" + std::strerror(code) + ")."};
    default:
        return {PortErrorKind::Io, device + ": " + std::strerror(code) + "."};
    }
}

class PosixSerialPort final : public SerialPort {
public:
    ~PosixSerialPort() override { close(); }

    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        close();
        speed_t speed = 0;
        if (!speedConstant(settings.baud, speed))
            return PortError{PortErrorKind::BadSettings,
                             "the speed " + std::to_string(settings.baud) +
                                 " bit/s is not supported by this system."};
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errorFromErrno(errno, device);
        // Another program of ours, or one that also takes the lock, has it.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(fd);
            return errorFromErrno(code == EWOULDBLOCK ? EBUSY : code, device);
        }
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) {
            const int code = errno;
            ::close(fd);
            return errorFromErrno(code, device);
        }
        // Raw mode by hand (cfmakeraw is not POSIX).
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                              ICRNL | IXON | IXOFF | IXANY | INPCK);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
        tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
#ifdef CMSPAR
        tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
        tio.c_cflag |= CLOCAL | CREAD;
        switch (settings.dataBits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:
            tio.c_cflag |= CS8;
            break;
        }
        if (settings.stopBits == 2)
            tio.c_cflag |= CSTOPB;
        switch (settings.parity) {
        case 'e':
            tio.c_cflag |= PARENB;
            break;
        case 'o':
            tio.c_cflag |= PARENB | PARODD;
            break;
#ifdef CMSPAR
        case 'm':
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 's':
            tio.c_cflag |= PARENB | CMSPAR;
            break;
#endif
        case 'n':
            break;
        default:
            ::close(fd);
            return PortError{PortErrorKind::BadSettings, std::string("parity '") + settings.parity +
                                                             "' is not supported by this system."};
        }
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
            ::tcsetattr(fd, TCSANOW, &tio) != 0) {
            const int code = errno;
            ::close(fd);
            if (code == EINVAL)
                return PortError{PortErrorKind::BadSettings,
                                 device + " does not accept these line settings."};
            return errorFromErrno(code, device);
        }
        // A reply an earlier operation left unread is not ours. The output side
        // is left alone: every send waits for its queue to empty, and on a
        // pseudo-terminal (whose queue always counts 0) a flush here would
        // throw away what the last operation wrote before the peer read it.
        ::tcflush(fd, TCIFLUSH);
        m_fd = fd;
        m_device = device;
        m_settings = settings;
        return std::nullopt;
    }

    void close() override {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
            m_fd = -1;
        }
    }

    bool isOpen() const override {
        return m_fd >= 0;
    }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (m_fd < 0)
            return PortError{PortErrorKind::Io, "the port is not open."};
        // A driver whose buffer stays full for this long is not sending: the
        // peer holds it off or has gone. Never block forever.
        const auto lineMs = static_cast<long long>(bytes.size()) * m_settings.bitsPerByte() * 1000 /
                            std::max<std::uint32_t>(m_settings.baud, 1);
        const auto limit = std::chrono::milliseconds(2000 + 3 * lineMs);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return errorFromErrno(errno, m_device);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return PortError{PortErrorKind::Timeout, m_device + " took no more bytes for " +
                                                             std::to_string(limit.count()) +
                                                             " ms."};
            pollfd p{m_fd, POLLOUT, 0};
            const int ready =
                ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
            if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT))
                return PortError{PortErrorKind::Disconnected, m_device + " has hung up."};
        }
        return std::nullopt;
    }

    int outputQueueCount() override {
        int count = 0;
        if (m_fd < 0 || ::ioctl(m_fd, TIOCOUTQ, &count) != 0)
            return -1;
        return count;
    }

    int inputQueueCount() override {
        int count = 0;
        if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &count) != 0)
            return -1;
        return count;
    }

    std::vector<std::uint8_t> readAll() override {
        std::vector<std::uint8_t> out;
        if (m_fd < 0)
            return out;
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
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
    int m_fd = -1;
    std::string m_device;
    SerialSettings m_settings;
};

} // namespace

std::unique_ptr<SerialPort> createLineSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

} // namespace ordalia
