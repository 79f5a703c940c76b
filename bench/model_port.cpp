#include "model_port.h"

#include <algorithm>

namespace ordalia::bench {

ModelPort::ModelPort(vprinter::PrinterModel& printer) : m_printer(printer) {}

double ModelPort::seconds(Clock::time_point at) const {
    return std::chrono::duration<double>(at - m_epoch).count();
}

ModelPort::Clock::time_point ModelPort::pointOf(double t) const {
    return m_epoch + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(t));
}

// Works the model out to now; false once the deadline has passed.
bool ModelPort::advance() {
    const auto now = Clock::now();
    if (m_stopped)
        return false;
    if (m_deadline && now >= *m_deadline) {
        runTo(seconds(*m_deadline));
        if (m_deliveredAt.size() <= m_deadlineIndex) {
            m_stopped = true;
            return false;
        }
        m_deadline.reset();
    }
    m_now = seconds(now);
    runTo(m_now);
    // Time passes for the printer too: programming ends, replies fall due.
    m_printer.advance(now);
    queueReplies(now, m_now);
    return true;
}

void ModelPort::queueReplies(Clock::time_point at, double t) {
    for (const std::uint8_t reply : m_printer.takeDueReplies(at))
        m_incoming.push_back({readableAt(t), reply});
}

void ModelPort::deliver(std::uint8_t byte, double t) {
    m_deliveredAt.push_back(t);
    const auto at = pointOf(t);
    m_printer.receive(byte, at);
    queueReplies(at, t);
}

std::optional<PortError> ModelPort::open(const std::string&, const SerialSettings& settings) {
    if (!advance())
        return PortError{"the benchmark's time limit has passed."};
    m_byteSeconds =
        static_cast<double>(settings.bitsPerByte()) / std::max<std::uint32_t>(settings.baud, 1);
    m_open = true;
    // As the real port does on opening: what waited in the input is dropped.
    while (!m_incoming.empty() && m_incoming.front().at <= m_now)
        m_incoming.pop_front();
    return std::nullopt;
}

void ModelPort::close() {
    advance();
    m_open = false;
}

std::optional<PortError> ModelPort::write(std::span<const std::uint8_t> bytes) {
    if (!m_open)
        return PortError{"the port is not open."};
    if (!advance())
        return PortError{"the benchmark's time limit has passed."};
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_written += bytes.size();
    written(m_now);
    return std::nullopt;
}

int ModelPort::outputQueueCount() {
    if (!advance())
        return -1;
    return static_cast<int>(waiting());
}

int ModelPort::inputQueueCount() {
    if (!advance())
        return -1;
    int count = 0;
    for (const auto& arrival : m_incoming) {
        if (arrival.at > m_now)
            break;
        ++count;
    }
    return count;
}

std::vector<std::uint8_t> ModelPort::readAll() {
    std::vector<std::uint8_t> out;
    if (!advance())
        return out;
    while (!m_incoming.empty() && m_incoming.front().at <= m_now) {
        out.push_back(m_incoming.front().byte);
        m_incoming.pop_front();
    }
    return out;
}

std::optional<ModelPort::Clock::time_point> ModelPort::deliveredAt(std::size_t index) const {
    if (index >= m_deliveredAt.size())
        return std::nullopt;
    return pointOf(m_deliveredAt[index]);
}

} // namespace ordalia::bench
