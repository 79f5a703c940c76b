#pragma once

#include <cstdint>
#include <string>

namespace ordalia::vprinter {

// The virtual printer as a network printer: a socket listening on the
// loopback address, from which one connection at a time is taken.
class TcpLine {
public:
    TcpLine() = default;
    ~TcpLine();
    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // Listens on 127.0.0.1:`port`; 0 takes any free port. Throws
    // std::runtime_error when the port cannot be had.
    void listen(std::uint16_t port);
    // Stops listening: the printer is gone, a connection is refused.
    void close();
    bool listening() const { return m_listener >= 0; }

    // "tcp://127.0.0.1:PORT", the address the program opens.
    std::string address() const;
    std::uint16_t port() const { return m_port; }

    // A connection waiting to be taken, as a non-blocking descriptor the
    // caller owns; -1 when none is waiting.
    int acceptWaiting();

private:
    int m_listener = -1;
    std::uint16_t m_port = 0;
};

} // namespace ordalia::vprinter
