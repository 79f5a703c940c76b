#include "link/program_exchange.h"

#include "common/clock.h"
#include "common/ui.h"
#include "link/link_timing.h"

#include <algorithm>

namespace ordalia {

namespace {

// Waits `ms` from `start` in slices, pumping the window's events after each
// one that does not end the wait.
void waitPumping(Clock& clock, EventPump& events, std::uint32_t start, std::uint32_t ms) {
    for (;;) {
        const std::uint32_t elapsed = elapsedMs(start, clock.tickMs());
        if (elapsed >= ms)
            return;
        clock.sleepMs(std::min(kPumpIntervalMs, ms - elapsed));
        if (elapsedMs(start, clock.tickMs()) >= ms)
            return;
        events.processEvents();
    }
}

} // namespace

void SendProgramRequest(PrinterLink& link, std::uint8_t op) {
    for (const std::uint8_t b : ProgramRequest(op))
        link.SendSerialByte(b);
}

bool ExpectAck(PrinterLink& link, Dialogs& dialogs) {
    const std::uint8_t reply = link.RS_ACK();
    if (reply == kReplyAccepted)
        return true;
    link.CloseSerialPort();
    dialogs.message(reply == kReplyNone ? kConnectingErrorMessage : kIrcCheckErrorMessage);
    return false;
}

void ShowProgrammingWait(StatusLabel& label, std::span<const std::string_view> captions, int cycles,
                         ProgressBar* bar, Clock& clock, EventPump& events) {
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (std::size_t i = 0; i < captions.size(); ++i) {
            // Each caption's second is counted from when it was set, so the
            // time the pumped events take does not stretch the wait.
            const std::uint32_t shownAt = clock.tickMs();
            label.setCaption(captions[i]);
            if (bar && i + 1 == captions.size())
                bar->step();
            events.processEvents();
            waitPumping(clock, events, shownAt, kProgrammingCaptionMs);
        }
    }
}

RestartCheck ConfirmRestart(PrinterLink& link, std::int32_t timeoutMs, RestartPoll poll) {
    try {
        link.OpenSerialPort();
        for (const std::uint8_t b : kPrinterIdQuery)
            link.SendSerialByte(b);
        link.flush(); // the time limit runs from when the printer has the query

        Clock& clock = link.services().clock;
        EventPump& events = link.services().events;
        const std::uint32_t start = clock.tickMs();
        std::uint32_t pumpedAt = start;
        // The window last had its events before the port was reopened.
        events.processEvents();
        // The limit is signed: a negative one ends after the first poll.
        const std::int64_t limit = timeoutMs;
        for (;;) {
            if (poll == RestartPoll::Sleep1Ms)
                clock.sleepMs(1);
            const int waiting = link.inputQueueCount();
            const std::uint32_t now = clock.tickMs();
            if (waiting != 0 || static_cast<std::int64_t>(elapsedMs(start, now)) > limit)
                break;
            if (elapsedMs(pumpedAt, now) >= kPumpIntervalMs) {
                events.processEvents();
                pumpedAt = now;
            }
        }

        // Counted once more: an answer that came just after the last poll counts.
        if (link.inputQueueCount() != 0) {
            link.discardInput();
            for (const std::uint8_t b : kTestPageCommand)
                link.SendSerialByte(b);
            link.CloseSerialPort();
            return {true, std::nullopt};
        }
        link.CloseSerialPort();
        return {};
    } catch (const LinkError& error) {
        link.CloseSerialPort();
        return {false, std::string(error.what())};
    }
}

} // namespace ordalia
