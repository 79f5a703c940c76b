#pragma once

#include "ports/serial_port.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace ordalia::bench {

// Processor time of the calling thread: the program's own work, without the
// virtual printer's thread in the same process.
std::chrono::nanoseconds threadCpuTime();

// A moment seen from the program: the wall clock and its thread's CPU time.
struct Mark {
    std::chrono::steady_clock::time_point wall;
    std::chrono::nanoseconds cpu{0};
};
Mark markNow();

// Sits between an operation and its port and marks where the data phase
// begins and, as far as the program can tell, ends. Everything is passed on
// unchanged.
//
// The data phase is bytes [dataBegin, dataEnd) of everything written. It
// begins with the write that hands over byte dataBegin. It ends, for the
// program, when the output queue is first seen empty after byte dataEnd - 1
// was written, or, with endsWithReply, when the reply to the last data is
// read.
class PhaseProbe final : public SerialPort {
public:
    PhaseProbe(SerialPort& inner, std::size_t dataBegin, std::size_t dataEnd, bool endsWithReply);

    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override;
    void close() override;
    bool isOpen() const override;
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override;
    int outputQueueCount() override;
    int inputQueueCount() override;
    std::vector<std::uint8_t> readAll() override;

    const std::optional<Mark>& begin() const { return m_begin; }
    const std::optional<Mark>& end() const { return m_end; }
    std::size_t written() const { return m_written; }
    // How often the program asked for the output queue count and wrote.
    std::uint64_t queuePolls() const { return m_queuePolls; }
    std::uint64_t writes() const { return m_writes; }

private:
    SerialPort& m_inner;
    std::size_t m_dataBegin;
    std::size_t m_dataEnd;
    bool m_endsWithReply;
    std::size_t m_written = 0;
    std::uint64_t m_queuePolls = 0;
    std::uint64_t m_writes = 0;
    std::optional<Mark> m_begin;
    std::optional<Mark> m_end;
};

} // namespace ordalia::bench
