#pragma once

#include "escpos_parser.h"
#include "nv_graphics.h"
#include "nv_logos.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::vprinter {

using Bytes = std::vector<std::uint8_t>;
using TimePoint = std::chrono::steady_clock::time_point;
using Millis = std::chrono::milliseconds;

// The printer's side of the programming exchange.
inline constexpr std::uint8_t kAck = 0xAA;
inline constexpr std::string_view kProgramSignature = "KOVIRKOVIR";
// Two "flash3" bytes and record bytes 1 to 13.
inline constexpr std::size_t kSettingsDataBytes = 15;
// The request and the first 13 data bytes are answered.
inline constexpr int kSettingsReplyPoints = 14;
inline constexpr std::size_t kFontImageBytes = 65536;
inline constexpr std::size_t kFirmwareImageBytes = 196608;
inline constexpr std::size_t kCompoundBlockBytes = 256;

// Font data length S of compound language L (0 for a language it does not
// know) and the number of 256-byte blocks that carry it, floor(S/256) + 1.
std::size_t compoundDataLength(std::uint8_t language);
std::size_t compoundBlockCount(std::uint8_t language);

// What GS I answers.
struct PrinterIdentity {
    std::uint8_t modelId = 0x20;    // n = 1
    std::uint8_t typeId = 0x02;     // n = 2: autocutter fitted
    std::uint8_t romVersion = 0x10; // n = 3
    std::string firmwareVersion = "1.00";
    std::string maker = "KOVIR";
    std::string model = "VIRTUAL-80";
    std::string serialNumber = "00000001";
};

// The paper roll and the cover as the printer's sensors see them; DLE EOT
// reports them.
enum class PaperState { Ok, NearEnd, End };
struct PrinterState {
    PaperState paper = PaperState::Ok;
    bool coverOpen = false;
    // As a printer does: an open cover or the end of the roll stops it.
    bool offLine() const { return coverOpen || paper == PaperState::End; }
};

// Reply `byte` instead of 0xAA at reply point `point` of every exchange.
// Point 0 is the reply to the request; in the settings exchange points 1 and
// 2 follow the "flash3" bytes and 3 to 13 record bytes 1 to 11; in the
// compound exchange point k + 1 follows block k.
struct WrongReply {
    int point = 0;
    std::uint8_t byte = 0x00;
};

struct Faults {
    // Answer nothing at all, and take no request as the start of an exchange.
    bool silent = false;
    std::optional<WrongReply> wrongReply{};
    // Compound: blocks from this one on are taken but not answered.
    std::optional<std::size_t> stopAnsweringAtBlock{};
};

struct PrinterOptions {
    // Where the NV memory lives; empty: nothing is written or loaded.
    std::filesystem::path nvFolder{};
    // Silence after a font or firmware image while the printer "programs".
    Millis programmingTime{3000};
    // Every reply leaves this long after the byte it answers.
    Millis replyDelay{0};
    // An exchange that gets no byte for this long is given up.
    Millis transferTimeout{20000};
    // Take the next 196,608 bytes as a firmware image sent without a request
    // (the firmware update with "Ignore printer's malfunction"). Once.
    bool expectRawFirmware = false;
    Faults faults{};
    PrinterIdentity identity{};
    PrinterState state{};
};

// The command-line options that set the state and the identity (--paper,
// --cover, --model-name, --firmware, --maker, --serial).
bool isPrinterStateOption(std::string_view option);
// Sets `option` from `value`; what the option takes when the value does not fit.
std::optional<std::string> applyPrinterStateOption(std::string_view option, std::string_view value,
                                                   PrinterOptions& options);
inline constexpr std::string_view kPrinterStateUsage =
    R"(  --paper ok|near-end|end  the paper roll sensors (default ok)
  --cover open|closed     the cover (default closed); an open cover or the
                          paper end puts the printer off line
  --model-name TEXT, --firmware TEXT, --maker TEXT, --serial TEXT
                          what GS I 67, 65, 66 and 68 answer (default
                          VIRTUAL-80, 1.00, KOVIR, 00000001)
)";

enum class PrinterMode {
    EscPos,
    SettingsData,
    FontData,
    FirmwareData,
    CompoundData,
    Programming,
};
std::string_view modeName(PrinterMode mode);

enum class ExchangeKind { Settings, Font, Firmware, RawFirmware, Compound };
enum class ExchangeEnd {
    Running,
    Completed,
    Refused,   // a reply other than 0xAA ended it (a wrong-reply fault)
    Abandoned, // no byte for the transfer time-out
};
std::string_view exchangeName(ExchangeKind kind);

struct Exchange {
    ExchangeKind kind = ExchangeKind::Settings;
    std::uint8_t language = 0; // compound only
    ExchangeEnd end = ExchangeEnd::Running;
    std::size_t expectedBytes = 0; // data after the request
    std::size_t receivedBytes = 0;
    Bytes replies; // the byte sent at each reply point, in order
};

// A command as the printer recognised it, kept.
struct RecordedCommand {
    CommandId id = CommandId::Unknown;
    std::string name;
    Bytes raw;
    std::uint64_t offset = 0; // position of its first byte among all bytes received
    bool malformed = false;
};

struct Cut {
    std::uint8_t mode = 0; // m of GS V
    int feed = -1;         // n of the forms that feed first, else -1
    bool partial = false;
};

struct DrawerKick {
    int pin = 2; // connector pin 2 or 5
    std::uint8_t onTime = 0;
    std::uint8_t offTime = 0;
};

struct LogoPrint {
    int number = 0;
    std::uint8_t mode = 0;
    bool defined = false; // the store held that logo
};

// The two "flash3" bytes and the settings record as they arrived. Record
// byte 0 never goes on the wire; it is kept 0 so the record has the layout of
// the program's "user_setting" file.
struct SettingsDownload {
    std::array<std::uint8_t, 2> flash3{};
    std::array<std::uint8_t, 14> record{};
};

using CommandHandler = std::function<void(const EscPosCommand&)>;
using PrintDataHandler = std::function<void(std::uint8_t)>;

// The printer without its line: it takes received bytes with the time they
// arrived, and queues replies with the time they are due. It is not thread
// safe; VirtualPrinter runs it on its own thread under a lock.
//
// NV memory folder layout:
//   settings.bin     14 bytes: 0, then record bytes 1 to 13 as received
//   flash3.bin       the 2 bytes that came before the record
//   font.bin         the 65,536-byte code page and font image
//   firmware.bin     the 196,608-byte firmware image
//   compound-L.bin   every block of compound language L as received
//   logos.bin        the logo store: n, then xL xH yL yH and data per logo
//   logos/logo-N.pbm each logo as a picture
//   graphics.bin     the NV graphics of GS ( L, by key code
//   graphics/K1-K2.png each of them as a picture (key codes in hex)
class PrinterModel final : private EscPosSink {
public:
    explicit PrinterModel(PrinterOptions options);

    void receive(std::uint8_t byte, TimePoint now);
    void receive(std::span<const std::uint8_t> bytes, TimePoint now);
    // Lets time pass without a byte: programming ends, a stalled exchange is
    // given up.
    void advance(TimePoint now);
    // The reply bytes due by `now`, in the order they were queued.
    Bytes takeDueReplies(TimePoint now);
    // When advance or takeDueReplies next has something to do.
    std::optional<TimePoint> nextDeadline() const;

    Faults& faults() { return m_options.faults; }
    PrinterState& state() { return m_options.state; }

    // Hooks for a renderer: called after the printer's own handling, on the
    // thread that feeds the model.
    void onAnyCommand(CommandHandler handler);
    void onPrintData(PrintDataHandler handler);

    PrinterMode mode() const { return m_mode; }
    bool expectingRawFirmware() const { return m_options.expectRawFirmware; }
    std::uint64_t receivedCount() const { return m_received; }
    const std::vector<RecordedCommand>& commands() const { return m_commands; }
    int selfTests() const { return m_selfTests; }
    const std::vector<Cut>& cuts() const { return m_cuts; }
    const std::vector<DrawerKick>& drawerKicks() const { return m_drawerKicks; }
    const std::vector<LogoPrint>& logoPrints() const { return m_logoPrints; }
    const std::vector<NvLogo>& logos() const { return m_logos; }
    const NvGraphicsStore& nvGraphics() const { return m_graphics; }
    const Bytes& printData() const { return m_printData; }
    const std::vector<Exchange>& exchanges() const { return m_exchanges; }
    const std::optional<SettingsDownload>& settings() const { return m_settings; }
    const std::optional<Bytes>& fontImage() const { return m_font; }
    const std::optional<Bytes>& firmwareImage() const { return m_firmware; }
    std::optional<Bytes> compoundImage(std::uint8_t language) const;
    // Every byte queued as a reply, in order, whether or not it has left yet.
    const Bytes& queuedReplies() const { return m_replied; }
    // What the printer did, one line per event, for people and tests.
    const std::vector<std::string>& log() const { return m_log; }
    const std::filesystem::path& nvFolder() const { return m_options.nvFolder; }
    // Adds a line to the log, for what happens on the line around the model.
    void note(std::string line);

private:
    void onPrintData(std::uint8_t byte) override;
    void onCommand(const EscPosCommand& command) override;

    void handleIdentity(const EscPosCommand& command);
    void handleLogoDefinition(const EscPosCommand& command);
    void handleProgramRequest(const EscPosCommand& command, ExchangeKind kind);
    void handleCompoundRequest(const EscPosCommand& command);

    void takeData(std::uint8_t byte);
    void beginRawFirmware();
    // Sends the reply of `point`; false when it was not 0xAA.
    bool answerPoint(int point);
    void endExchange(ExchangeEnd end, PrinterMode next);
    void finishImage();
    void queueReply(Bytes bytes);
    void store(const std::string& name, std::span<const std::uint8_t> bytes);
    void storeLogos();
    void handleGraphics(const GraphicsCommand& command);
    void flushTextLine();

    PrinterOptions m_options;
    EscPosParser m_parser{*this};
    PrinterMode m_mode = PrinterMode::EscPos;
    TimePoint m_now{};
    TimePoint m_lastByteAt{};
    TimePoint m_programmingEnds{};
    std::uint64_t m_received = 0;
    std::uint64_t m_ignored = 0;
    bool m_stopNoted = false;

    std::vector<Exchange> m_exchanges;
    Bytes m_data; // the running exchange's data

    struct Pending {
        TimePoint due;
        Bytes bytes;
    };
    std::deque<Pending> m_pending;
    Bytes m_replied;

    std::vector<RecordedCommand> m_commands;
    int m_selfTests = 0;
    std::vector<Cut> m_cuts;
    std::vector<DrawerKick> m_drawerKicks;
    std::vector<LogoPrint> m_logoPrints;
    std::vector<NvLogo> m_logos;
    NvGraphicsStore m_graphics;
    Bytes m_printData;
    std::string m_textLine;
    std::optional<SettingsDownload> m_settings;
    std::optional<Bytes> m_font;
    std::optional<Bytes> m_firmware;
    std::map<std::uint8_t, Bytes> m_compound;
    std::vector<std::string> m_log;

    std::vector<CommandHandler> m_anyHandlers;
    std::vector<PrintDataHandler> m_printDataHandlers;

    // What came while off line, kept in order until the printer is back on
    // line: a command (its form and bytes) or one byte of print data.
    struct Held {
        const CommandForm* form = nullptr;
        Bytes raw;
        bool malformed = false;
        bool printData = false;
    };
    std::vector<Held> m_held;
    // Whether the byte or command now arriving is kept rather than handled,
    // after handing over what was kept once the printer is back on line.
    bool holdWhileOffLine(const Held& held);
    void releaseHeld();
};

} // namespace ordalia::vprinter
