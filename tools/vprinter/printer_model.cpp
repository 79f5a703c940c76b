#include "printer_model.h"

#include "common/files.h"
#include "png.h"

#include <algorithm>
#include <cstdio>

namespace ordalia::vprinter {
namespace {

std::string hex(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t limit = 16) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        if (i)
            out += ' ';
        out += hex(bytes[i]);
    }
    if (bytes.size() > limit)
        out += " ...";
    return out;
}

// The answer of GS I for the texts (n = 65 and up): header, text, NUL.
Bytes identityText(std::string_view text) {
    Bytes out(text.size() + 2, 0x00);
    out[0] = 0x5F;
    std::copy(text.begin(), text.end(), out.begin() + 1);
    return out;
}

// DLE EOT n: bits 1 and 4 always set, 0 and 7 always clear; nothing for an
// n it does not know.
std::optional<std::uint8_t> statusByte(const PrinterState& state, std::uint8_t n) {
    constexpr std::uint8_t kFixed = 0x12;
    const bool end = state.paper == PaperState::End;
    switch (n) {
    case 1: // printer: bit 3 off line
        return static_cast<std::uint8_t>(kFixed | (state.offLine() ? 0x08 : 0));
    case 2: // off-line cause: bit 2 cover open, bit 5 stopped by the paper end
        return static_cast<std::uint8_t>(kFixed | (state.coverOpen ? 0x04 : 0) | (end ? 0x20 : 0));
    case 3: // errors: none
        return kFixed;
    case 4: // roll sensors: bits 2-3 near end (seen at the end too), bits 5-6 end
        return static_cast<std::uint8_t>(kFixed | (state.paper != PaperState::Ok ? 0x0C : 0) |
                                         (end ? 0x60 : 0));
    default:
        return std::nullopt;
    }
}

std::string_view compoundLanguageName(std::uint8_t language) {
    switch (language) {
    case 1:
        return "SIMPLIFIED CHINESE";
    case 2:
        return "TRADITIONAL CHINESE";
    case 3:
        return "JAPANESE";
    case 4:
        return "KOREAN";
    default:
        return "ANK";
    }
}

} // namespace

bool isPrinterStateOption(std::string_view option) {
    return option == "--paper" || option == "--cover" || option == "--model-name" ||
           option == "--firmware" || option == "--maker" || option == "--serial";
}

std::optional<std::string> applyPrinterStateOption(std::string_view option, std::string_view value,
                                                   PrinterOptions& options) {
    PrinterState& state = options.state;
    PrinterIdentity& identity = options.identity;
    if (option == "--paper") {
        if (value == "ok")
            state.paper = PaperState::Ok;
        else if (value == "near-end")
            state.paper = PaperState::NearEnd;
        else if (value == "end")
            state.paper = PaperState::End;
        else
            return "ok, near-end or end";
    } else if (option == "--cover") {
        if (value != "open" && value != "closed")
            return "open or closed";
        state.coverOpen = value == "open";
    } else {
        std::string& text = option == "--model-name" ? identity.model
                            : option == "--firmware" ? identity.firmwareVersion
                            : option == "--maker"    ? identity.maker
                                                     : identity.serialNumber;
        text = value;
    }
    return std::nullopt;
}

std::size_t compoundDataLength(std::uint8_t language) {
    switch (language) {
    case 1:
        return 600048;
    case 2:
        return 1006056;
    case 3:
        return 562032;
    case 4:
        return 622656;
    default:
        return 0;
    }
}

std::size_t compoundBlockCount(std::uint8_t language) {
    return compoundDataLength(language) / kCompoundBlockBytes + 1;
}

std::string_view modeName(PrinterMode mode) {
    switch (mode) {
    case PrinterMode::EscPos:
        return "ESC/POS";
    case PrinterMode::SettingsData:
        return "settings data";
    case PrinterMode::FontData:
        return "font data";
    case PrinterMode::FirmwareData:
        return "firmware data";
    case PrinterMode::CompoundData:
        return "compound data";
    case PrinterMode::Programming:
        return "programming";
    }
    return "?";
}

std::string_view exchangeName(ExchangeKind kind) {
    switch (kind) {
    case ExchangeKind::Settings:
        return "settings";
    case ExchangeKind::Font:
        return "font";
    case ExchangeKind::Firmware:
        return "firmware";
    case ExchangeKind::RawFirmware:
        return "firmware (no request)";
    case ExchangeKind::Compound:
        return "compound";
    }
    return "?";
}

PrinterModel::PrinterModel(PrinterOptions options) : m_options(std::move(options)) {
    if (m_options.nvFolder.empty())
        return;
    // The logos and graphics survive a restart, as they would in the
    // printer's NV memory.
    const auto read = readWholeFile(m_options.nvFolder / "logos.bin", kMaxCommandLength);
    if (read.status == FileRead::Status::Ok) {
        if (auto logos = decodeLogos(read.bytes)) {
            m_logos = std::move(*logos);
            note("NV memory holds " + std::to_string(m_logos.size()) + " logo(s)");
        } else {
            note("logos.bin in the NV memory is damaged; starting with no logos");
        }
    }
    const auto graphics = readWholeFile(m_options.nvFolder / "graphics.bin", kMaxCommandLength);
    if (graphics.status == FileRead::Status::Ok) {
        auto decoded = decodeGraphics(graphics.bytes);
        if (!decoded) {
            note("graphics.bin in the NV memory is damaged; starting with no NV graphics");
        } else if (!decoded->empty()) {
            m_graphics.assign(std::move(*decoded));
            note("NV memory holds " + std::to_string(m_graphics.graphics().size()) +
                 " NV graphics");
        }
    }
}

void PrinterModel::onAnyCommand(CommandHandler handler) {
    m_anyHandlers.push_back(std::move(handler));
}

void PrinterModel::onPrintData(PrintDataHandler handler) {
    m_printDataHandlers.push_back(std::move(handler));
}

std::optional<Bytes> PrinterModel::compoundImage(std::uint8_t language) const {
    const auto it = m_compound.find(language);
    if (it == m_compound.end())
        return std::nullopt;
    return it->second;
}

void PrinterModel::note(std::string line) {
    m_log.push_back(std::move(line));
}

void PrinterModel::receive(std::span<const std::uint8_t> bytes, TimePoint now) {
    for (const std::uint8_t b : bytes)
        receive(b, now);
}

void PrinterModel::receive(std::uint8_t byte, TimePoint now) {
    advance(now);
    m_now = now;
    m_lastByteAt = now;
    switch (m_mode) {
    case PrinterMode::EscPos:
        if (m_options.expectRawFirmware) {
            beginRawFirmware();
            takeData(byte);
        } else {
            m_parser.feed(byte);
        }
        break;
    case PrinterMode::Programming:
        ++m_ignored;
        break;
    default:
        takeData(byte);
        break;
    }
    ++m_received;
}

void PrinterModel::advance(TimePoint now) {
    m_now = std::max(m_now, now);
    releaseHeld();
    if (m_mode == PrinterMode::Programming && m_now >= m_programmingEnds) {
        m_mode = PrinterMode::EscPos;
        note("programming done" +
             (m_ignored ? "; " + std::to_string(m_ignored) + " byte(s) ignored meanwhile"
                        : std::string()));
        m_ignored = 0;
    }
    if (m_mode != PrinterMode::EscPos && m_mode != PrinterMode::Programming &&
        m_now - m_lastByteAt > m_options.transferTimeout) {
        const Exchange& exchange = m_exchanges.back();
        note(std::string(exchangeName(exchange.kind)) + ": given up after " +
             std::to_string(exchange.receivedBytes) + " of " +
             std::to_string(exchange.expectedBytes) + " bytes, nothing came for " +
             std::to_string(m_options.transferTimeout.count()) + " ms");
        endExchange(ExchangeEnd::Abandoned, PrinterMode::EscPos);
    }
}

Bytes PrinterModel::takeDueReplies(TimePoint now) {
    Bytes out;
    // Strictly in order: a reply never overtakes one queued before it.
    while (!m_pending.empty() && m_pending.front().due <= now) {
        out.insert(out.end(), m_pending.front().bytes.begin(), m_pending.front().bytes.end());
        m_pending.pop_front();
    }
    return out;
}

std::optional<TimePoint> PrinterModel::nextDeadline() const {
    std::optional<TimePoint> next;
    auto consider = [&next](TimePoint t) {
        if (!next || t < *next)
            next = t;
    };
    if (!m_pending.empty())
        consider(m_pending.front().due);
    if (m_mode == PrinterMode::Programming)
        consider(m_programmingEnds);
    else if (m_mode != PrinterMode::EscPos)
        consider(m_lastByteAt + m_options.transferTimeout + Millis(1));
    return next;
}

void PrinterModel::queueReply(Bytes bytes) {
    if (m_options.faults.silent || bytes.empty())
        return;
    m_replied.insert(m_replied.end(), bytes.begin(), bytes.end());
    m_pending.push_back({m_now + m_options.replyDelay, std::move(bytes)});
}

void PrinterModel::store(const std::string& name, std::span<const std::uint8_t> bytes) {
    if (m_options.nvFolder.empty())
        return;
    const auto path = m_options.nvFolder / name;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (auto error = replaceFileAtomically(path, bytes))
        note("cannot write " + path.string() + ": " + *error);
}

void PrinterModel::storeLogos() {
    if (m_options.nvFolder.empty())
        return;
    store("logos.bin", encodeLogos(m_logos));
    // The pictures of an earlier definition go with it.
    std::error_code ec;
    std::filesystem::remove_all(m_options.nvFolder / "logos", ec);
    for (std::size_t i = 0; i < m_logos.size(); ++i)
        store("logos/logo-" + std::to_string(i + 1) + ".pbm", logoPbm(m_logos[i]));
}

void PrinterModel::handleGraphics(const GraphicsCommand& command) {
    auto outcome = m_graphics.command(command);
    if (!outcome)
        return;
    if (!outcome->note.empty())
        note(outcome->note);
    if (!outcome->reply.empty())
        queueReply(outcome->reply);
    if (!outcome->changed || m_options.nvFolder.empty())
        return;
    store("graphics.bin", encodeGraphics(m_graphics.graphics()));
    std::error_code ec;
    std::filesystem::remove_all(m_options.nvFolder / "graphics", ec);
    for (const auto& g : m_graphics.graphics())
        store("graphics/" + hex(g.kc1) + "-" + hex(g.kc2) + ".png",
              encodePng(g.image, PngCompression::Deflate));
}

// --- ESC/POS ---

void PrinterModel::releaseHeld() {
    if (m_held.empty() || m_options.state.offLine())
        return;
    std::vector<Held> kept;
    kept.swap(m_held);
    note("back on line: " + std::to_string(kept.size()) + " kept item(s) handled");
    for (const Held& h : kept) {
        if (h.printData)
            onPrintData(h.raw.front());
        else
            onCommand(EscPosCommand{h.form, h.raw, h.malformed});
    }
}

bool PrinterModel::holdWhileOffLine(const Held& held) {
    releaseHeld();
    if (!m_options.state.offLine())
        return false;
    // The real-time status is answered off line too; everything else waits
    // in the buffer, GS I included, as a printer's does.
    if (!held.printData && held.form && held.form->id == CommandId::DleEot)
        return false;
    if (!held.printData)
        note(std::string(held.form ? held.form->name : "unknown") +
             ": kept, the printer is off line");
    m_held.push_back(held);
    return true;
}

void PrinterModel::onPrintData(std::uint8_t byte) {
    if (holdWhileOffLine({nullptr, {byte}, false, true}))
        return;
    m_printData.push_back(byte);
    if (byte >= 0x20 && byte != 0x7F && m_textLine.size() < 200)
        m_textLine += static_cast<char>(byte);
    for (const auto& handler : m_printDataHandlers)
        handler(byte);
}

void PrinterModel::flushTextLine() {
    if (m_textLine.empty())
        return;
    note("text: \"" + m_textLine + "\"");
    m_textLine.clear();
}

void PrinterModel::onCommand(const EscPosCommand& command) {
    if (holdWhileOffLine({command.form, Bytes(command.raw.begin(), command.raw.end()),
                          command.malformed, false}))
        return;
    // The command ends with the byte now arriving, so it began raw.size() - 1
    // bytes before it.
    const std::uint64_t offset = m_received + 1 - command.raw.size();
    m_commands.push_back({command.id(), std::string(command.name()),
                          Bytes(command.raw.begin(), command.raw.end()), offset,
                          command.malformed});
    if (command.malformed) {
        note(std::string(command.name()) +
             " with a length out of range, dropped: " + hexBytes(command.raw));
    } else {
        switch (command.id()) {
        case CommandId::Unknown:
            note("unknown sequence " + hexBytes(command.raw));
            break;
        case CommandId::LineFeed:
        case CommandId::FormFeed:
            flushTextLine();
            break;
        case CommandId::EscSelfTest:
            ++m_selfTests;
            note("self-test page (ESC 0x88)");
            break;
        case CommandId::GsV: {
            Cut cut;
            cut.mode = command.at(2);
            cut.feed = command.raw.size() == 4 ? command.at(3) : -1;
            cut.partial = cut.mode == 1 || cut.mode == 49 || cut.mode == 66 || cut.mode == 98 ||
                          cut.mode == 104;
            m_cuts.push_back(cut);
            flushTextLine();
            note(std::string(cut.partial ? "partial" : "full") + " cut (GS V " +
                 std::to_string(cut.mode) +
                 (cut.feed >= 0 ? " " + std::to_string(cut.feed) : std::string()) + ")");
            break;
        }
        case CommandId::Escp: {
            DrawerKick kick{(command.at(2) & 1) ? 5 : 2, command.at(3), command.at(4)};
            m_drawerKicks.push_back(kick);
            note("drawer kick on pin " + std::to_string(kick.pin) + ", " +
                 std::to_string(kick.onTime * 2) + " ms on, " + std::to_string(kick.offTime * 2) +
                 " ms off");
            break;
        }
        case CommandId::Fsp: {
            LogoPrint print{command.at(2), command.at(3), false};
            print.defined = print.number >= 1 && print.number <= static_cast<int>(m_logos.size());
            m_logoPrints.push_back(print);
            flushTextLine();
            if (print.defined) {
                const NvLogo& logo = m_logos[print.number - 1];
                note("logo " + std::to_string(print.number) + " printed (" +
                     std::to_string(logo.widthDots()) + " x " + std::to_string(logo.heightDots()) +
                     " dots, mode " + std::to_string(print.mode) + ")");
            } else {
                note("logo " + std::to_string(print.number) + " is not defined: nothing printed");
            }
            break;
        }
        case CommandId::Fsq:
            handleLogoDefinition(command);
            break;
        case CommandId::GsParen:
        case CommandId::GsEight:
            if (const auto graphics = graphicsCommand(command))
                handleGraphics(*graphics);
            break;
        case CommandId::GsI:
            handleIdentity(command);
            break;
        case CommandId::DleEot:
            if (const auto status = statusByte(m_options.state, command.at(2))) {
                note("DLE EOT " + std::to_string(command.at(2)) + ": " +
                     (m_options.faults.silent ? "silent, no answer" : "answered " + hex(*status)));
                queueReply({*status});
            }
            break;
        case CommandId::Gsr:
            // Paper sensor and drawer status: nothing to report.
            if (command.at(2) == 1 || command.at(2) == 2 || command.at(2) == 49 ||
                command.at(2) == 50)
                queueReply({0x00});
            break;
        case CommandId::FsProgramSettings:
            handleProgramRequest(command, ExchangeKind::Settings);
            break;
        case CommandId::FsProgramFont:
            handleProgramRequest(command, ExchangeKind::Font);
            break;
        case CommandId::FsProgramFirmware:
            handleProgramRequest(command, ExchangeKind::Firmware);
            break;
        case CommandId::FsCompound:
            handleCompoundRequest(command);
            break;
        default:
            break;
        }
    }
    for (const auto& handler : m_anyHandlers)
        handler(command);
}

void PrinterModel::handleIdentity(const EscPosCommand& command) {
    const std::uint8_t n = command.at(2);
    const PrinterIdentity& id = m_options.identity;
    Bytes answer;
    switch (n) {
    case 1:
    case 49:
        answer = {id.modelId};
        break;
    case 2:
    case 50:
        answer = {id.typeId};
        break;
    case 3:
    case 51:
        answer = {id.romVersion};
        break;
    case 65:
        answer = identityText(id.firmwareVersion);
        break;
    case 66:
        answer = identityText(id.maker);
        break;
    case 67:
        answer = identityText(id.model);
        break;
    case 68:
        answer = identityText(id.serialNumber);
        break;
    case 69: {
        std::uint8_t language = 0;
        if (!m_compound.empty())
            language = m_compound.rbegin()->first;
        answer = identityText(compoundLanguageName(language));
        break;
    }
    default:
        note("GS I " + std::to_string(n) + ": no such information, no answer");
        return;
    }
    note("GS I " + std::to_string(n) + ": " +
         (m_options.faults.silent ? "silent, no answer" : "answered " + hexBytes(answer)));
    queueReply(std::move(answer));
}

void PrinterModel::handleLogoDefinition(const EscPosCommand& command) {
    const std::size_t n = command.at(2);
    if (n == 0) {
        note("FS q with no images: the logos are kept");
        return;
    }
    const auto logos = decodeLogos(command.raw.subspan(2));
    if (!logos) // the parser's length rule and the decoder agree, so this is a bug
        return;
    // FS q replaces every logo the printer held.
    m_logos = *logos;
    storeLogos();
    std::string sizes;
    for (std::size_t i = 0; i < m_logos.size(); ++i)
        sizes += (i ? ", " : "") + std::to_string(m_logos[i].widthDots()) + " x " +
                 std::to_string(m_logos[i].heightDots());
    note("FS q: " + std::to_string(m_logos.size()) + " logo(s) stored (" + sizes + " dots)");
}

void PrinterModel::handleProgramRequest(const EscPosCommand& command, ExchangeKind kind) {
    const std::string_view signature(reinterpret_cast<const char*>(command.raw.data()) + 2,
                                     command.raw.size() - 2);
    if (signature != kProgramSignature) {
        note(std::string(exchangeName(kind)) +
             " request with a wrong signature, ignored: " + hexBytes(command.raw));
        return;
    }
    if (m_options.faults.silent) {
        note(std::string(exchangeName(kind)) + " request: silent, not answered");
        return;
    }
    Exchange exchange;
    exchange.kind = kind;
    exchange.expectedBytes = kind == ExchangeKind::Settings ? kSettingsDataBytes
                             : kind == ExchangeKind::Font   ? kFontImageBytes
                                                            : kFirmwareImageBytes;
    m_exchanges.push_back(exchange);
    m_data.clear();
    flushTextLine();
    note(std::string(exchangeName(kind)) + " request (FS " + hex(command.at(1)) + " KOVIR KOVIR)");
    if (!answerPoint(0))
        return;
    m_mode = kind == ExchangeKind::Settings ? PrinterMode::SettingsData
             : kind == ExchangeKind::Font   ? PrinterMode::FontData
                                            : PrinterMode::FirmwareData;
}

void PrinterModel::handleCompoundRequest(const EscPosCommand& command) {
    const std::uint8_t language = command.at(3);
    if (m_options.faults.silent) {
        note("compound request: silent, not answered");
        return;
    }
    Exchange exchange;
    exchange.kind = ExchangeKind::Compound;
    exchange.language = language;
    exchange.expectedBytes = compoundBlockCount(language) * kCompoundBlockBytes;
    m_exchanges.push_back(exchange);
    m_data.clear();
    m_stopNoted = false;
    flushTextLine();
    note("compound request for language " + std::to_string(language) + ": " +
         std::to_string(compoundBlockCount(language)) + " block(s) of 256 bytes expected" +
         (command.at(2) != 0x00 ? " (third byte " + hex(command.at(2)) + ", not 00)"
                                : std::string()));
    // The reply's value means nothing to the sender, so a wrong one goes on.
    answerPoint(0);
    m_mode = PrinterMode::CompoundData;
}

void PrinterModel::beginRawFirmware() {
    m_options.expectRawFirmware = false;
    m_parser.reset();
    Exchange exchange;
    exchange.kind = ExchangeKind::RawFirmware;
    exchange.expectedBytes = kFirmwareImageBytes;
    m_exchanges.push_back(exchange);
    m_data.clear();
    flushTextLine();
    note("firmware image without a request: taking the next 196608 bytes");
    m_mode = PrinterMode::FirmwareData;
}

bool PrinterModel::answerPoint(int point) {
    Exchange& exchange = m_exchanges.back();
    std::uint8_t reply = kAck;
    const auto& wrong = m_options.faults.wrongReply;
    if (wrong && wrong->point == point)
        reply = wrong->byte;
    if (m_options.faults.silent)
        return true; // nothing goes out; the sender will give up on its own
    exchange.replies.push_back(reply);
    queueReply({reply});
    if (reply == kAck)
        return true;
    note(std::string(exchangeName(exchange.kind)) + ": reply " + hex(reply) +
         " instead of AA at reply point " + std::to_string(point));
    if (exchange.kind == ExchangeKind::Compound)
        return false;
    endExchange(ExchangeEnd::Refused, PrinterMode::EscPos);
    return false;
}

void PrinterModel::endExchange(ExchangeEnd end, PrinterMode next) {
    m_exchanges.back().end = end;
    m_mode = next;
    if (next == PrinterMode::EscPos)
        m_data.clear();
}

void PrinterModel::takeData(std::uint8_t byte) {
    Exchange& exchange = m_exchanges.back();
    m_data.push_back(byte);
    const std::size_t index = exchange.receivedBytes++;

    switch (m_mode) {
    case PrinterMode::SettingsData:
        // The two "flash3" bytes and record bytes 1 to 11 are answered.
        if (index + 1 < kSettingsReplyPoints && !answerPoint(static_cast<int>(index) + 1))
            return;
        if (exchange.receivedBytes == kSettingsDataBytes) {
            SettingsDownload settings;
            settings.flash3 = {m_data[0], m_data[1]};
            std::copy(m_data.begin() + 2, m_data.end(), settings.record.begin() + 1);
            m_settings = settings;
            store("flash3.bin", settings.flash3);
            store("settings.bin", settings.record);
            note("settings: flash3 " + hexBytes(settings.flash3) + ", record " +
                 hexBytes(std::span(settings.record).subspan(1)) + " stored");
            endExchange(ExchangeEnd::Completed, PrinterMode::EscPos);
        }
        return;
    case PrinterMode::CompoundData:
        if (exchange.receivedBytes % kCompoundBlockBytes == 0) {
            const std::size_t block = exchange.receivedBytes / kCompoundBlockBytes - 1;
            const auto& stopAt = m_options.faults.stopAnsweringAtBlock;
            if (stopAt && block >= *stopAt) {
                if (!m_stopNoted)
                    note("compound: block " + std::to_string(block) + " and later not answered");
                m_stopNoted = true;
            } else {
                answerPoint(static_cast<int>(block) + 1);
            }
        }
        if (exchange.receivedBytes == exchange.expectedBytes) {
            const std::string name = "compound-" + std::to_string(exchange.language) + ".bin";
            m_compound[exchange.language] = m_data;
            store(name, m_data);
            note("compound: " + std::to_string(exchange.expectedBytes / kCompoundBlockBytes) +
                 " block(s) stored in " + name);
            endExchange(ExchangeEnd::Completed, PrinterMode::EscPos);
        }
        return;
    default:
        if (exchange.receivedBytes == exchange.expectedBytes)
            finishImage();
        return;
    }
}

void PrinterModel::finishImage() {
    Exchange& exchange = m_exchanges.back();
    const bool font = exchange.kind == ExchangeKind::Font;
    const std::string name = font ? "font.bin" : "firmware.bin";
    (font ? m_font : m_firmware) = m_data;
    store(name, m_data);
    note(std::string(exchangeName(exchange.kind)) + ": " + std::to_string(m_data.size()) +
         " bytes stored in " + name + "; programming for " +
         std::to_string(m_options.programmingTime.count()) + " ms");
    m_programmingEnds = m_now + m_options.programmingTime;
    m_ignored = 0;
    endExchange(ExchangeEnd::Completed, PrinterMode::Programming);
    m_data.clear();
}

} // namespace ordalia::vprinter
