#pragma once

#include "fake_clock.h"
#include "ports/serial_port.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ordalia::testing {

// A serial port modelled as a UART: written bytes wait in an output queue that
// empties one byte every bitsPerByte bits at the set speed on the virtual
// clock, after passing a FIFO of `fifoSize` bytes that the count does not
// show. Replies are scheduled on the same clock.
class FakeSerialPort final : public SerialPort {
public:
    explicit FakeSerialPort(FakeClock& clock) : m_clock(clock) {}

    struct Event {
        enum Kind { Open, Close, Write, Read } kind; // Read: only with logReads
        std::uint64_t atUs;
        std::vector<std::uint8_t> bytes; // Write only
    };

    // --- SerialPort ---
    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        openedDevices.push_back(device);
        if (openError)
            return openError;
        m_open = true;
        m_settings = settings;
        m_queued = 0;
        m_transit.clear();
        m_lastDrainUs = m_clock.nowUs();
        m_input.clear();
        events.push_back({Event::Open, m_clock.nowUs(), {}});
        return std::nullopt;
    }
    void close() override {
        if (!m_open)
            return;
        m_open = false;
        events.push_back({Event::Close, m_clock.nowUs(), {}});
    }
    bool isOpen() const override { return m_open; }
    bool countsDelivery() const override { return deliveryCounted; }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (writeError && written.size() + bytes.size() > failAfterBytes)
            return writeError;
        drain();
        if (usbLatencyUs > 0)
            m_transit.push_back({m_clock.nowUs() + usbLatencyUs, bytes.size()});
        else
            m_queued += bytes.size();
        written.insert(written.end(), bytes.begin(), bytes.end());
        events.push_back({Event::Write, m_clock.nowUs(), {bytes.begin(), bytes.end()}});
        if (onWrite)
            onWrite(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        return std::nullopt;
    }
    int outputQueueCount() override {
        ++outputPolls;
        if (stuck)
            return static_cast<int>(m_queued > 0 ? m_queued : 1);
        drain();
        const std::size_t hidden = std::min(m_queued, fifoSize);
        return static_cast<int>(m_queued - hidden + inTransit());
    }
    int inputQueueCount() override {
        logRead();
        if (disconnected)
            return -1;
        int count = 0;
        for (const auto& reply : m_input)
            if (reply.atUs <= m_clock.nowUs())
                count += static_cast<int>(reply.bytes.size());
        return count;
    }
    std::vector<std::uint8_t> readAll() override {
        logRead();
        std::vector<std::uint8_t> out;
        while (!m_input.empty() && m_input.front().atUs <= m_clock.nowUs()) {
            out.insert(out.end(), m_input.front().bytes.begin(), m_input.front().bytes.end());
            m_input.pop_front();
        }
        return out;
    }

    // --- scripting ---
    // Makes `bytes` arrive `afterMs` from now.
    void reply(std::vector<std::uint8_t> bytes, std::uint64_t afterMs = 0) {
        const std::uint64_t at = m_clock.nowUs() + afterMs * 1000;
        auto it = m_input.begin();
        while (it != m_input.end() && it->atUs <= at)
            ++it;
        m_input.insert(it, {at, std::move(bytes)});
    }
    const SerialSettings& settings() const { return m_settings; }
    std::size_t queued() {
        drain();
        return m_queued + inTransit();
    }

    std::vector<std::uint8_t> written;
    std::vector<Event> events;
    std::vector<std::string> openedDevices;
    std::optional<PortError> openError;
    std::optional<PortError> writeError; // returned once more than failAfterBytes were written
    std::size_t failAfterBytes = 0;
    bool stuck = false;          // the queue never empties (flow control held off)
    bool deliveryCounted = true; // false: a count of 0 does not mean the printer has the bytes
    bool disconnected = false;   // input counts fail
    std::size_t fifoSize = 16;
    std::uint64_t outputPolls = 0;
    bool logReads = false; // input counts and reads go into `events` too
    // A USB adapter: written bytes count as waiting, and the line starts on
    // them, only this long after write(); its chip's buffer is the FIFO.
    std::uint64_t usbLatencyUs = 0;
    std::function<void(const std::vector<std::uint8_t>&)> onWrite;

private:
    void logRead() {
        if (logReads)
            events.push_back({Event::Read, m_clock.nowUs(), {}});
    }

    struct Reply {
        std::uint64_t atUs;
        std::vector<std::uint8_t> bytes;
    };

    std::size_t inTransit() const {
        std::size_t bytes = 0;
        for (const auto& t : m_transit)
            bytes += t.second;
        return bytes;
    }
    void drain() {
        const std::uint64_t now = m_clock.nowUs();
        while (!m_transit.empty() && m_transit.front().first <= now) {
            drainTo(m_transit.front().first);
            m_queued += m_transit.front().second;
            m_transit.pop_front();
        }
        drainTo(now);
    }
    void drainTo(std::uint64_t now) {
        const std::uint64_t usPerByte = std::uint64_t{1000000} * m_settings.bitsPerByte() /
                                        std::max<std::uint32_t>(m_settings.baud, 1);
        if (usPerByte == 0) {
            m_queued = 0;
        } else {
            const std::uint64_t sent = (now - m_lastDrainUs) / usPerByte;
            if (sent >= m_queued) {
                m_queued = 0;
                m_lastDrainUs = now;
            } else {
                m_queued -= sent;
                m_lastDrainUs += sent * usPerByte;
            }
        }
        if (m_queued == 0)
            m_lastDrainUs = now;
    }

    FakeClock& m_clock;
    bool m_open = false;
    SerialSettings m_settings;
    std::size_t m_queued = 0;
    std::uint64_t m_lastDrainUs = 0;
    std::deque<Reply> m_input;
    std::deque<std::pair<std::uint64_t, std::size_t>> m_transit; // reaches the chip at, bytes
};

} // namespace ordalia::testing
