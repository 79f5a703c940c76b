#include "common/clock.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

// Older headers lack it; Windows 10 1803 and later take it.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace ordalia {
namespace {

// Windows sleeps in whole ticks of its timer, 15.6 ms unless a program asks
// for less, and std::this_thread::sleep_for below a millisecond returns at
// once or sleeps a whole tick. The drain and the reply wait look at the queue
// every fraction of a millisecond, so they sleep on a high-resolution
// waitable timer instead; where the system refuses one (before Windows 10
// 1803), on Sleep with the timer period raised to 1 ms. Either way a wait
// sleeps, and costs no more processor time than it does on Linux.
class WaitTimer {
public:
    WaitTimer()
        : m_timer(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                         TIMER_ALL_ACCESS)) {
        if (!m_timer)
            m_periodRaised = timeBeginPeriod(1) == TIMERR_NOERROR;
    }
    ~WaitTimer() {
        if (m_timer)
            CloseHandle(m_timer);
        if (m_periodRaised)
            timeEndPeriod(1);
    }
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    void sleepMicros(std::uint64_t us) {
        if (m_timer) {
            LARGE_INTEGER due;
            due.QuadPart = -static_cast<LONGLONG>(us * 10); // relative, in 100 ns units
            if (SetWaitableTimer(m_timer, &due, 0, nullptr, nullptr, FALSE) &&
                WaitForSingleObject(m_timer, INFINITE) == WAIT_OBJECT_0)
                return;
        }
        // Rounded up: Sleep(0) only yields, and a wait must not spin.
        Sleep(static_cast<DWORD>((us + 999) / 1000));
    }

private:
    HANDLE m_timer = nullptr;
    bool m_periodRaised = false;
};

class SystemClock final : public SteadyClock {
public:
    void sleepMs(std::uint32_t ms) override { timer().sleepMicros(std::uint64_t{ms} * 1000); }
    void sleepMicros(std::uint32_t us) override { timer().sleepMicros(us); }

private:
    // One timer a thread: a waitable timer set by two threads at once would
    // wake only one of them.
    static WaitTimer& timer() {
        thread_local WaitTimer waitTimer;
        return waitTimer;
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace ordalia
