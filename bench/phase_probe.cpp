#include "phase_probe.h"

#include <ctime>

namespace ordalia::bench {

std::chrono::nanoseconds threadCpuTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

Mark markNow() {
    return {std::chrono::steady_clock::now(), threadCpuTime()};
}

PhaseProbe::PhaseProbe(SerialPort& inner, std::size_t dataBegin, std::size_t dataEnd,
                       bool endsWithReply)
    : m_inner(inner), m_dataBegin(dataBegin), m_dataEnd(dataEnd), m_endsWithReply(endsWithReply) {}

std::optional<PortError> PhaseProbe::open(const std::string& device,
                                          const SerialSettings& settings) {
    return m_inner.open(device, settings);
}

void PhaseProbe::close() {
    m_inner.close();
}

bool PhaseProbe::isOpen() const {
    return m_inner.isOpen();
}

std::optional<PortError> PhaseProbe::write(std::span<const std::uint8_t> bytes) {
    if (!m_begin && m_written <= m_dataBegin && m_dataBegin < m_written + bytes.size())
        m_begin = markNow();
    ++m_writes;
    auto error = m_inner.write(bytes);
    if (!error)
        m_written += bytes.size();
    return error;
}

int PhaseProbe::outputQueueCount() {
    ++m_queuePolls;
    const int waiting = m_inner.outputQueueCount();
    if (waiting == 0 && !m_endsWithReply && !m_end && m_begin && m_written >= m_dataEnd)
        m_end = markNow();
    return waiting;
}

int PhaseProbe::inputQueueCount() {
    return m_inner.inputQueueCount();
}

std::vector<std::uint8_t> PhaseProbe::readAll() {
    auto bytes = m_inner.readAll();
    if (!bytes.empty() && m_endsWithReply && !m_end && m_begin && m_written >= m_dataEnd)
        m_end = markNow();
    return bytes;
}

} // namespace ordalia::bench
