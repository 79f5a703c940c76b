#include "common/clock.h"

#include <chrono>
#include <thread>

namespace ordalia {
namespace {

class SystemClock final : public Clock {
public:
    std::uint32_t tickMs() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
        return static_cast<std::uint32_t>(ms);
    }
    std::uint64_t nowMicros() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    }
    void sleepMs(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    void sleepMicros(std::uint32_t us) override {
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace ordalia
