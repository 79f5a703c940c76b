// A network printer on POSIX systems: one TCP connection to its raw printing
// port. The output queue count is SIOCOUTQ (bytes the printer has not yet
// acknowledged), the input queue count FIONREAD; a connection the printer
// closed counts as a hang-up, as on a serial line.

#include "ports/bounded_call.h"
#include "ports/network_address.h"
#include "ports/posix_device.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ordalia {
namespace {

using SteadyClock = std::chrono::steady_clock;

PortError connectError(int code, const std::string& where) {
    switch (code) {
    case ECONNREFUSED:
        return networkError(NetworkFault::Refused, where);
    case ETIMEDOUT:
        return networkError(NetworkFault::NoAnswer, where);
    case ENETUNREACH:
    case EHOSTUNREACH:
        return networkError(NetworkFault::Unreachable, where);
    default:
        return networkError(NetworkFault::ConnectFailed, where, std::strerror(code));
    }
}

class PosixNetworkPort final : public SerialPort {
public:
    explicit PosixNetworkPort(NameLookup lookup) : m_lookup(lookup) {}
    ~PosixNetworkPort() override { close(); }

    std::optional<PortError> open(const std::string& device, const SerialSettings&) override {
        close();
        std::string why;
        const auto address = parseNetworkAddress(device, &why);
        if (!address)
            return PortError{why};
        m_where = hostAndPort(*address);

        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        // The lookup waits on the machine's resolver, which may never answer.
        const auto lookup =
            lookUpWithin(address->host, std::to_string(address->port), hints, kLookupLimit,
                         kWaitSlice, m_lookup, ::freeaddrinfo, [this] { waitingOnDevice(); });
        if (!lookup)
            return networkError(NetworkFault::LookupTimedOut, address->host);
        if (lookup->code != 0)
            return networkError(NetworkFault::UnknownHost, address->host,
                                ::gai_strerror(lookup->code));
        addrinfo* found = lookup->found;
        // Each address the name has, in the order given, within one limit.
        const auto deadline = SteadyClock::now() + kConnectLimit;
        int lastError = ETIMEDOUT;
        for (addrinfo* a = found; a && m_fd < 0; a = a->ai_next) {
            const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                    a->ai_protocol);
            if (fd < 0) {
                lastError = errno;
                continue;
            }
            lastError = connectWithin(fd, a->ai_addr, a->ai_addrlen, deadline);
            if (lastError == 0)
                m_fd = fd;
            else
                ::close(fd);
        }
        ::freeaddrinfo(found);
        if (m_fd < 0)
            return connectError(lastError, m_where);
        // Byte-at-a-time runs and the 12-byte requests go out as written,
        // not held back for an acknowledgement that comes only with more data.
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        const int idle = static_cast<int>(kKeepAliveIdle.count());
        const int interval = static_cast<int>(kKeepAliveInterval.count());
        const unsigned unacknowledged = static_cast<unsigned>(kUnacknowledgedLimit.count());
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof kKeepAliveProbes);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
        m_hungUp = false;
        return std::nullopt;
    }

    void close() override {
        if (m_fd < 0)
            return;
        // Unread input would make the close a reset, which may throw away the
        // last bytes before the printer has read them.
        (void)readAll();
        ::shutdown(m_fd, SHUT_WR);
        ::close(m_fd);
        m_fd = -1;
    }

    bool isOpen() const override { return m_fd >= 0; }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (m_fd < 0)
            return PortError{"the port is not open."};
        auto deadline = SteadyClock::now() + kWriteLimit;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                deadline = SteadyClock::now() + kWriteLimit;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return sendError(errno);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - SteadyClock::now());
            if (left.count() <= 0)
                return networkError(NetworkFault::Stalled, m_where);
            pollfd p{m_fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
            if (ready == 0)
                waitingOnDevice();
            if (ready > 0 && (p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLOUT)) {
                m_hungUp = true;
                return hangUp();
            }
        }
        return std::nullopt;
    }

    bool waitForInput(std::chrono::milliseconds limit) override {
        return m_fd >= 0 && !m_hungUp && waitReadable(m_fd, limit);
    }

    int outputQueueCount() override {
        int count = 0;
        if (m_fd < 0 || peerGone(POLLRDHUP | POLLHUP | POLLERR) ||
            ::ioctl(m_fd, SIOCOUTQ, &count) != 0)
            return -1;
        return count;
    }

    int inputQueueCount() override {
        int count = 0;
        if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &count) != 0)
            return -1;
        // What the printer sent before it closed is still its reply.
        if (count == 0 && peerGone(POLLRDHUP | POLLHUP | POLLERR))
            return -1;
        return count;
    }

    std::vector<std::uint8_t> readAll() override {
        std::vector<std::uint8_t> out;
        if (m_fd < 0)
            return out;
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                out.insert(out.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                m_hungUp = true; // closed by the printer, or reset
            break;
        }
        return out;
    }

private:
    int connectWithin(int fd, const sockaddr* address, socklen_t length,
                      SteadyClock::time_point deadline) {
        if (::connect(fd, address, length) == 0)
            return 0;
        if (errno != EINPROGRESS && errno != EINTR)
            return errno;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - SteadyClock::now());
            if (left.count() <= 0)
                return ETIMEDOUT;
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return errno;
            if (ready == 0) {
                waitingOnDevice();
                continue;
            }
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                return errno;
            return error;
        }
    }

    // The printer closed the connection or it was reset: seen once, it stays.
    bool peerGone(short events) {
        if (m_hungUp)
            return true;
        pollfd p{m_fd, static_cast<short>(events), 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (events | POLLNVAL)))
            m_hungUp = true;
        return m_hungUp;
    }

    PortError hangUp() const { return networkError(NetworkFault::ClosedByPrinter, m_where); }

    PortError sendError(int code) {
        if (code == EPIPE || code == ECONNRESET || code == ENOTCONN) {
            m_hungUp = true;
            return hangUp();
        }
        return networkError(NetworkFault::SendFailed, m_where, std::strerror(code));
    }

    NameLookup m_lookup;
    int m_fd = -1;
    bool m_hungUp = false;
    std::string m_where;
};

} // namespace

std::unique_ptr<SerialPort> createNetworkPort() {
    return std::make_unique<PosixNetworkPort>(::getaddrinfo);
}

std::unique_ptr<SerialPort> createNetworkPort(NameLookup lookup) {
    return std::make_unique<PosixNetworkPort>(lookup);
}

} // namespace ordalia
