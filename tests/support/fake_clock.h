#pragma once

#include "common/clock.h"

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace ordalia::testing {

// Virtual time: sleeping advances it at once, so a 10 s time-out takes no
// real time. The tick counter can start anywhere, to test its wrap.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::uint32_t startTick = 1000) : m_origin(startTick) {}

    std::uint32_t tickMs() override {
        ++m_reads;
        if (onTick)
            onTick(m_nowUs);
        return static_cast<std::uint32_t>(m_origin + m_nowUs / 1000);
    }
    std::uint64_t nowMicros() override { return m_origin * 1000 + m_nowUs; }
    void sleepMs(std::uint32_t ms) override { advanceUs(std::uint64_t{ms} * 1000 + oversleepUs); }
    void sleepMicros(std::uint32_t us) override { advanceUs(us + oversleepUs); }

    void advanceUs(std::uint64_t us) {
        m_nowUs += us;
        m_sleptUs += us;
        if (m_nowUs > m_limitUs)
            throw std::runtime_error("virtual clock ran past its limit: a wait that never ends");
        if (onAdvance)
            onAdvance(m_nowUs);
    }

    std::uint64_t nowUs() const { return m_nowUs; }
    std::uint64_t nowMs() const { return m_nowUs / 1000; }
    std::uint64_t sleptUs() const { return m_sleptUs; }
    std::uint64_t reads() const { return m_reads; }
    void setLimitMs(std::uint64_t ms) { m_limitUs = ms * 1000; }

    // Every sleep lasts this much longer, as on a busy machine.
    std::uint64_t oversleepUs = 0;
    // Called after every advance with the new virtual time in microseconds.
    std::function<void(std::uint64_t)> onAdvance;
    // Called at every read of the tick counter, before it answers.
    std::function<void(std::uint64_t)> onTick;

private:
    std::uint64_t m_origin;
    std::uint64_t m_nowUs = 0;
    std::uint64_t m_sleptUs = 0;
    std::uint64_t m_reads = 0;
    std::uint64_t m_limitUs = 3600ull * 1000 * 1000;
};

} // namespace ordalia::testing
