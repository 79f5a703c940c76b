#include "escpos_parser.h"

#include <array>

namespace ordalia::vprinter {
namespace {

std::size_t word(std::span<const std::uint8_t> s, std::size_t at) {
    return std::size_t{s[at]} + std::size_t{s[at + 1]} * 256;
}

std::size_t capped(std::size_t length) {
    return length > kMaxCommandLength ? kBadLength : length;
}

// Data up to and including a NUL that starts at `first`, at most `limit`
// bytes of data.
std::size_t untilNul(std::span<const std::uint8_t> s, std::size_t first, std::size_t limit) {
    if (s.size() > first && s.back() == 0x00)
        return s.size();
    if (s.size() >= first + limit + 1)
        return kBadLength;
    return s.size() + 1;
}

// ESC & y c1 c2 [x d1 ... d(y*x)] for each character c1 to c2.
std::size_t escAmpersand(std::span<const std::uint8_t> s) {
    if (s.size() < 5)
        return 5;
    const std::size_t y = s[2];
    const int c1 = s[3];
    const int c2 = s[4];
    std::size_t pos = 5;
    for (int c = c1; c <= c2; ++c) {
        if (s.size() < pos + 1)
            return pos + 1;
        pos += 1 + y * s[pos];
    }
    return capped(pos);
}

// ESC * m nL nH d1 ... dk: k = n for 8-dot modes, 3n for 24-dot modes.
std::size_t escStar(std::span<const std::uint8_t> s) {
    if (s.size() < 5)
        return 5;
    const std::size_t n = word(s, 3);
    switch (s[2]) {
    case 0:
    case 1:
        return 5 + n;
    case 32:
    case 33:
        return 5 + 3 * n;
    default:
        return kBadLength;
    }
}

// ESC D n1 ... nk NUL: at most 32 tab positions.
std::size_t escD(std::span<const std::uint8_t> s) {
    return untilNul(s, 2, 32);
}

// FS q n [xL xH yL yH d1 ... d(x*y*8)] for each of the n images.
std::size_t fsq(std::span<const std::uint8_t> s) {
    if (s.size() < 3)
        return 3;
    const int n = s[2];
    std::size_t pos = 3;
    for (int i = 0; i < n; ++i) {
        if (s.size() < pos + 4)
            return pos + 4;
        const std::size_t x = word(s, pos);
        const std::size_t y = word(s, pos + 2);
        pos += 4 + x * y * 8;
        if (pos > kMaxCommandLength)
            return kBadLength;
    }
    return pos;
}

// GS ( fn pL pH d1 ... d(pL+pH*256), and FS ( alike.
std::size_t gsParen(std::span<const std::uint8_t> s) {
    if (s.size() < 5)
        return 5;
    return 5 + word(s, 3);
}

// GS * x y d1 ... d(x*y*8).
std::size_t gsStar(std::span<const std::uint8_t> s) {
    if (s.size() < 4)
        return 4;
    return 4 + std::size_t{s[2]} * s[3] * 8;
}

// GS V m, or GS V m n for the forms that feed first.
std::size_t gsV(std::span<const std::uint8_t> s) {
    if (s.size() < 3)
        return 3;
    switch (s[2]) {
    case 0:
    case 1:
    case 48:
    case 49:
        return 3;
    case 65:
    case 66:
    case 97:
    case 98:
    case 103:
    case 104:
        return 4;
    default:
        return kBadLength;
    }
}

// GS k m d1 ... NUL (m 0 to 6), or GS k m n d1 ... dn (m 65 and up).
std::size_t gsk(std::span<const std::uint8_t> s) {
    if (s.size() < 3)
        return 3;
    const int m = s[2];
    if (m <= 6)
        return untilNul(s, 3, 255);
    if (m >= 65 && m <= 79) {
        if (s.size() < 4)
            return 4;
        return 4 + std::size_t{s[3]};
    }
    return kBadLength;
}

// GS v 0 m xL xH yL yH d1 ... d(x*y).
std::size_t gsv(std::span<const std::uint8_t> s) {
    if (s.size() < 8)
        return 8;
    return capped(8 + word(s, 4) * word(s, 6));
}

// GS 8 fn p1 p2 p3 p4 ...: a 32-bit parameter count.
std::size_t gsEight(std::span<const std::uint8_t> s) {
    if (s.size() < 7)
        return 7;
    const std::uint64_t p = std::uint64_t{s[3]} | std::uint64_t{s[4]} << 8 |
                            std::uint64_t{s[5]} << 16 | std::uint64_t{s[6]} << 24;
    if (p > kMaxCommandLength)
        return kBadLength;
    return 7 + static_cast<std::size_t>(p);
}

using Id = CommandId;

constexpr CommandForm fixed(Id id, std::uint8_t lead, int second, std::string_view name,
                            std::size_t length) {
    return {id, lead, second, name, length, nullptr};
}

constexpr CommandForm ruled(Id id, std::uint8_t lead, int second, std::string_view name,
                            LengthRule rule) {
    return {id, lead, second, name, 0, rule};
}

constexpr auto kTable = std::to_array<CommandForm>({
    fixed(Id::HorizontalTab, 0x09, -1, "HT", 1),
    fixed(Id::LineFeed, 0x0A, -1, "LF", 1),
    fixed(Id::FormFeed, 0x0C, -1, "FF", 1),
    fixed(Id::CarriageReturn, 0x0D, -1, "CR", 1),
    fixed(Id::Cancel, 0x18, -1, "CAN", 1),

    fixed(Id::DleEot, kDle, 0x04, "DLE EOT", 3),
    fixed(Id::DleEnq, kDle, 0x05, "DLE ENQ", 3),
    fixed(Id::DleDc4, kDle, 0x14, "DLE DC4", 5),

    fixed(Id::EscFormFeed, kEsc, 0x0C, "ESC FF", 2),
    fixed(Id::EscSpace, kEsc, ' ', "ESC SP", 3),
    fixed(Id::EscBang, kEsc, '!', "ESC !", 3),
    fixed(Id::EscDollar, kEsc, '$', "ESC $", 4),
    fixed(Id::EscPercent, kEsc, '%', "ESC %", 3),
    ruled(Id::EscAmpersand, kEsc, '&', "ESC &", escAmpersand),
    ruled(Id::EscStar, kEsc, '*', "ESC *", escStar),
    fixed(Id::EscMinus, kEsc, '-', "ESC -", 3),
    fixed(Id::EscTwo, kEsc, '2', "ESC 2", 2),
    fixed(Id::EscThree, kEsc, '3', "ESC 3", 3),
    fixed(Id::EscEquals, kEsc, '=', "ESC =", 3),
    fixed(Id::EscQuestion, kEsc, '?', "ESC ?", 3),
    fixed(Id::EscAt, kEsc, '@', "ESC @", 2),
    ruled(Id::EscD, kEsc, 'D', "ESC D", escD),
    fixed(Id::EscE, kEsc, 'E', "ESC E", 3),
    fixed(Id::EscG, kEsc, 'G', "ESC G", 3),
    fixed(Id::EscJ, kEsc, 'J', "ESC J", 3),
    fixed(Id::EscL, kEsc, 'L', "ESC L", 2),
    fixed(Id::EscM, kEsc, 'M', "ESC M", 3),
    fixed(Id::EscR, kEsc, 'R', "ESC R", 3),
    fixed(Id::EscS, kEsc, 'S', "ESC S", 2),
    fixed(Id::EscT, kEsc, 'T', "ESC T", 3),
    fixed(Id::EscV, kEsc, 'V', "ESC V", 3),
    fixed(Id::EscW, kEsc, 'W', "ESC W", 10),
    fixed(Id::EscBackslash, kEsc, '\\', "ESC \\", 4),
    fixed(Id::Esca, kEsc, 'a', "ESC a", 3),
    fixed(Id::Escc, kEsc, 'c', "ESC c", 4),
    fixed(Id::Escd, kEsc, 'd', "ESC d", 3),
    fixed(Id::Esce, kEsc, 'e', "ESC e", 3),
    fixed(Id::Esci, kEsc, 'i', "ESC i", 2),
    fixed(Id::Escm, kEsc, 'm', "ESC m", 2),
    fixed(Id::Escp, kEsc, 'p', "ESC p", 5),
    fixed(Id::Escr, kEsc, 'r', "ESC r", 3),
    fixed(Id::Esct, kEsc, 't', "ESC t", 3),
    fixed(Id::Escu, kEsc, 'u', "ESC u", 3),
    fixed(Id::Escv, kEsc, 'v', "ESC v", 2),
    fixed(Id::EscBrace, kEsc, '{', "ESC {", 3),
    fixed(Id::EscSelfTest, kEsc, 0x88, "ESC 0x88", 2),

    fixed(Id::FsBang, kFs, '!', "FS !", 3),
    fixed(Id::FsAmpersand, kFs, '&', "FS &", 2),
    fixed(Id::FsMinus, kFs, '-', "FS -", 3),
    fixed(Id::FsDot, kFs, '.', "FS .", 2),
    ruled(Id::FsParen, kFs, '(', "FS (", gsParen),
    fixed(Id::FsTwo, kFs, '2', "FS 2", 76),
    fixed(Id::FsC, kFs, 'C', "FS C", 3),
    fixed(Id::FsS, kFs, 'S', "FS S", 4),
    fixed(Id::FsW, kFs, 'W', "FS W", 3),
    fixed(Id::Fsp, kFs, 'p', "FS p", 4),
    ruled(Id::Fsq, kFs, 'q', "FS q", fsq),
    fixed(Id::FsProgramSettings, kFs, 0xC6, "FS 0xC6", 12),
    fixed(Id::FsProgramFont, kFs, 0xC7, "FS 0xC7", 12),
    fixed(Id::FsProgramFirmware, kFs, 0xC8, "FS 0xC8", 12),
    fixed(Id::FsCompound, kFs, 0xC9, "FS 0xC9", 4),

    fixed(Id::GsBang, kGs, '!', "GS !", 3),
    fixed(Id::GsDollar, kGs, '$', "GS $", 4),
    ruled(Id::GsParen, kGs, '(', "GS (", gsParen),
    ruled(Id::GsStar, kGs, '*', "GS *", gsStar),
    fixed(Id::GsSlash, kGs, '/', "GS /", 3),
    fixed(Id::GsColon, kGs, ':', "GS :", 2),
    fixed(Id::GsB, kGs, 'B', "GS B", 3),
    fixed(Id::GsE, kGs, 'E', "GS E", 3),
    fixed(Id::GsH, kGs, 'H', "GS H", 3),
    fixed(Id::GsI, kGs, 'I', "GS I", 3),
    fixed(Id::GsL, kGs, 'L', "GS L", 4),
    fixed(Id::GsP, kGs, 'P', "GS P", 4),
    ruled(Id::GsV, kGs, 'V', "GS V", gsV),
    fixed(Id::GsW, kGs, 'W', "GS W", 4),
    fixed(Id::GsBackslash, kGs, '\\', "GS \\", 4),
    fixed(Id::GsCaret, kGs, '^', "GS ^", 5),
    fixed(Id::Gsa, kGs, 'a', "GS a", 3),
    fixed(Id::Gsb, kGs, 'b', "GS b", 3),
    fixed(Id::Gsf, kGs, 'f', "GS f", 3),
    fixed(Id::Gsh, kGs, 'h', "GS h", 3),
    ruled(Id::Gsk, kGs, 'k', "GS k", gsk),
    fixed(Id::Gsr, kGs, 'r', "GS r", 3),
    ruled(Id::Gsv, kGs, 'v', "GS v", gsv),
    fixed(Id::Gsw, kGs, 'w', "GS w", 3),
    ruled(Id::GsEight, kGs, '8', "GS 8", gsEight),
});

bool isPrefix(std::uint8_t b) {
    return b == kDle || b == kEsc || b == kFs || b == kGs;
}

} // namespace

std::span<const CommandForm> commandTable() {
    return kTable;
}

const CommandForm* findCommand(std::uint8_t lead, int second) {
    for (const auto& form : kTable)
        if (form.lead == lead && form.second == second)
            return &form;
    return nullptr;
}

void EscPosParser::feed(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes)
        feed(b);
}

void EscPosParser::feed(std::uint8_t byte) {
    if (m_buffer.empty()) {
        if (isPrefix(byte)) {
            m_buffer.push_back(byte);
            return;
        }
        if (const CommandForm* form = findCommand(byte, -1)) {
            m_buffer.push_back(byte);
            m_form = form;
            emit(false);
            return;
        }
        m_sink.onPrintData(byte);
        return;
    }
    m_buffer.push_back(byte);
    if (!m_form) {
        m_form = findCommand(m_buffer[0], byte);
        if (!m_form) {
            emit(false);
            return;
        }
        m_needed = m_form->fixedLength ? m_form->fixedLength : 0;
    }
    settle();
}

void EscPosParser::settle() {
    if (m_form->fixedLength) {
        if (m_buffer.size() >= m_needed)
            emit(false);
        return;
    }
    // Ask the rule again each time the length it last gave has been reached:
    // the parameters collected since may extend it (the next image of FS q).
    while (m_buffer.size() >= m_needed) {
        const std::size_t wanted = m_form->length(m_buffer);
        if (wanted == kBadLength) {
            emit(true);
            return;
        }
        if (wanted <= m_buffer.size()) {
            emit(false);
            return;
        }
        m_needed = wanted;
    }
}

void EscPosParser::emit(bool malformed) {
    EscPosCommand command;
    command.form = m_form;
    command.malformed = malformed;
    // Cleared before the sink runs, so a sink that resets or feeds sees an
    // idle parser; the command's bytes move out with it.
    std::vector<std::uint8_t> bytes;
    bytes.swap(m_buffer);
    command.raw = bytes;
    m_form = nullptr;
    m_needed = 0;
    m_sink.onCommand(command);
}

void EscPosParser::reset() {
    m_buffer.clear();
    m_form = nullptr;
    m_needed = 0;
}

} // namespace ordalia::vprinter
