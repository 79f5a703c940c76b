#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace ordalia::testing {

// A printer on the loopback that never reads: a listener with the smallest
// receive buffer that accepts nothing, so a connection waits in its backlog,
// takes a few kilobytes and then nothing more (a printer whose buffer is full,
// jammed with its paper out). fillBacklog() makes it answer no connection.
struct LoopbackListener {
    LoopbackListener() {
        const int small = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(fd, 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        where = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    }
    ~LoopbackListener() {
        for (const int c : clients)
            ::close(c);
        ::close(fd);
    }
    // Connections that wait unaccepted until the backlog takes no more.
    void fillBacklog() {
        for (int i = 0; i < 4; ++i) {
            clients.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            sockaddr_in address{};
            socklen_t length = sizeof address;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
            ::connect(clients.back(), reinterpret_cast<sockaddr*>(&address), length);
        }
        ::usleep(100000);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    std::string where;
    std::vector<int> clients;
};

} // namespace ordalia::testing
