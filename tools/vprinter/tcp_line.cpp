#include "tcp_line.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ordalia::vprinter {

namespace {
constexpr int kReceiveBuffer = 4096;
} // namespace

TcpLine::~TcpLine() {
    close();
}

void TcpLine::listen(std::uint16_t port) {
    close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("cannot make a socket: ") + std::strerror(errno));
    // A printer restarted by a test takes its port back at once.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // A printer's receive buffer holds a few kilobytes; the system's default,
    // hundreds, would acknowledge a whole page the printer has not read.
    // Set before listening, so the connections taken have it from the start.
    const int buffer = kReceiveBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                                 reason);
    }
    m_listener = fd;
    m_port = ntohs(address.sin_port);
}

void TcpLine::close() {
    if (m_listener >= 0) {
        ::close(m_listener);
        m_listener = -1;
    }
}

std::string TcpLine::address() const {
    return "tcp://127.0.0.1:" + std::to_string(m_port);
}

int TcpLine::acceptWaiting() {
    if (m_listener < 0)
        return -1;
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return -1;
    // Replies go out as soon as they are due, as a printer's would.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

} // namespace ordalia::vprinter
