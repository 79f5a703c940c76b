#pragma once

#include "link/serial_port.h"
#include "printer_model.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace ordalia::bench {

// A serial port in this process, modelled on a 16550 UART behind a driver's
// output buffer, with the printer model on the far end of the wire.
//
// Written bytes wait in the driver's buffer; that count is what
// outputQueueCount() says, as TIOCOUTQ does. The bytes pass a FIFO of
// `fifoSize` that the count does not show, and the transmitter shifts one
// byte out every bitsPerByte bits at the set speed. The FIFO takes bytes from
// the buffer as room frees (FifoLoad::AsRoomFrees), or, as a 16550 driven by
// its transmit-holding-register-empty interrupt, up to fifoSize at a time
// once it has run empty (FifoLoad::WhenEmpty). Each byte reaches the printer model when
// its stop bit has gone; the printer's replies come back on the other wire at
// the same speed.
//
// There is no thread: the wire is worked out from the real time at every
// call, so a program that is late to refill the buffer leaves the line idle
// exactly as long as it would be on a real port, and the process's CPU time
// is the program's own (plus this arithmetic).
class UartPort final : public SerialPort {
public:
    using Clock = std::chrono::steady_clock;

    enum class FifoLoad { AsRoomFrees, WhenEmpty };

    explicit UartPort(vprinter::PrinterModel& printer, std::size_t fifoSize = 16,
                      FifoLoad load = FifoLoad::AsRoomFrees);

    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override;
    int outputQueueCount() override;
    int inputQueueCount() override;
    std::vector<std::uint8_t> readAll() override;

    // Bytes handed to write() since the port was made.
    std::size_t writtenCount() const { return m_written; }
    // When byte `index` (counted over all writes) had left the wire; nothing
    // while it is still on its way.
    std::optional<Clock::time_point> sentAt(std::size_t index) const;

private:
    void advance(Clock::time_point now);
    void startNext(double t);
    void loadFifo();
    void refillFifo();
    void deliver(std::uint8_t byte, double t);
    double seconds(Clock::time_point at) const;
    Clock::time_point pointOf(double t) const;

    vprinter::PrinterModel& m_printer;
    std::size_t m_fifoSize;
    FifoLoad m_load;
    bool m_open = false;
    double m_byteSeconds = 10.0 / 115200.0;
    Clock::time_point m_epoch = Clock::now();

    std::deque<std::uint8_t> m_buffer; // the driver's, counted
    std::deque<std::uint8_t> m_fifo;   // the UART's, not counted
    bool m_shifting = false;
    std::uint8_t m_shiftByte = 0;
    double m_shiftEnds = 0;

    std::size_t m_written = 0;
    std::vector<double> m_sentAt; // per byte, when its stop bit had gone

    struct Arrival {
        double at;
        std::uint8_t byte;
    };
    std::deque<Arrival> m_incoming; // replies on the wire back
    double m_replyLineFree = 0;
};

} // namespace ordalia::bench
