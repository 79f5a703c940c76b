#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// Line settings parsed from the settings string ("115200,n,8,1").
struct SerialSettings {
    std::uint32_t baud = 115200;
    char parity = 'n'; // n none, e even, o odd, m mark, s space
    int dataBits = 8;  // 5 to 8
    int stopBits = 1;  // 1 or 2

    // Bits on the line for one byte: start, data, parity, stop.
    int bitsPerByte() const { return 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits; }
};

// How long a line may take to send `bytes` before the peer is taken to have
// stopped it (flow control held off, cable pulled): three times their line
// time, plus two seconds for a driver that holds a few bytes back and a
// UART's FIFO. Writes and drains on a line are held to it.
std::chrono::milliseconds lineSendLimit(std::size_t bytes, const SerialSettings& settings);

// Parses "speed,parity,data,stop". Blanks around the fields are allowed;
// anything else that does not fit gives nothing and `error` says why.
std::optional<SerialSettings> parseSerialSettings(std::string_view text, std::string* error);

// Why a port could not be opened or used, in words for the user: what went
// wrong with which device and, where there is one, what to do about it.
struct PortError {
    std::string message;
};

// One serial port. Raw 8-bit transfer in both directions, no flow control, no
// translation. Every call but open() requires an open port.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens `device` (a path such as /dev/ttyUSB0, or COM3 on Windows) with
    // the given line settings and discards anything waiting in either queue.
    virtual std::optional<PortError> open(const std::string& device,
                                          const SerialSettings& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the bytes to the driver; returns once all of them are queued.
    // Never blocks for long: a line gives up after lineSendLimit(), a port
    // with no line after its own stall limit, and says so.
    virtual std::optional<PortError> write(std::span<const std::uint8_t> bytes) = 0;
    // Bytes written but not yet sent (TIOCOUTQ), or on a network not yet
    // acknowledged by the printer. Negative on error.
    virtual int outputQueueCount() = 0;
    // Whether a count of 0 means the device has the bytes. A network
    // connection on a system that does not tell what the printer has
    // acknowledged says no, and its count falls to 0 as soon as the system
    // has taken the bytes.
    virtual bool countsDelivery() const { return true; }
    // Bytes received and not yet read (FIONREAD). Negative on error.
    virtual int inputQueueCount() = 0;
    // Reads and returns everything waiting in the input queue.
    virtual std::vector<std::uint8_t> readAll() = 0;

    // Waits until the input queue holds a byte or `limit` has passed, on the
    // system's own notice of arriving bytes. A port that cannot wait so
    // returns false at once, and the caller looks at the queue on a clock of
    // its own.
    virtual bool waitForInput(std::chrono::milliseconds limit) {
        (void)limit;
        return false;
    }

    // What a call that waits on the device (a write to a slow line or to a
    // printer that takes no more, a connect) calls at least every
    // kWaitSlice while it waits, so the window goes on repainting. The
    // link sets it for as long as it uses the port.
    virtual void setWaitCallback(std::function<void()> callback) {
        m_waitCallback = std::move(callback);
    }

    static constexpr std::chrono::milliseconds kWaitSlice{50};

protected:
    void waitingOnDevice() {
        if (m_waitCallback)
            m_waitCallback();
    }

private:
    std::function<void()> m_waitCallback;
};

} // namespace ordalia
