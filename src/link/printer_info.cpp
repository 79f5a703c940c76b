#include "link/printer_info.h"

#include "common/clock.h"
#include "common/ui.h"
#include "link/link_timing.h"
#include "link/program_exchange.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace ordalia {

namespace {

enum class AnswerForm { Byte, Status, Text };

struct Query {
    std::array<std::uint8_t, 3> bytes;
    AnswerForm form;
};

// GS I is the printer-ID query the programming exchange already sends; only
// its n differs.
constexpr Query identity(std::uint8_t n, AnswerForm form) {
    return {{kPrinterIdQuery[0], kPrinterIdQuery[1], n}, form};
}
constexpr Query status(std::uint8_t n) {
    return {{kDleEot[0], kDleEot[1], n}, AnswerForm::Status};
}

std::string hexByte(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

bool complete(AnswerForm form, std::span<const std::uint8_t> bytes) {
    return form == AnswerForm::Text ? textAnswerComplete(bytes) : !bytes.empty();
}

// Sends one query and gathers its answer: what arrived by the time it was
// whole or kInfoAnswerWaitMs had passed since the printer had the query.
std::vector<std::uint8_t> ask(PrinterLink& link, const Query& query) {
    // Whatever came late for the query before is not this one's answer.
    link.discardInput();
    for (const std::uint8_t b : query.bytes)
        link.SendSerialByte(b);
    link.flush();

    Clock& clock = link.services().clock;
    EventPump& events = link.services().events;
    const std::uint32_t start = clock.tickMs();
    std::uint32_t pumpedAt = start;
    std::vector<std::uint8_t> answer;
    for (;;) {
        clock.sleepMs(1);
        if (link.inputQueueCount() > 0) {
            const auto more = link.readInput();
            answer.insert(answer.end(), more.begin(), more.end());
            if (complete(query.form, answer))
                break;
        }
        const std::uint32_t now = clock.tickMs();
        if (elapsedMs(start, now) > kInfoAnswerWaitMs)
            break;
        if (elapsedMs(pumpedAt, now) >= kPumpIntervalMs) {
            events.processEvents();
            pumpedAt = now;
        }
    }
    // Counted once more: an answer that came just after the last look counts.
    if (!complete(query.form, answer) && link.inputQueueCount() > 0) {
        const auto more = link.readInput();
        answer.insert(answer.end(), more.begin(), more.end());
    }
    return answer;
}

constexpr std::string_view kNotAsked = ": not asked (the printer is off line)";

std::string byteLine(std::string_view name, const ByteAnswer& answer) {
    if (answer.state == AnswerState::None)
        return std::string(name) + ": no answer";
    if (answer.state == AnswerState::NotAsked)
        return std::string(name) + std::string(kNotAsked);
    return std::string(name) + ": " + hexByte(answer.value);
}

std::string textLine(std::string_view name, const TextAnswer& answer) {
    switch (answer.state) {
    case AnswerState::None:
        return std::string(name) + ": no answer";
    case AnswerState::Garbled:
        return std::string(name) + ": unreadable answer";
    case AnswerState::NotAsked:
        return std::string(name) + std::string(kNotAsked);
    case AnswerState::Ok:
        break;
    }
    return std::string(name) + ": " + answer.text;
}

// The words for the bits of `value` that are set, joined by ", "; `none`
// when none is.
struct Bit {
    std::uint8_t mask;
    std::string_view word;
};
std::string bitWords(std::uint8_t value, std::span<const Bit> bits, std::string_view none) {
    std::string out;
    for (const Bit& bit : bits)
        if ((value & bit.mask) != 0)
            out += (out.empty() ? "" : ", ") + std::string(bit.word);
    return out.empty() ? std::string(none) : out;
}

// A status line; `words` says what an answer means.
template <class Words>
std::string statusLine(std::string_view name, const ByteAnswer& answer, Words words) {
    switch (answer.state) {
    case AnswerState::None:
        return std::string(name) + ": no answer";
    case AnswerState::Garbled:
        return std::string(name) + ": not a status answer (" + hexByte(answer.value) + ")";
    case AnswerState::NotAsked:
        return std::string(name) + std::string(kNotAsked);
    case AnswerState::Ok:
        break;
    }
    return std::string(name) + ": " + words(answer.value);
}

} // namespace

bool PrinterInfo::answered() const {
    const auto got = [](AnswerState s) {
        return s == AnswerState::Ok || s == AnswerState::Garbled;
    };
    for (const ByteAnswer* b : {&model, &type, &romVersion, &printer, &offLine, &error, &paper})
        if (got(b->state))
            return true;
    for (const TextAnswer* t : {&firmware, &maker, &modelName, &serialNumber})
        if (got(t->state))
            return true;
    return false;
}

ByteAnswer parseByteAnswer(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return {};
    return {AnswerState::Ok, bytes.front()};
}

ByteAnswer parseStatusAnswer(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return {};
    return {isStatusByte(bytes.front()) ? AnswerState::Ok : AnswerState::Garbled, bytes.front()};
}

bool textAnswerComplete(std::span<const std::uint8_t> bytes) {
    // Even an answer that starts wrong is read to its end, so that its rest
    // is not taken for the next query's answer.
    if (bytes.size() > kInfoTextMaxBytes + 2)
        return true;
    return bytes.size() > 1 &&
           std::find(bytes.begin() + 1, bytes.end(), kInfoTextEnd) != bytes.end();
}

TextAnswer parseTextAnswer(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return {};
    const auto end = std::find(bytes.begin() + 1, bytes.end(), kInfoTextEnd);
    if (bytes.front() != kInfoTextHeader || end == bytes.end() ||
        static_cast<std::size_t>(end - bytes.begin() - 1) > kInfoTextMaxBytes)
        return {AnswerState::Garbled, {}};
    TextAnswer answer{AnswerState::Ok, {}};
    // Shown in a message box and on a terminal: nothing that could move the
    // cursor or be taken for another encoding.
    for (auto it = bytes.begin() + 1; it != end; ++it)
        answer.text += (*it >= 0x20 && *it < 0x7F) ? static_cast<char>(*it) : '?';
    return answer;
}

std::vector<std::string> printerInfoLines(const PrinterInfo& info) {
    static constexpr Bit kTypeBits[] = {{kTypeTwoByteCharacters, "two-byte characters"},
                                        {kTypeAutoCutter, "auto-cutter"},
                                        {kTypeDisplay, "display"}};
    static constexpr Bit kOffLineBits[] = {{kOffLinePaperEnd, "paper end"},
                                           {kOffLineCoverOpen, "cover open"},
                                           {kOffLineFeedButton, "feed button"},
                                           {kOffLineError, "error"}};
    static constexpr Bit kErrorBits[] = {{kErrorAutoCutter, "auto-cutter"},
                                         {kErrorUnrecoverable, "unrecoverable"},
                                         {kErrorAutoRecoverable, "auto-recoverable"}};
    std::vector<std::string> lines = {
        textLine("model name", info.modelName), textLine("firmware", info.firmware),
        textLine("maker", info.maker),          textLine("serial number", info.serialNumber),
        byteLine("model", info.model),
    };
    if (info.type.state == AnswerState::None || info.type.state == AnswerState::NotAsked)
        lines.push_back(byteLine("type", info.type));
    else
        lines.push_back(
            "type: " +
            bitWords(info.type.value, kTypeBits, "no two-byte characters, auto-cutter or display") +
            " (" + hexByte(info.type.value) + ")");
    lines.push_back(byteLine("ROM version", info.romVersion));
    lines.push_back(statusLine("printer", info.printer, [](std::uint8_t b) {
        return std::string((b & kStatusOffLineBit) ? "off line" : "on line");
    }));
    lines.push_back(statusLine("cover", info.offLine, [](std::uint8_t b) {
        return std::string((b & kOffLineCoverOpen) ? "open" : "closed");
    }));
    lines.push_back(statusLine("paper", info.paper, [](std::uint8_t b) {
        return std::string((b & kPaperEnd) ? "end" : (b & kPaperNearEnd) ? "near end" : "ok");
    }));
    lines.push_back(statusLine("off line", info.offLine,
                               [](std::uint8_t b) { return bitWords(b, kOffLineBits, "none"); }));
    lines.push_back(statusLine("error", info.error,
                               [](std::uint8_t b) { return bitWords(b, kErrorBits, "none"); }));
    return lines;
}

std::string printerInfoMessage(const PrinterInfo& info) {
    std::string text;
    for (std::string line : printerInfoLines(info)) {
        if (!line.empty() && line.front() >= 'a' && line.front() <= 'z')
            line.front() = static_cast<char>(line.front() - 'a' + 'A');
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

namespace {

// The first settings of the list, fastest first, at which the printer
// answers DLE EOT 1 with a status byte (the chosen ones only when asked);
// empty when at none. A port that fails ends the search, with `error` set.
std::string searchSpeeds(const Services& services, const LinkChoice& choice, bool withChosen,
                         std::optional<LinkError>* error = nullptr) {
    std::vector<std::string> order;
    if (withChosen)
        order.push_back(choice.settings);
    for (auto it = kSbaudItems.rbegin(); it != kSbaudItems.rend(); ++it)
        if (*it != choice.settings)
            order.emplace_back(*it);
    for (const std::string& settings : order) {
        LinkChoice other = choice;
        other.settings = settings;
        PrinterLink link(services, other);
        try {
            link.OpenSerialPort();
            const ByteAnswer answer = parseStatusAnswer(ask(link, status(kStatusPrinter)));
            link.CloseSerialPort();
            if (answer.state == AnswerState::Ok)
                return other.settings;
        } catch (const LinkError& e) {
            if (error)
                *error = e;
            return {};
        }
    }
    return {};
}

} // namespace

PrinterInfoResult askPrinterInfo(const Services& services, const LinkChoice& choice) {
    if (refuseWhileBusy(services))
        return {};
    TransferLock lock(services.gate);

    PrinterLink link(services, choice);
    // The parallel port has no way back from the printer.
    if (!link.SerialLinkSelected()) {
        services.dialogs.message(kInfoNeedsSerialMessage);
        return {};
    }
    if (!link.IsSerialPortChosen()) {
        services.dialogs.message(kInfoChoosePortMessage);
        return {};
    }
    PrinterInfoResult result;
    PrinterInfo& info = result.info;
    try {
        link.OpenSerialPort();
        info.printer = parseStatusAnswer(ask(link, status(kStatusPrinter)));
        info.offLine = parseStatusAnswer(ask(link, status(kStatusOffLine)));
        info.error = parseStatusAnswer(ask(link, status(kStatusError)));
        info.paper = parseStatusAnswer(ask(link, status(kStatusPaper)));
        const bool offLine =
            info.printer.state == AnswerState::Ok && (info.printer.value & kStatusOffLineBit);
        if (offLine) {
            for (ByteAnswer* b : {&info.model, &info.type, &info.romVersion})
                b->state = AnswerState::NotAsked;
            for (TextAnswer* t : {&info.firmware, &info.maker, &info.modelName, &info.serialNumber})
                t->state = AnswerState::NotAsked;
        } else if (info.answered()) {
            info.model = parseByteAnswer(ask(link, identity(kInfoModelId, AnswerForm::Byte)));
            info.type = parseByteAnswer(ask(link, identity(kInfoTypeId, AnswerForm::Byte)));
            info.romVersion =
                parseByteAnswer(ask(link, identity(kInfoRomVersion, AnswerForm::Byte)));
            info.firmware = parseTextAnswer(ask(link, identity(kInfoFirmware, AnswerForm::Text)));
            info.maker = parseTextAnswer(ask(link, identity(kInfoMaker, AnswerForm::Text)));
            info.modelName = parseTextAnswer(ask(link, identity(kInfoModelName, AnswerForm::Text)));
            info.serialNumber =
                parseTextAnswer(ask(link, identity(kInfoSerialNumber, AnswerForm::Text)));
        }
        link.CloseSerialPort();
    } catch (const LinkError& error) {
        result.outcome = reportLinkError(link, error);
        return result;
    }
    if (!info.answered()) {
        if (link.hasLine())
            result.answersAt = searchSpeeds(services, choice, false);
        services.dialogs.message(
            "The printer on " + link.portDescription() + " did not answer at " + choice.settings +
            "." +
            (result.answersAt.empty()
                 ? " Check that it is switched on, cabled to this port and set to the same speed."
                 : " It answers at " + result.answersAt + ": choose that speed."));
        result.outcome = Outcome::Failed;
        return result;
    }
    result.outcome = Outcome::Done;
    return result;
}

PrinterInfoResult findPrinterSpeed(const Services& services, const LinkChoice& choice) {
    if (refuseWhileBusy(services))
        return {};
    TransferLock lock(services.gate);
    PrinterInfoResult result;
    std::string where;
    {
        PrinterLink link(services, choice);
        if (!link.SerialLinkSelected()) {
            services.dialogs.message(kInfoNeedsSerialMessage);
            return result;
        }
        if (!link.IsSerialPortChosen()) {
            services.dialogs.message(kInfoChoosePortMessage);
            return result;
        }
        try {
            link.OpenSerialPort();
            const bool line = link.hasLine();
            link.CloseSerialPort();
            if (!line) {
                services.dialogs.message(link.portDescription() +
                                         " has no line speed: the printer takes bytes at its "
                                         "own pace whatever the speed setting says.");
                return result;
            }
        } catch (const LinkError& error) {
            result.outcome = reportLinkError(link, error);
            return result;
        }
        where = link.portDescription();
    }
    std::optional<LinkError> error;
    result.answersAt = searchSpeeds(services, choice, true, &error);
    if (error) {
        services.dialogs.message(error->what());
        result.outcome = Outcome::Failed;
    } else if (result.answersAt.empty()) {
        std::string tried;
        for (auto it = kSbaudItems.rbegin(); it != kSbaudItems.rend(); ++it)
            tried += std::string(tried.empty() ? "" : ", ") + std::string(*it);
        services.dialogs.message("The printer on " + where + " answered at none of " + tried +
                                 ". Check that it is switched on and cabled to this port.");
        result.outcome = Outcome::Failed;
    } else {
        services.dialogs.message("The printer on " + where + " answers at " + result.answersAt +
                                 ".");
        result.outcome = Outcome::Done;
    }
    return result;
}

PrinterIdentity identifyPrinter(const Services& services, const LinkChoice& choice) {
    PrinterIdentity who;
    if (refuseWhileBusy(services))
        return who;
    TransferLock lock(services.gate);
    PrinterLink link(services, choice);
    try {
        link.OpenSerialPort();
        who.printer = parseStatusAnswer(ask(link, status(kStatusPrinter)));
        if (who.printer.state == AnswerState::Ok && !who.offLine()) {
            who.modelName = parseTextAnswer(ask(link, identity(kInfoModelName, AnswerForm::Text)));
            who.serialNumber =
                parseTextAnswer(ask(link, identity(kInfoSerialNumber, AnswerForm::Text)));
        } else {
            who.modelName.state = who.serialNumber.state = AnswerState::NotAsked;
        }
        link.CloseSerialPort();
    } catch (const LinkError& error) {
        who.outcome = reportLinkError(link, error);
        return who;
    }
    if (who.printer.state != AnswerState::Ok) {
        services.dialogs.message("The printer on " + link.portDescription() +
                                 " did not answer its status query at " + choice.settings + ".");
        who.outcome = Outcome::Failed;
        return who;
    }
    who.outcome = Outcome::Done;
    return who;
}

} // namespace ordalia
