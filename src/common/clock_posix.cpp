#include "common/clock.h"

#include <chrono>
#include <thread>

namespace ordalia {
namespace {

class SystemClock final : public SteadyClock {
public:
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
