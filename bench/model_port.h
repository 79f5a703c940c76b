#pragma once

#include "ports/serial_port.h"
#include "printer_model.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace ordalia::bench {

// What the port models in this folder share: a serial port in this process
// with the printer model on the far end, and no thread. Each call works the
// model out from the real time, so a program that is late to refill the
// driver's buffer leaves the far end idle exactly as long as it would be with
// a real port, and the process's CPU time is the program's own (plus this
// arithmetic).
//
// Written bytes go into the driver's buffer (m_buffer); a model moves them on
// to the printer in its own way and says what the output-queue count is. The
// printer's replies become readable when the model says.
class ModelPort : public SerialPort {
public:
    using Clock = std::chrono::steady_clock;

    explicit ModelPort(vprinter::PrinterModel& printer);

    std::optional<PortError> open(const std::string& device, const SerialSettings& settings) final;
    void close() final;
    bool isOpen() const final { return m_open; }
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) final;
    int outputQueueCount() final;
    int inputQueueCount() final;
    std::vector<std::uint8_t> readAll() final;

    // Bytes handed to write() since the port was made.
    std::size_t writtenCount() const { return m_written; }
    // Bytes that have reached the printer model.
    std::size_t deliveredCount() const { return m_deliveredAt.size(); }
    // When byte `index` (counted over all writes) reached the printer model;
    // nothing while it is still on its way.
    std::optional<Clock::time_point> deliveredAt(std::size_t index) const;

    // If byte `index` has not reached the printer by `at`, the port behaves
    // from then on as one that was unplugged (writes fail, the counts are
    // negative), so a transfer far slower than its floor ends instead of
    // running on for many minutes. What follows that byte is not limited.
    void setDeadline(Clock::time_point at, std::size_t index) {
        m_deadline = at;
        m_deadlineIndex = index;
    }
    bool stopped() const { return m_stopped; }

protected:
    // Moves everything on its way up to time `t` (seconds since the port was
    // made), calling deliver() for each byte as it reaches the printer.
    virtual void runTo(double t) = 0;
    // Bytes were added to m_buffer at `t`.
    virtual void written(double t) = 0;
    // What the output-queue count says.
    virtual std::size_t waiting() const = 0;
    // When a reply byte the printer sends at `t` can be read by the program.
    virtual double readableAt(double t) = 0;

    void deliver(std::uint8_t byte, double t);
    double byteSeconds() const { return m_byteSeconds; }

    std::deque<std::uint8_t> m_buffer; // the driver's

private:
    bool advance();
    double seconds(Clock::time_point at) const;
    Clock::time_point pointOf(double t) const;
    void queueReplies(Clock::time_point at, double t);

    vprinter::PrinterModel& m_printer;
    bool m_open = false;
    double m_byteSeconds = 10.0 / 115200.0;
    Clock::time_point m_epoch = Clock::now();
    std::optional<Clock::time_point> m_deadline;
    std::size_t m_deadlineIndex = 0;
    bool m_stopped = false;
    double m_now = 0;

    std::size_t m_written = 0;
    std::vector<double> m_deliveredAt; // per byte

    struct Arrival {
        double at;
        std::uint8_t byte;
    };
    std::deque<Arrival> m_incoming; // replies on their way back
};

} // namespace ordalia::bench
