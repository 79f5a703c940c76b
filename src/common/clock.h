#pragma once

#include <cstdint>

namespace ordalia {

// The millisecond clock every wait is measured on. tickMs() is a free-running
// 32-bit counter that wraps modulo 2^32, so elapsed time is always computed as
// an unsigned difference (see elapsedMs).
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary origin, wrapping modulo 2^32.
    virtual std::uint32_t tickMs() = 0;
    // Microseconds since an arbitrary origin, never going back; the drain
    // works out from it when the line will have sent what it was given.
    virtual std::uint64_t nowMicros() = 0;
    // Block the calling thread for at least `ms` milliseconds.
    virtual void sleepMs(std::uint32_t ms) = 0;
    // Block for at least `us` microseconds; used by the output-queue drain,
    // which must keep pace with the line rate without spinning a core.
    virtual void sleepMicros(std::uint32_t us) = 0;
};

// Time from `start` to `now` on the wrapping counter.
constexpr std::uint32_t elapsedMs(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

// The machine's steady clock, read the same way everywhere; each platform's
// system clock adds its own sleeps.
class SteadyClock : public Clock {
public:
    std::uint32_t tickMs() override;
    std::uint64_t nowMicros() override;
};

// The clock of the machine the program runs on.
Clock& systemClock();

} // namespace ordalia
