#include "uart_port.h"

#include <algorithm>

namespace ordalia::bench {

UartPort::UartPort(vprinter::PrinterModel& printer, std::size_t fifoSize, FifoLoad load)
    : m_printer(printer), m_fifoSize(std::max<std::size_t>(fifoSize, 1)), m_load(load) {}

double UartPort::seconds(Clock::time_point at) const {
    return std::chrono::duration<double>(at - m_epoch).count();
}

UartPort::Clock::time_point UartPort::pointOf(double t) const {
    return m_epoch + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(t));
}

std::optional<PortError> UartPort::open(const std::string&, const SerialSettings& settings) {
    const auto now = Clock::now();
    advance(now);
    m_byteSeconds =
        static_cast<double>(settings.bitsPerByte()) / std::max<std::uint32_t>(settings.baud, 1);
    m_open = true;
    // As the real port does on opening: what waited in the input is dropped.
    const double t = seconds(now);
    while (!m_incoming.empty() && m_incoming.front().at <= t)
        m_incoming.pop_front();
    return std::nullopt;
}

void UartPort::close() {
    advance(Clock::now());
    m_open = false;
}

std::optional<PortError> UartPort::write(std::span<const std::uint8_t> bytes) {
    if (!m_open)
        return PortError{PortErrorKind::Io, "the port is not open."};
    const auto now = Clock::now();
    advance(now);
    const double t = seconds(now);
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_written += bytes.size();
    // The driver starts the transmitter at once when its FIFO has room.
    refillFifo();
    if (!m_shifting)
        startNext(t);
    return std::nullopt;
}

int UartPort::outputQueueCount() {
    advance(Clock::now());
    return static_cast<int>(m_buffer.size());
}

int UartPort::inputQueueCount() {
    const auto now = Clock::now();
    advance(now);
    const double t = seconds(now);
    int count = 0;
    for (const auto& arrival : m_incoming) {
        if (arrival.at > t)
            break;
        ++count;
    }
    return count;
}

std::vector<std::uint8_t> UartPort::readAll() {
    const auto now = Clock::now();
    advance(now);
    const double t = seconds(now);
    std::vector<std::uint8_t> out;
    while (!m_incoming.empty() && m_incoming.front().at <= t) {
        out.push_back(m_incoming.front().byte);
        m_incoming.pop_front();
    }
    return out;
}

std::optional<UartPort::Clock::time_point> UartPort::sentAt(std::size_t index) const {
    if (index >= m_sentAt.size())
        return std::nullopt;
    return pointOf(m_sentAt[index]);
}

void UartPort::loadFifo() {
    while (m_fifo.size() < m_fifoSize && !m_buffer.empty()) {
        m_fifo.push_back(m_buffer.front());
        m_buffer.pop_front();
    }
}

void UartPort::refillFifo() {
    if (m_load == FifoLoad::WhenEmpty && !m_fifo.empty())
        return;
    loadFifo();
}

// The shift register is free at `t`: it takes the next byte of the FIFO, and
// the FIFO is loaded again from the driver's buffer.
void UartPort::startNext(double t) {
    refillFifo();
    if (m_fifo.empty()) {
        m_shifting = false;
        return;
    }
    m_shiftByte = m_fifo.front();
    m_fifo.pop_front();
    m_shifting = true;
    m_shiftEnds = t + m_byteSeconds;
    refillFifo();
}

void UartPort::deliver(std::uint8_t byte, double t) {
    m_sentAt.push_back(t);
    const auto at = pointOf(t);
    m_printer.receive(byte, at);
    for (const std::uint8_t reply : m_printer.takeDueReplies(at)) {
        const double start = std::max(t, m_replyLineFree);
        m_replyLineFree = start + m_byteSeconds;
        m_incoming.push_back({m_replyLineFree, reply});
    }
}

void UartPort::advance(Clock::time_point now) {
    const double t = seconds(now);
    while (m_shifting && m_shiftEnds <= t) {
        const double end = m_shiftEnds;
        m_shifting = false;
        deliver(m_shiftByte, end);
        startNext(end);
    }
    // Time passes for the printer too: programming ends, replies fall due.
    m_printer.advance(now);
    for (const std::uint8_t reply : m_printer.takeDueReplies(now)) {
        const double start = std::max(t, m_replyLineFree);
        m_replyLineFree = start + m_byteSeconds;
        m_incoming.push_back({m_replyLineFree, reply});
    }
}

} // namespace ordalia::bench
