#pragma once

#include "model_port.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace ordalia::bench {

// A serial port modelled on a 16550 UART behind a driver's output buffer.
//
// Written bytes wait in the driver's buffer; that count is what
// outputQueueCount() says, as TIOCOUTQ does. The bytes pass a FIFO of
// `fifoSize` that the count does not show, and the transmitter shifts one
// byte out every bitsPerByte bits at the set speed. The FIFO takes bytes from
// the buffer as room frees (FifoLoad::AsRoomFrees), or, as a 16550 driven by
// its transmit-holding-register-empty interrupt, up to fifoSize at a time
// once it has run empty (FifoLoad::WhenEmpty). Each byte reaches the printer
// model when its stop bit has gone; the printer's replies come back on the
// other wire at the same speed.
class UartPort final : public ModelPort {
public:
    enum class FifoLoad { AsRoomFrees, WhenEmpty };

    explicit UartPort(vprinter::PrinterModel& printer, std::size_t fifoSize = 16,
                      FifoLoad load = FifoLoad::AsRoomFrees);

private:
    void runTo(double t) override;
    void written(double t) override;
    std::size_t waiting() const override { return m_buffer.size(); }
    double readableAt(double t) override;

    void startNext(double t);
    void loadFifo();
    void refillFifo();

    std::size_t m_fifoSize;
    FifoLoad m_load;

    std::deque<std::uint8_t> m_fifo; // the UART's, not counted
    bool m_shifting = false;
    std::uint8_t m_shiftByte = 0;
    double m_shiftEnds = 0;
    double m_replyLineFree = 0;
};

} // namespace ordalia::bench
