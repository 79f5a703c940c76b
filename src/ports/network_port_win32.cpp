// A network printer on Windows: one TCP connection through Winsock to the
// printer's raw printing port. The output queue counts the bytes the printer
// has not acknowledged, from what send() took, what the system has sent and
// what is still in flight (SIO_TCP_INFO, Windows 10 1703 and later). Where
// the system has no such count the port says so (countsDelivery) and counts
// 0 once send() has taken the bytes. The input queue count is FIONREAD. A
// connection the printer closed counts as a hang-up, as on a serial line.

// TCP_INFO_v0 is declared for Windows 10 1703 and later; the port asks at run
// time whether the system has it.
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000003
#include "ports/bounded_call.h"
#include "ports/network_address.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"
#include "ports/win32_device.h"

#include <algorithm>
#include <chrono>
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which it needs.
#include <mstcpip.h>

namespace ordalia {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Winsock is started once for the life of the program.
bool winsockStarted() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

PortError connectError(int code, const std::string& where) {
    switch (code) {
    case WSAECONNREFUSED:
        return networkError(NetworkFault::Refused, where);
    case WSAETIMEDOUT:
        return networkError(NetworkFault::NoAnswer, where);
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return networkError(NetworkFault::Unreachable, where);
    default:
        return networkError(NetworkFault::ConnectFailed, where, systemMessage(code));
    }
}

// Connects within the deadline, calling `waiting` between slices of the wait.
template <typename Waiting>
int connectWithin(SOCKET s, const sockaddr* address, int length, SteadyClock::time_point deadline,
                  Waiting waiting) {
    if (::connect(s, address, length) == 0)
        return 0;
    const int started = WSAGetLastError();
    if (started != WSAEWOULDBLOCK)
        return started;
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLWRNORM;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0)
            return WSAETIMEDOUT;
        const int ready =
            WSAPoll(&p, 1, static_cast<INT>(std::min(left, SerialPort::kWaitSlice).count()));
        if (ready == SOCKET_ERROR)
            return WSAGetLastError();
        if (ready > 0)
            break;
        waiting();
    }
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    // A refused connection shows as POLLERR with SO_ERROR set, or as POLLHUP.
    if (error == 0 && (p.revents & (POLLERR | POLLHUP)))
        return WSAECONNREFUSED;
    return error;
}

class Win32NetworkPort final : public SerialPort {
public:
    explicit Win32NetworkPort(NameLookup lookup) : m_lookup(lookup) {}
    ~Win32NetworkPort() override { close(); }

    std::optional<PortError> open(const std::string& device, const SerialSettings&) override {
        close();
        std::string why;
        const auto address = parseNetworkAddress(device, &why);
        if (!address)
            return PortError{why};
        m_where = hostAndPort(*address);
        if (!winsockStarted())
            return PortError{"the network is not available (WSAStartup)."};

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
                                systemMessage(lookup->code));
        addrinfo* found = lookup->found;
        const auto deadline = SteadyClock::now() + kConnectLimit;
        int lastError = WSAETIMEDOUT;
        for (addrinfo* a = found; a && m_socket == INVALID_SOCKET; a = a->ai_next) {
            const SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == INVALID_SOCKET) {
                lastError = WSAGetLastError();
                continue;
            }
            u_long nonBlocking = 1;
            ::ioctlsocket(s, FIONBIO, &nonBlocking);
            lastError = connectWithin(s, a->ai_addr, static_cast<int>(a->ai_addrlen), deadline,
                                      [this] { waitingOnDevice(); });
            if (lastError == 0)
                m_socket = s;
            else
                ::closesocket(s);
        }
        ::freeaddrinfo(found);
        if (m_socket == INVALID_SOCKET)
            return connectError(lastError, m_where);
        const BOOL on = TRUE;
        ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on);
        ::setsockopt(m_socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on),
                     sizeof on);
        // Windows probes ten times (Vista and later) at the interval.
        tcp_keepalive keepAlive{};
        keepAlive.onoff = 1;
        keepAlive.keepalivetime =
            static_cast<ULONG>(std::chrono::milliseconds(kKeepAliveIdle).count());
        keepAlive.keepaliveinterval =
            static_cast<ULONG>(std::chrono::milliseconds(kKeepAliveInterval).count());
        DWORD returned = 0;
        WSAIoctl(m_socket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned,
                 nullptr, nullptr);
        m_hungUp = false;
        m_taken = 0;
        m_countsDelivery = tcpInfo().has_value();
        return std::nullopt;
    }

    bool countsDelivery() const override { return m_countsDelivery; }

    void close() override {
        if (m_socket == INVALID_SOCKET)
            return;
        // Unread input would make the close a reset, which may throw away the
        // last bytes before the printer has read them.
        (void)readAll();
        ::shutdown(m_socket, SD_SEND);
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }

    bool isOpen() const override { return m_socket != INVALID_SOCKET; }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (m_socket == INVALID_SOCKET)
            return PortError{"the port is not open."};
        auto deadline = SteadyClock::now() + kWriteLimit;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - done, 65536));
            const int n =
                ::send(m_socket, reinterpret_cast<const char*>(bytes.data() + done), chunk, 0);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                m_taken += static_cast<std::uint64_t>(n);
                deadline = SteadyClock::now() + kWriteLimit;
                continue;
            }
            const int code = WSAGetLastError();
            if (code != WSAEWOULDBLOCK)
                return sendError(code);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - SteadyClock::now());
            if (left.count() <= 0)
                return networkError(NetworkFault::Stalled, m_where);
            WSAPOLLFD p{};
            p.fd = m_socket;
            p.events = POLLWRNORM;
            const int ready = WSAPoll(&p, 1, static_cast<INT>(std::min(left, kWaitSlice).count()));
            if (ready == 0)
                waitingOnDevice();
            if (ready > 0 && (p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLWRNORM)) {
                m_hungUp = true;
                return hangUp();
            }
        }
        return std::nullopt;
    }

    bool waitForInput(std::chrono::milliseconds limit) override {
        if (m_socket == INVALID_SOCKET || m_hungUp)
            return false;
        WSAPOLLFD p{};
        p.fd = m_socket;
        p.events = POLLRDNORM;
        const int ready = WSAPoll(&p, 1, static_cast<INT>(limit.count()));
        // A closed or failed connection is seen by the caller's count.
        return ready == 0 || (ready > 0 && (p.revents & POLLRDNORM));
    }

    int outputQueueCount() override {
        if (m_socket == INVALID_SOCKET || peerGone())
            return -1;
        if (!m_countsDelivery)
            return 0;
        const auto info = tcpInfo();
        if (!info)
            return -1;
        // Taken by send() but not yet sent, and sent but not acknowledged.
        const std::uint64_t unsent = m_taken > info->BytesOut ? m_taken - info->BytesOut : 0;
        return static_cast<int>(std::min<std::uint64_t>(unsent + info->BytesInFlight, 0x7FFFFFFF));
    }

    int inputQueueCount() override {
        u_long count = 0;
        if (m_socket == INVALID_SOCKET || ::ioctlsocket(m_socket, FIONREAD, &count) != 0)
            return -1;
        if (count == 0 && peerGone())
            return -1;
        return static_cast<int>(std::min<u_long>(count, 0x7FFFFFFF));
    }

    std::vector<std::uint8_t> readAll() override {
        std::vector<std::uint8_t> out;
        if (m_socket == INVALID_SOCKET)
            return out;
        char buffer[4096];
        for (;;) {
            const int n = ::recv(m_socket, buffer, sizeof buffer, 0);
            if (n > 0) {
                out.insert(out.end(), buffer, buffer + n);
                continue;
            }
            if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
                m_hungUp = true;
            break;
        }
        return out;
    }

private:
    std::optional<TCP_INFO_v0> tcpInfo() const {
        DWORD version = 0;
        TCP_INFO_v0 info{};
        DWORD returned = 0;
        if (WSAIoctl(m_socket, SIO_TCP_INFO, &version, sizeof version, &info, sizeof info,
                     &returned, nullptr, nullptr) != 0 ||
            returned < sizeof info)
            return std::nullopt;
        return info;
    }

    // The printer closed the connection or it was reset: seen once, it stays.
    // A closed connection reads as ready with nothing to read.
    bool peerGone() {
        if (m_hungUp)
            return true;
        WSAPOLLFD p{};
        p.fd = m_socket;
        p.events = POLLRDNORM;
        if (WSAPoll(&p, 1, 0) > 0) {
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
                m_hungUp = true;
            } else if (p.revents & POLLRDNORM) {
                char probe = 0;
                const int n = ::recv(m_socket, &probe, 1, MSG_PEEK);
                if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
                    m_hungUp = true;
            }
        }
        return m_hungUp;
    }

    PortError hangUp() const { return networkError(NetworkFault::ClosedByPrinter, m_where); }

    PortError sendError(int code) {
        if (code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN ||
            code == WSAENOTCONN) {
            m_hungUp = true;
            return hangUp();
        }
        return networkError(NetworkFault::SendFailed, m_where, systemMessage(code));
    }

    NameLookup m_lookup;
    SOCKET m_socket = INVALID_SOCKET;
    bool m_hungUp = false;
    bool m_countsDelivery = false;
    std::uint64_t m_taken = 0; // bytes send() has taken since the connection was made
    std::string m_where;
};

} // namespace

std::unique_ptr<SerialPort> createNetworkPort() {
    return std::make_unique<Win32NetworkPort>(::getaddrinfo);
}

std::unique_ptr<SerialPort> createNetworkPort(NameLookup lookup) {
    return std::make_unique<Win32NetworkPort>(lookup);
}

} // namespace ordalia
