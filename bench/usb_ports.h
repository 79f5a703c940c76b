#pragma once

#include "model_port.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace ordalia::bench {

// USB full speed: the host schedules transfers in 1 ms frames, and a frame
// has room for 19 bulk packets of 64 bytes. A packet lands a nineteenth of a
// frame after it starts.
inline constexpr double kUsbFrameSeconds = 0.001;
inline constexpr std::size_t kUsbPacketBytes = 64;
inline constexpr int kUsbPacketsPerFrame = 19;
inline constexpr double kUsbPacketSeconds = kUsbFrameSeconds / kUsbPacketsPerFrame;

// A USB-serial adapter (the usual way a technician's laptop reaches a
// receipt printer's serial port).
//
// write() fills the driver's buffer. The driver moves up to 64 bytes per USB
// transfer into the adapter chip's 128-byte buffer: one transfer a frame, at
// a frame's start, and only when the chip has room for all of it (a chip
// without room refuses the packet and the host tries again next frame). The
// chip sends at the line rate, and each byte reaches the printer model when
// its stop bit has gone. The output-queue count is what the driver still
// holds: its buffer and the transfer in flight, not what the chip holds. So a
// sender that waits for the count to reach 0 after each byte gets about one
// byte a frame, whatever the line's speed.
//
// A reply crosses the line at the line rate and waits in the chip for its
// latency timer: the chip hands the host what it holds (fewer than 62 bytes)
// only each time the timer runs out, and the host reads it at the next
// frame's start. The timer runs out every 16 ms as the driver leaves it, every
// 1 ms once the port is opened with the low-latency flag; at 1 ms a reply is
// read at the next frame's start.
class UsbSerialPort final : public ModelPort {
public:
    static constexpr std::size_t kChipBuffer = 128;
    static constexpr double kLowLatencyTimer = 0.001;
    static constexpr double kDefaultLatencyTimer = 0.016;

    explicit UsbSerialPort(vprinter::PrinterModel& printer, double latencyTimer = kLowLatencyTimer)
        : ModelPort(printer), m_latencyTimer(latencyTimer) {}

private:
    void runTo(double t) override;
    void written(double t) override;
    std::size_t waiting() const override { return m_buffer.size() + m_inFlight.size(); }
    double readableAt(double t) override;

    void startFrame(double t);
    void startNext(double t);

    std::int64_t m_nextFrame = 0; // the first frame not yet looked at
    std::vector<std::uint8_t> m_inFlight;
    double m_landsAt = 0;
    std::deque<std::uint8_t> m_chip;
    bool m_shifting = false;
    std::uint8_t m_shiftByte = 0;
    double m_shiftEnds = 0;
    double m_replyLineFree = 0;
    double m_latencyTimer;
};

// A printer's own USB port (a CDC device, seen as a serial port), with no
// serial line at all.
//
// write() fills the driver's buffer. Each frame the host moves up to 19
// packets of 64 bytes into the printer's 4 KB receive buffer, as long as it
// has room for the next packet. The printer takes bytes out of that buffer at
// its print speed, 20 kB/s for a fast receipt printer, and each byte reaches
// the printer model as it is taken. The output-queue count is the bytes not
// yet in the printer's buffer. A reply is read at the next frame's start.
class UsbPrinterPort final : public ModelPort {
public:
    static constexpr std::size_t kPrinterBuffer = 4096;
    static constexpr double kBytesPerSecond = 20000;

    explicit UsbPrinterPort(vprinter::PrinterModel& printer) : ModelPort(printer) {}

private:
    void runTo(double t) override;
    void written(double t) override;
    std::size_t waiting() const override { return m_buffer.size() + m_inFlightBytes; }
    double readableAt(double t) override;

    void startFrame(double t);
    void startNext(double t);

    std::int64_t m_nextFrame = 0;
    struct Packet {
        double landsAt;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Packet> m_inFlight;
    std::size_t m_inFlightBytes = 0;
    std::deque<std::uint8_t> m_printerBuffer;
    bool m_taking = false;
    std::uint8_t m_takenByte = 0;
    double m_takenAt = 0;
};

} // namespace ordalia::bench
