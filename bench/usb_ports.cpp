#include "usb_ports.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ordalia::bench {
namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

// The first frame that starts at or after `t`.
std::int64_t frameFrom(double t) {
    // A hair below an exact frame start counts as that start.
    return static_cast<std::int64_t>(std::ceil(t / kUsbFrameSeconds - 1e-9));
}

double frameStart(std::int64_t frame) {
    return static_cast<double>(frame) * kUsbFrameSeconds;
}

} // namespace

// --- USB-serial adapter ---

void UsbSerialPort::written(double t) {
    // Frames pass unused while the driver has nothing; the next one it can
    // use starts at or after now.
    m_nextFrame = std::max(m_nextFrame, frameFrom(t));
}

double UsbSerialPort::readableAt(double t) {
    const double start = std::max(t, m_replyLineFree);
    m_replyLineFree = start + byteSeconds();
    const double timerRunsOut = std::ceil(m_replyLineFree / m_latencyTimer - 1e-9) * m_latencyTimer;
    return frameStart(frameFrom(timerRunsOut));
}

void UsbSerialPort::startFrame(double t) {
    ++m_nextFrame;
    const std::size_t size = std::min(kUsbPacketBytes, m_buffer.size());
    if (!m_inFlight.empty() || m_chip.size() + size > kChipBuffer)
        return;
    m_inFlight.assign(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(size));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(size));
    m_landsAt = t + kUsbPacketSeconds;
}

// The chip's transmitter is free at `t`.
void UsbSerialPort::startNext(double t) {
    m_shifting = !m_chip.empty();
    if (!m_shifting)
        return;
    m_shiftByte = m_chip.front();
    m_chip.pop_front();
    m_shiftEnds = t + byteSeconds();
}

void UsbSerialPort::runTo(double t) {
    // Three things happen, each at its own time; take them in time order.
    for (;;) {
        const double shiftEnds = m_shifting ? m_shiftEnds : kNever;
        const double lands = m_inFlight.empty() ? kNever : m_landsAt;
        const double frame = m_buffer.empty() ? kNever : frameStart(m_nextFrame);
        const double next = std::min({shiftEnds, lands, frame});
        if (next > t)
            return;
        if (next == shiftEnds) {
            deliver(m_shiftByte, next);
            startNext(next);
        } else if (next == lands) {
            m_chip.insert(m_chip.end(), m_inFlight.begin(), m_inFlight.end());
            m_inFlight.clear();
            if (!m_shifting)
                startNext(next);
        } else {
            startFrame(next);
        }
    }
}

// --- USB printer port ---

void UsbPrinterPort::written(double t) {
    m_nextFrame = std::max(m_nextFrame, frameFrom(t));
}

double UsbPrinterPort::readableAt(double t) {
    return frameStart(frameFrom(t));
}

void UsbPrinterPort::startFrame(double t) {
    ++m_nextFrame;
    for (int packet = 0; packet < kUsbPacketsPerFrame && !m_buffer.empty(); ++packet) {
        const std::size_t size = std::min(kUsbPacketBytes, m_buffer.size());
        if (m_printerBuffer.size() + m_inFlightBytes + size > kPrinterBuffer)
            return;
        const auto end = m_buffer.begin() + static_cast<std::ptrdiff_t>(size);
        m_inFlight.push_back({t + (packet + 1) * kUsbPacketSeconds, {m_buffer.begin(), end}});
        m_buffer.erase(m_buffer.begin(), end);
        m_inFlightBytes += size;
    }
}

// The printer is ready for its next byte at `t`.
void UsbPrinterPort::startNext(double t) {
    m_taking = !m_printerBuffer.empty();
    if (!m_taking)
        return;
    m_takenByte = m_printerBuffer.front();
    m_printerBuffer.pop_front();
    m_takenAt = t + 1.0 / kBytesPerSecond;
}

void UsbPrinterPort::runTo(double t) {
    for (;;) {
        const double taken = m_taking ? m_takenAt : kNever;
        const double lands = m_inFlight.empty() ? kNever : m_inFlight.front().landsAt;
        const double frame = m_buffer.empty() ? kNever : frameStart(m_nextFrame);
        const double next = std::min({taken, lands, frame});
        if (next > t)
            return;
        if (next == taken) {
            deliver(m_takenByte, next);
            startNext(next);
        } else if (next == lands) {
            const Packet& packet = m_inFlight.front();
            m_printerBuffer.insert(m_printerBuffer.end(), packet.bytes.begin(), packet.bytes.end());
            m_inFlightBytes -= packet.bytes.size();
            m_inFlight.pop_front();
            if (!m_taking)
                startNext(next);
        } else {
            startFrame(next);
        }
    }
}

} // namespace ordalia::bench
