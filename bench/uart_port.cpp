#include "uart_port.h"

#include <algorithm>

namespace ordalia::bench {

UartPort::UartPort(vprinter::PrinterModel& printer, std::size_t fifoSize, FifoLoad load)
    : ModelPort(printer), m_fifoSize(std::max<std::size_t>(fifoSize, 1)), m_load(load) {}

void UartPort::written(double t) {
    // The driver starts the transmitter at once when its FIFO has room.
    refillFifo();
    if (!m_shifting)
        startNext(t);
}

double UartPort::readableAt(double t) {
    const double start = std::max(t, m_replyLineFree);
    m_replyLineFree = start + byteSeconds();
    return m_replyLineFree;
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
    m_shiftEnds = t + byteSeconds();
    refillFifo();
}

void UartPort::runTo(double t) {
    while (m_shifting && m_shiftEnds <= t) {
        const double end = m_shiftEnds;
        m_shifting = false;
        deliver(m_shiftByte, end);
        startNext(end);
    }
}

} // namespace ordalia::bench
