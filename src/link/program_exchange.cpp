#include "link/program_exchange.h"

#include "common/clock.h"
#include "common/ui.h"

namespace ordalia {

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
            label.setCaption(captions[i]);
            if (bar && i + 1 == captions.size())
                bar->step();
            events.processEvents();
            clock.sleepMs(kProgrammingCaptionMs);
        }
    }
}

bool ConfirmRestart(PrinterLink& link, std::int32_t timeoutMs, RestartPoll poll) {
    link.OpenSerialPort();
    for (const std::uint8_t b : kPrinterIdQuery)
        link.SendSerialByte(b);

    Clock& clock = link.services().clock;
    const std::uint32_t start = clock.tickMs();
    // The limit is signed: a negative one ends after the first poll.
    const std::int64_t limit = timeoutMs;
    for (;;) {
        if (poll == RestartPoll::Sleep1Ms)
            clock.sleepMs(1);
        const int waiting = link.inputQueueCount();
        const std::uint32_t now = clock.tickMs();
        if (waiting != 0 || static_cast<std::int64_t>(elapsedMs(start, now)) > limit)
            break;
    }

    // Counted once more: an answer that came just after the last poll counts.
    if (link.inputQueueCount() != 0) {
        link.discardInput();
        for (const std::uint8_t b : kTestPageCommand)
            link.SendSerialByte(b);
        link.CloseSerialPort();
        return true;
    }
    link.CloseSerialPort();
    return false;
}

} // namespace ordalia
