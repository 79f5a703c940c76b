#include "link/printer_link.h"

#include "common/clock.h"
#include "common/ui.h"
#include "link/link_timing.h"
#include "ports/network_address.h"
#include "ports/parallel_port.h"
#include "ports/port_names.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

namespace ordalia {

PrinterLink::PrinterLink(const Services& services, LinkChoice choice)
    : m_services(services), m_choice(std::move(choice)), m_lastPumpMs(m_services.clock.tickMs()) {
    if (m_choice.networkSelected)
        m_device = m_choice.host.empty() ? "" : std::string(kNetworkScheme) + m_choice.host;
    else if (!m_choice.device.empty())
        m_device = m_choice.device;
    else if (m_choice.portIndex > 0) {
        m_portName = resolvePortName(m_choice.portIndex, m_services.programFolder);
        m_device = m_portName.device;
        m_deviceError = m_portName.error;
    }
    // A port call that waits on its device (a slow write, a connect) lets the
    // window process its events between its slices, as the link's own waits do.
    m_services.serial.setWaitCallback([this] {
        m_services.events.processEvents();
        m_lastPumpMs = m_services.clock.tickMs();
    });
}

PrinterLink::~PrinterLink() {
    // Whatever way an operation leaves, the bytes it handed over go out and
    // the port does not stay open. A failure here has no one left to tell.
    try {
        flush();
    } catch (...) {
    }
    if (m_services.serial.isOpen())
        m_services.serial.close();
    m_services.serial.setWaitCallback({});
    m_services.parallel.release();
}

std::string PrinterLink::portDescription() const {
    if (m_choice.networkSelected)
        return m_device.empty() ? "the network printer" : m_device;
    if (!m_choice.device.empty())
        return m_choice.device;
    if (m_choice.portIndex <= 0)
        return "the port list entry";
    if (m_device.empty())
        return "COM " + std::to_string(m_choice.portIndex);
    return "COM " + std::to_string(m_choice.portIndex) + " (" + m_device + ")";
}

void PrinterLink::fail(const std::string& what) {
    // The operation ends here; held bytes must not go out when it closes,
    // nor its close wait on what the port left.
    m_run.clear();
    m_leftWaiting = false;
    throw LinkError(what);
}

void PrinterLink::keepWindowAlive() {
    if (elapsedMs(m_lastPumpMs, m_services.clock.tickMs()) < kPumpIntervalMs)
        return;
    m_services.events.processEvents();
    m_lastPumpMs = m_services.clock.tickMs();
}

void PrinterLink::OpenSerialPort() {
    flush();
    if (m_choice.networkSelected && m_choice.host.empty())
        fail("No network printer is given. Please type its address (host or host:port) "
             "beside \"Network\".");
    if (!m_choice.networkSelected && m_choice.device.empty() && m_choice.portIndex < 0)
        fail("The text in the port list is none of its entries, so no port can be opened. "
             "Please choose COM 1 to COM 8 from the list.");
    if (!m_choice.networkSelected && m_choice.device.empty() && m_choice.portIndex == 0)
        fail("No serial port is chosen: the port list shows its blank entry. Please choose "
             "COM 1 to COM 8 from the list.");
    m_hasLine = deviceHasLine(m_device);
    std::string why;
    const auto settings = parseSerialSettings(m_choice.settings, &why);
    // With no line the settings are not used, so a text the line could not
    // take stops nothing.
    if (!settings && m_hasLine)
        fail(why);
    m_settings = settings.value_or(SerialSettings{});
    if (m_device.empty())
        fail("Cannot open " + portDescription() + ": " + m_deviceError);
    if (m_services.serial.isOpen())
        m_services.serial.close();
    if (auto error = m_services.serial.open(m_device, m_settings))
        fail("Cannot open " + portDescription() + ": " + error->message);
    m_services.dialogs.portOpened(portDescription());
    // From now on the entry means this device, plugged in or not.
    if (m_choice.device.empty() && !m_choice.networkSelected && m_choice.portIndex > 0)
        pinPortName(m_choice.portIndex, m_portName, m_services.programFolder);
    m_lineSinceUs = 0;
    m_lineBytes = 0;
    m_unconfirmed = false;
}

void PrinterLink::CloseSerialPort() {
    try {
        flush();
        if (m_unconfirmed && m_services.serial.isOpen() && !m_services.serial.countsDelivery())
            confirmDelivery();
    } catch (const LinkError&) {
        if (m_services.serial.isOpen())
            m_services.serial.close();
        throw;
    }
    if (m_services.serial.isOpen())
        m_services.serial.close();
}

void PrinterLink::confirmDelivery() {
    // A printer reads the stream in order and answers a real-time status
    // query as soon as it reads it, so its answer shows it has read every
    // byte sent before the query.
    (void)m_services.serial.readAll();
    const std::array<std::uint8_t, 3> query = {kDleEot[0], kDleEot[1], kStatusPrinter};
    if (auto error = m_services.serial.write(query))
        fail("Sending to " + portDescription() + " failed: " + error->message);
    Clock& clock = m_services.clock;
    const std::uint32_t start = clock.tickMs();
    do {
        if (!m_services.serial.waitForInput(std::chrono::milliseconds(kPumpIntervalMs)))
            clock.sleepMicros(kReplyPollUs);
        if (m_services.serial.inputQueueCount() < 0)
            break;
        for (const std::uint8_t b : m_services.serial.readAll())
            if (isStatusByte(b)) {
                m_unconfirmed = false;
                return;
            }
        keepWindowAlive();
    } while (elapsedMs(start, clock.tickMs()) <= kConfirmWaitMs);
    fail("The bytes went out to " + portDescription() + ", but the printer did not answer a " +
         "status query sent after them within " + std::to_string(kConfirmWaitMs / 1000) +
         " s, so it may not have received them all. Is it on line, with paper?");
}

std::size_t PrinterLink::runLimit() const {
    const std::uint64_t byteUs = std::max<std::uint64_t>(lineMicros(1), 1);
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(kRunLineUs / byteUs, 1, kRunMaxBytes));
}

void PrinterLink::SendSerialByte(std::uint8_t b) {
    if (!m_services.serial.isOpen())
        fail("The port " + portDescription() + " is not open.");
    // A caller that hands bytes over slower than the line sends them gets
    // them written with the next one, not held for a whole run.
    // With no line a run leaves the port with up to kNoLineRunWindow bytes
    // still unacknowledged; whatever comes next drains to empty.
    const std::size_t leave = m_hasLine ? 0 : kNoLineRunWindow;
    if (!m_run.empty() && m_services.clock.nowMicros() - m_runSinceUs >= kRunLineUs)
        flush(leave);
    if (m_run.empty())
        m_runSinceUs = m_services.clock.nowMicros();
    m_run.push_back(b);
    if (m_run.size() >= runLimit())
        flush(leave);
}

void PrinterLink::flush(std::size_t leaveWaiting) {
    if (m_run.empty()) {
        // Bytes an earlier run left unacknowledged are settled here too, or
        // a page whose last run went out whole would end before the printer
        // had it.
        if (leaveWaiting == 0 && std::exchange(m_leftWaiting, false))
            drainOutput(0, 0);
        return;
    }
    // Taken out first: a failure (which drops the run) must not send it again.
    const std::vector<std::uint8_t> run = std::exchange(m_run, {});
    m_leftWaiting = leaveWaiting > 0;
    writeAndDrain(run, leaveWaiting);
}

void PrinterLink::SendSerialBlock(std::span<const std::uint8_t> bytes) {
    flush();
    writeAndDrain(bytes);
}

void PrinterLink::writeAndDrain(std::span<const std::uint8_t> bytes, std::size_t leaveWaiting) {
    if (!m_services.serial.isOpen())
        fail("The port " + portDescription() + " is not open.");
    if (auto error = m_services.serial.write(bytes))
        fail("Sending to " + portDescription() + " failed: " + error->message);
    const std::uint64_t now = m_services.clock.nowMicros();
    if (now >= lineDryAtUs()) {
        m_lineSinceUs = now;
        m_lineBytes = 0;
    }
    m_lineBytes += bytes.size();
    m_unconfirmed = true;
    drainOutput(bytes.size(), leaveWaiting);
    // A run that went straight into a FIFO sleeps on nothing; the pump still
    // comes every kPumpIntervalMs across the runs of a page.
    keepWindowAlive();
}

std::uint64_t PrinterLink::lineMicros(std::size_t bytes) const {
    if (!m_hasLine)
        return 0;
    const std::uint64_t bits = static_cast<std::uint64_t>(m_settings.bitsPerByte());
    const std::uint64_t baud = std::max<std::uint32_t>(m_settings.baud, 1);
    return bytes * bits * 1000000 / baud;
}

void PrinterLink::drainOutput(std::size_t bytesWritten, std::size_t leaveWaiting) {
    // A line held to its send limit has stopped sending (flow control held
    // off, cable pulled) and is reported. With no line, what counts is a
    // count that stops falling for as long as the line's fixed part.
    const std::uint64_t limitMs =
        static_cast<std::uint64_t>(lineSendLimit(m_hasLine ? bytesWritten : 0, m_settings).count());

    Clock& clock = m_services.clock;
    std::uint32_t start = clock.tickMs();
    const std::uint64_t leadUs = std::max<std::uint64_t>(kDrainLeadUs, lineMicros(2));
    int before = -1;
    std::uint64_t noLineLookUs = kNoLineLookUs;
    for (;;) {
        const int waiting = m_services.serial.outputQueueCount();
        if (waiting < 0)
            fail("The port " + portDescription() + " stopped answering while sending.");
        if (static_cast<std::size_t>(waiting) <= leaveWaiting)
            return;
        // With no line the bytes leave as fast as the printer takes them, a
        // slow page at print speed: only a count that stops falling is a fault.
        if (!m_hasLine && before >= 0 && waiting < before) {
            start = clock.tickMs();
            noLineLookUs = kNoLineLookUs;
        } else if (!m_hasLine && before >= 0) {
            // A printer taking its bytes slowly (printing them) is looked at
            // less often, so many printers at once do not keep a core busy.
            noLineLookUs = std::min(noLineLookUs * 2, kNoLineSlowLookUs);
        }
        before = waiting;
        if (elapsedMs(start, clock.tickMs()) > limitMs)
            fail("The port " + portDescription() + " did not send " + std::to_string(waiting) +
                 " waiting bytes within " + std::to_string(limitMs) +
                 " ms. Is the printer on line and the cable connected?");
        const std::uint64_t now = clock.nowMicros();
        const std::uint64_t dryAt = lineDryAtUs();
        const std::uint64_t aheadUs = dryAt > now ? dryAt - now : 0;
        // Far ahead of the line: look again after a USB frame, until the lead
        // is left. A port with no line behind it (a printer's own USB port)
        // takes bytes as fast as the printer prints, faster than the speed
        // it was opened with, and only its count tells; a UART's or a USB
        // adapter's count cannot reach 0 before its chip has room, so the
        // printer still gets nothing faster than the line empties. Within the
        // lead the count is the truth: on a UART it cannot reach 0 sooner
        // than its bytes take on the line, and then the FIFO still holds its
        // own lead.
        const std::uint64_t sleepUs =
            !m_hasLine         ? noLineLookUs
            : aheadUs > leadUs ? std::min(aheadUs - leadUs, kDrainLookUs)
                               : std::min(lineMicros(static_cast<std::size_t>(waiting)), leadUs);
        clock.sleepMicros(static_cast<std::uint32_t>(
            std::clamp<std::uint64_t>(sleepUs, kDrainMinSleepUs, kDrainMaxSleepUs)));
        keepWindowAlive();
    }
}

void PrinterLink::SendParallelByte(std::uint8_t b) {
    flush();
    if (m_choice.parallelIndex != 0 && m_choice.parallelIndex != 1)
        return;
    const std::uint16_t base = kLptBase[m_choice.parallelIndex];
    const std::string name = "LPT" + std::to_string(m_choice.parallelIndex + 1);
    ParallelPort& port = m_services.parallel;
    Clock& clock = m_services.clock;

    const std::uint32_t start = clock.tickMs();
    for (;;) {
        const auto status = port.read(base + 1);
        if (!status)
            fail("Cannot reach " + name + ": " + port.lastError());
        if ((*status & kParallelReadyMask) == kParallelReadyMask)
            break;
        if (elapsedMs(start, clock.tickMs()) > kParallelReadyLimitMs)
            fail("The printer on " + name + " has not been ready for " +
                 std::to_string(kParallelReadyLimitMs / 1000) +
                 " s. Is it on line and does it have paper?");
        clock.sleepMicros(50);
        keepWindowAlive();
    }
    if (!port.write(base, b) || !port.write(base + 2, kStrobeOn) ||
        !port.write(base + 2, kStrobeOff))
        fail("Writing to " + name + " failed: " + port.lastError());
}

std::uint8_t PrinterLink::RS_ACK() {
    flush();
    m_unconfirmed = false; // the reply, or none, says it
    Clock& clock = m_services.clock;
    const std::uint32_t start = clock.tickMs();
    int waiting = 0;
    std::uint32_t now = start;
    do {
        // The port's own notice of arriving bytes where it has one, in
        // slices between which the window is pumped. Otherwise: a reply
        // follows the last byte by a byte time or two, and looking every
        // fifth of a millisecond sees it at once without spinning a core,
        // which matters to the compound font's 2,000 and more answered blocks.
        if (!m_services.serial.waitForInput(std::chrono::milliseconds(kPumpIntervalMs)))
            clock.sleepMicros(kReplyPollUs);
        waiting = inputQueueCount();
        now = clock.tickMs();
        if (waiting == 0)
            keepWindowAlive();
    } while (waiting == 0 && elapsedMs(start, now) <= kReplyWaitMs);

    // Counted again: a reply that arrived just after the last poll still counts.
    if (inputQueueCount() == 0)
        return kReplyNone;
    const auto reply = m_services.serial.readAll();
    if (reply.empty())
        return kReplyNone;
    return reply.front() == kAckByte ? kReplyAccepted : kReplyRefused;
}

void PrinterLink::DelayMs(std::int32_t ms) {
    flush();
    Clock& clock = m_services.clock;
    std::uint32_t start = clock.tickMs();
    for (;;) {
        m_services.events.processEvents();
        const std::uint32_t now = clock.tickMs();
        m_lastPumpMs = now;
        if (now < start)
            start = now;
        if (static_cast<std::int64_t>(now - start) >= ms)
            return;
        // One millisecond between passes keeps the window alive without
        // spinning a core for the whole wait.
        clock.sleepMs(1);
    }
}

int PrinterLink::inputQueueCount() {
    flush();
    const int waiting = m_services.serial.inputQueueCount();
    if (waiting < 0)
        fail("The port " + portDescription() + " stopped answering while waiting for the printer.");
    return waiting;
}

std::vector<std::uint8_t> PrinterLink::readInput() {
    flush();
    // An operation that reads the printer's answers judges from them whether
    // the printer had what went before.
    m_unconfirmed = false;
    return m_services.serial.readAll();
}

void PrinterLink::discardInput() {
    (void)readInput();
}

} // namespace ordalia
