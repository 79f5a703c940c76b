#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ordalia::vprinter {

// The commands the virtual printer knows the length of. Knowing the length is
// what keeps the stream in step: the parameters and data of a known command
// are never taken for print data. Names follow the bytes (GsV is GS V).
enum class CommandId {
    Unknown, // a prefix byte and a second byte that is in no table entry
    // one-byte controls
    HorizontalTab,
    LineFeed,
    FormFeed,
    CarriageReturn,
    Cancel,
    // DLE
    DleEot,
    DleEnq,
    DleDc4,
    // ESC
    EscFormFeed,
    EscSpace,
    EscBang,
    EscDollar,
    EscPercent,
    EscAmpersand,
    EscStar,
    EscMinus,
    EscTwo,
    EscThree,
    EscEquals,
    EscQuestion,
    EscAt,
    EscD,
    EscE,
    EscG,
    EscJ,
    EscL,
    EscM,
    EscR,
    EscS,
    EscT,
    EscV,
    EscW,
    EscBackslash,
    Esca,
    Escc,
    Escd,
    Esce,
    Esci,
    Escm,
    Escp,
    Escr,
    Esct,
    Escu,
    Escv,
    EscBrace,
    EscSelfTest, // ESC 0x88: the printer's own test page
    // FS
    FsBang,
    FsAmpersand,
    FsMinus,
    FsDot,
    FsParen,
    FsTwo,
    FsC,
    FsS,
    FsW,
    Fsp,
    Fsq,
    FsProgramSettings, // FS 0xC6 "KOVIR" "KOVIR"
    FsProgramFont,     // FS 0xC7 ...
    FsProgramFirmware, // FS 0xC8 ...
    FsCompound,        // FS 0xC9 0x00 L
    // GS
    GsBang,
    GsDollar,
    GsParen,
    GsStar,
    GsSlash,
    GsColon,
    GsB,
    GsE,
    GsH,
    GsI,
    GsL,
    GsP,
    GsV,
    GsW,
    GsBackslash,
    GsCaret,
    Gsa,
    Gsb,
    Gsf,
    Gsh,
    Gsk,
    Gsr,
    Gsv,
    Gsw,
    GsEight,
};

inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kFs = 0x1C;
inline constexpr std::uint8_t kGs = 0x1D;

// Given the bytes of a command collected so far (prefix first), the length
// the whole command has as far as they tell; once that many have arrived it
// is asked again, until the answer equals what has been collected. A length
// field out of range gives kBadLength.
using LengthRule = std::size_t (*)(std::span<const std::uint8_t> soFar);
inline constexpr std::size_t kBadLength = static_cast<std::size_t>(-1);

// Longest command taken whole; a length field that asks for more is bad.
inline constexpr std::size_t kMaxCommandLength = std::size_t{16} << 20;

struct CommandForm {
    CommandId id;
    std::uint8_t lead; // DLE, ESC, FS, GS, or the one-byte control itself
    int second;        // the byte after `lead`; -1 for a one-byte control
    std::string_view name;
    std::size_t fixedLength; // the whole command; 0 when `length` decides
    LengthRule length;
};

// Every known command.
std::span<const CommandForm> commandTable();
// The entry for `lead` followed by `second` (-1: the one-byte control `lead`).
const CommandForm* findCommand(std::uint8_t lead, int second);

// One command as it was recognised. `raw` is valid only during the call that
// hands it out.
struct EscPosCommand {
    const CommandForm* form = nullptr; // nullptr for an unknown sequence
    std::span<const std::uint8_t> raw; // every byte, prefix first
    bool malformed = false;            // a length field was out of range: raw is what came so far

    CommandId id() const { return form ? form->id : CommandId::Unknown; }
    std::string_view name() const { return form ? form->name : std::string_view("unknown"); }
    // Byte `i` of the command counted from the prefix, 0 past its end.
    std::uint8_t at(std::size_t i) const { return i < raw.size() ? raw[i] : 0; }
};

class EscPosSink {
public:
    virtual ~EscPosSink() = default;
    // A byte that is no command (text, or an unknown control byte).
    virtual void onPrintData(std::uint8_t byte) = 0;
    virtual void onCommand(const EscPosCommand& command) = 0;
};

// The receive stream's state machine: idle, prefix seen, collecting
// parameters. Bytes are fed one at a time in stream order; each complete
// command, unknown sequence and print data byte goes to the sink as soon as
// its last byte arrives.
class EscPosParser {
public:
    explicit EscPosParser(EscPosSink& sink) : m_sink(sink) {}

    void feed(std::uint8_t byte);
    void feed(std::span<const std::uint8_t> bytes);
    // Forgets a command half collected, for a printer that leaves the stream.
    void reset();
    // True while a command has begun and is not complete.
    bool inCommand() const { return !m_buffer.empty(); }

private:
    void emit(bool malformed);
    void settle();

    EscPosSink& m_sink;
    std::vector<std::uint8_t> m_buffer;
    const CommandForm* m_form = nullptr;
    std::size_t m_needed = 0;
};

} // namespace ordalia::vprinter
