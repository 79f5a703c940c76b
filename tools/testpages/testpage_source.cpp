#include "testpage_source.h"

#include "testpage_pictures.h"

#include <array>
#include <optional>
#include <span>
#include <utility>

namespace ordalia::testpages {

namespace {

// Enough to see what is wrong with a source without flooding the build log.
constexpr std::size_t kMaxErrors = 20;

constexpr std::array<std::pair<std::string_view, std::uint8_t>, 34> kMnemonics{{
    {"NUL", 0x00}, {"SOH", 0x01}, {"STX", 0x02}, {"ETX", 0x03}, {"EOT", 0x04}, {"ENQ", 0x05},
    {"ACK", 0x06}, {"BEL", 0x07}, {"BS", 0x08},  {"HT", 0x09},  {"LF", 0x0A},  {"VT", 0x0B},
    {"FF", 0x0C},  {"CR", 0x0D},  {"SO", 0x0E},  {"SI", 0x0F},  {"DLE", 0x10}, {"DC1", 0x11},
    {"DC2", 0x12}, {"DC3", 0x13}, {"DC4", 0x14}, {"NAK", 0x15}, {"SYN", 0x16}, {"ETB", 0x17},
    {"CAN", 0x18}, {"EM", 0x19},  {"SUB", 0x1A}, {"ESC", 0x1B}, {"FS", 0x1C},  {"GS", 0x1D},
    {"RS", 0x1E},  {"US", 0x1F},  {"SP", 0x20},  {"DEL", 0x7F},
}};

std::optional<std::uint8_t> mnemonic(std::string_view word) {
    for (const auto& [name, value] : kMnemonics)
        if (name == word)
            return value;
    return std::nullopt;
}

bool isMnemonicInOtherCase(std::string_view word) {
    std::string upper(word);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return mnemonic(upper).has_value();
}

std::string hexByte(unsigned value) {
    const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[(value >> 4) & 0xF] + digits[value & 0xF];
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct Token {
    enum class Kind { Word, Number, String };
    Kind kind = Kind::Word;
    std::string text;        // the word as written, or the string's bytes
    unsigned long value = 0; // of a number
};

// A fault on the line being read; caught per line so the next lines are
// still checked.
struct LineFault {
    std::string message;
    bool endsPage = false; // nothing after it could be assembled either
};

[[noreturn]] void fail(std::string message) {
    throw LineFault{std::move(message)};
}

[[noreturn]] void failTooLong() {
    throw LineFault{"the page grows past " + std::to_string(kMaxPageSize) +
                        " bytes, the longest test page the program sends",
                    true};
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

unsigned long parseNumber(std::string_view word) {
    // Any number bigger than this is an error wherever it stands, so the
    // digits are never read into an overflow.
    constexpr unsigned long kLimit = 0xFFFFFF;
    unsigned long value = 0;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        for (const char c : word.substr(2)) {
            const int digit = hexValue(c);
            if (digit < 0)
                fail("'" + std::string(word) + "' is not a hexadecimal number");
            value = value * 16 + static_cast<unsigned long>(digit);
            if (value > kLimit)
                fail("number " + std::string(word) + " is too large");
        }
        return value;
    }
    for (const char c : word) {
        if (c < '0' || c > '9')
            fail("'" + std::string(word) + "' is not a number");
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > kLimit)
            fail("number " + std::string(word) + " is too large");
    }
    return value;
}

// Reads the string that starts at text[at] (the opening quote); returns its
// bytes and moves `at` past the closing quote.
std::string parseString(std::string_view text, std::size_t& at) {
    std::string bytes;
    ++at;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            ++at;
            return bytes;
        }
        const auto u = static_cast<unsigned char>(c);
        if (c != '\\') {
            if (u < 0x20 || u > 0x7E)
                fail("byte " + hexByte(u) + " in a string; write it as \\x" + hexByte(u).substr(2));
            bytes.push_back(c);
            ++at;
            continue;
        }
        if (at + 1 >= text.size())
            fail("unterminated string");
        const char e = text[at + 1];
        at += 2;
        switch (e) {
        case '\\':
            bytes.push_back('\\');
            break;
        case '"':
            bytes.push_back('"');
            break;
        case 'n':
            bytes.push_back('\n');
            break;
        case 'r':
            bytes.push_back('\r');
            break;
        case 't':
            bytes.push_back('\t');
            break;
        case '0':
            bytes.push_back('\0');
            break;
        case 'x': {
            const int high = at < text.size() ? hexValue(text[at]) : -1;
            const int low = at + 1 < text.size() ? hexValue(text[at + 1]) : -1;
            if (high < 0 || low < 0)
                fail("\\x needs two hexadecimal digits");
            bytes.push_back(static_cast<char>(high * 16 + low));
            at += 2;
            break;
        }
        default: {
            const auto ue = static_cast<unsigned char>(e);
            if (ue >= 0x21 && ue <= 0x7E)
                fail(std::string("unknown escape \\") + e + " in a string");
            fail("unknown escape \\ followed by byte " + hexByte(ue) + " in a string");
        }
        }
    }
    fail("unterminated string");
}

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t at = 0;
    while (at < line.size()) {
        const char c = line[at];
        if (isBlank(c)) {
            ++at;
            continue;
        }
        if (c == '#')
            break;
        Token token;
        if (c == '"') {
            token.kind = Token::Kind::String;
            token.text = parseString(line, at);
            if (at < line.size() && !isBlank(line[at]) && line[at] != '#')
                fail("a blank must follow the string");
        } else {
            const std::size_t start = at;
            while (at < line.size() && !isBlank(line[at]) && line[at] != '#') {
                const auto u = static_cast<unsigned char>(line[at]);
                if (line[at] == '"')
                    fail("a blank must come before the string");
                if (u < 0x21 || u > 0x7E)
                    fail("unexpected byte " + hexByte(u) +
                         "; outside strings a source holds plain ASCII only");
                ++at;
            }
            token.text = std::string(line.substr(start, at - start));
            if (token.text[0] >= '0' && token.text[0] <= '9') {
                token.kind = Token::Kind::Number;
                token.value = parseNumber(token.text);
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

bool isDirective(const Token& token) {
    return token.kind == Token::Kind::Word && token.text[0] == '.';
}

class Assembler {
public:
    explicit Assembler(std::vector<std::uint8_t>& out) : m_out(out) {}

    void line(std::span<const Token> tokens) {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (isDirective(tokens[i])) {
                directive(tokens[i].text, tokens.subspan(i + 1));
                return;
            }
            append(item(tokens[i]));
        }
    }

private:
    std::vector<std::uint8_t>& m_out;

    void append(const std::vector<std::uint8_t>& bytes) {
        if (bytes.size() > kMaxPageSize - m_out.size())
            failTooLong();
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    }

    static std::vector<std::uint8_t> item(const Token& token) {
        switch (token.kind) {
        case Token::Kind::Number:
            if (token.value > 0xFF)
                fail("number " + token.text + " does not fit in a byte (0 to 255)");
            return {static_cast<std::uint8_t>(token.value)};
        case Token::Kind::String:
            return {token.text.begin(), token.text.end()};
        case Token::Kind::Word:
            break;
        }
        if (const auto byte = mnemonic(token.text))
            return {*byte};
        if (isMnemonicInOtherCase(token.text))
            fail("unknown word '" + token.text + "' (control code names are upper case)");
        fail("unknown word '" + token.text + "'");
    }

    // The plain items of a `.repeat` or `.counted`.
    static std::vector<std::uint8_t> items(std::string_view name, std::span<const Token> tokens) {
        std::vector<std::uint8_t> bytes;
        for (const Token& token : tokens) {
            if (isDirective(token))
                fail(token.text + " cannot stand inside " + std::string(name));
            const auto piece = item(token);
            bytes.insert(bytes.end(), piece.begin(), piece.end());
            if (bytes.size() > kMaxPageSize)
                failTooLong();
        }
        return bytes;
    }

    static unsigned long number(const Token& token, std::string_view what, unsigned long low,
                                unsigned long high) {
        if (token.kind != Token::Kind::Number || token.value < low || token.value > high)
            fail(std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not " +
                 (token.kind == Token::Kind::String ? "a string" : "'" + token.text + "'"));
        return token.value;
    }

    static void expectCount(std::string_view usage, std::span<const Token> args,
                            std::size_t count) {
        if (args.size() != count)
            fail("usage: " + std::string(usage));
    }

    void directive(const std::string& name, std::span<const Token> args) {
        if (name == ".chart")
            chart(args);
        else if (name == ".raster")
            raster(args);
        else if (name == ".columns")
            columns(args);
        else if (name == ".repeat")
            repeat(args);
        else if (name == ".counted")
            counted(args);
        else
            fail("unknown directive '" + name + "'");
    }

    void chart(std::span<const Token> args) {
        constexpr std::string_view usage = ".chart TABLE FONT (TABLE 0 to 255, FONT A or B)";
        expectCount(usage, args, 2);
        const auto table = number(args[0], ".chart TABLE", 0, 255);
        if (args[1].kind != Token::Kind::Word || (args[1].text != "A" && args[1].text != "B"))
            fail("usage: " + std::string(usage));
        append(codePageChart(static_cast<std::uint8_t>(table),
                             args[1].text == "A" ? ChartFont::A : ChartFont::B));
    }

    void raster(std::span<const Token> args) {
        expectCount(".raster WIDTH HEIGHT", args, 2);
        const auto width = number(args[0], ".raster WIDTH", kRasterMinWidth, kRasterMaxWidth);
        if (width % 8 != 0)
            fail(".raster WIDTH must be a multiple of 8, not " + args[0].text);
        const auto height = number(args[1], ".raster HEIGHT", kRasterMinHeight, kRasterMaxHeight);
        append(rasterCommand(drawTestPicture(static_cast<int>(width), static_cast<int>(height))));
    }

    void columns(std::span<const Token> args) {
        constexpr std::string_view usage = ".columns WIDTH \"left\" \"right\"";
        expectCount(usage, args, 3);
        const auto width = number(args[0], ".columns WIDTH", 1, 255);
        if (args[1].kind != Token::Kind::String || args[2].kind != Token::Kind::String)
            fail("usage: " + std::string(usage));
        const std::string& left = args[1].text;
        const std::string& right = args[2].text;
        if (left.size() + 1 + right.size() > width)
            fail("\"" + left + "\" and \"" + right + "\" do not fit in " + std::to_string(width) +
                 " columns with a blank between");
        std::vector<std::uint8_t> bytes(left.begin(), left.end());
        bytes.insert(bytes.end(), width - left.size() - right.size(), ' ');
        bytes.insert(bytes.end(), right.begin(), right.end());
        bytes.push_back('\n');
        append(bytes);
    }

    void repeat(std::span<const Token> args) {
        if (args.size() < 2)
            fail("usage: .repeat COUNT items...");
        const auto count = number(args[0], ".repeat COUNT", 1, 65535);
        const auto once = items(".repeat", args.subspan(1));
        if (once.size() * count > kMaxPageSize - m_out.size())
            failTooLong();
        for (unsigned long i = 0; i < count; ++i)
            append(once);
    }

    void counted(std::span<const Token> args) {
        const auto bytes = items(".counted", args);
        if (bytes.empty())
            fail("usage: .counted items...");
        if (bytes.size() > 255)
            fail(".counted holds " + std::to_string(bytes.size()) +
                 " bytes; a count byte reaches 255");
        std::vector<std::uint8_t> withCount{static_cast<std::uint8_t>(bytes.size())};
        withCount.insert(withCount.end(), bytes.begin(), bytes.end());
        append(withCount);
    }
};

} // namespace

Assembly assemble(std::string_view source) {
    Assembly result;
    Assembler assembler(result.bytes);
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string_view::npos)
            end = source.size();
        std::string_view line = source.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        try {
            const auto tokens = tokenize(line);
            assembler.line(tokens);
        } catch (const LineFault& fault) {
            result.errors.push_back({lineNumber, fault.message});
            if (fault.endsPage || result.errors.size() == kMaxErrors)
                break;
        }
    }
    if (!result.ok())
        result.bytes.clear();
    return result;
}

std::string describeError(std::string_view fileName, const SourceError& error) {
    return std::string(fileName) + ":" + std::to_string(error.line) + ": " + error.message;
}

} // namespace ordalia::testpages
