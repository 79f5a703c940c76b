#include "testpages/escpos_walk.h"

#include <algorithm>
#include <string_view>

namespace ordalia::testpages::testing {

namespace {

constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kHt = 0x09;
constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kGs = 0x1D;

std::string hex(unsigned value) {
    const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[(value >> 4) & 0xF] + digits[value & 0xF];
}

bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::span<const std::uint8_t> data) {
    return std::all_of(data.begin(), data.end(), isDigit);
}

// The check digit of UPC-A (11 digits) and EAN13 (12 digits): weights 3 and 1
// from the right.
int checkDigit(std::span<const std::uint8_t> digits) {
    int sum = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const int weight = (digits.size() - i) % 2 == 1 ? 3 : 1;
        sum += weight * (digits[i] - '0');
    }
    return (10 - sum % 10) % 10;
}

std::string fixedDigits(std::span<const std::uint8_t> data, std::size_t bare,
                        std::string_view what) {
    if (!allDigits(data) || (data.size() != bare && data.size() != bare + 1))
        return std::string(what) + " takes " + std::to_string(bare) + " or " +
               std::to_string(bare + 1) + " digits";
    if (data.size() == bare + 1 && checkDigit(data.first(bare)) != data[bare] - '0')
        return std::string(what) + " check digit is wrong";
    return {};
}

// Why a symbology refuses the data; empty when it takes it. `system` is m of
// form 1 (0 to 6) or of form 2 less 65 (0 to 8).
std::string barcodeFault(int system, std::span<const std::uint8_t> data) {
    if (data.empty())
        return "empty bar code";
    switch (system) {
    case 0:
        return fixedDigits(data, 11, "UPC-A");
    case 1:
        return "UPC-E is not used by the test pages";
    case 2:
        return fixedDigits(data, 12, "EAN13");
    case 3:
        return fixedDigits(data, 7, "EAN8");
    case 4:
        for (const std::uint8_t c : data)
            if (!isDigit(c) && !(c >= 'A' && c <= 'Z') &&
                std::string_view(" $%+-./").find(static_cast<char>(c)) == std::string_view::npos)
                return "CODE39 cannot hold " + hex(c);
        return {};
    case 5:
        if (!allDigits(data) || data.size() % 2 != 0)
            return "ITF takes an even number of digits";
        return {};
    case 6: {
        const auto isStartStop = [](std::uint8_t c) { return c >= 'A' && c <= 'D'; };
        if (data.size() < 3 || !isStartStop(data.front()) || !isStartStop(data.back()))
            return "CODABAR starts and ends with one of A to D";
        for (const std::uint8_t c : data.subspan(1, data.size() - 2))
            if (!isDigit(c) &&
                std::string_view("-$:/.+").find(static_cast<char>(c)) == std::string_view::npos)
                return "CODABAR cannot hold " + hex(c);
        return {};
    }
    case 7:
        for (const std::uint8_t c : data)
            if (c > 127)
                return "CODE93 cannot hold " + hex(c);
        return {};
    case 8: {
        if (data.size() < 2 || data[0] != '{' || data[1] < 'A' || data[1] > 'C')
            return "CODE128 data must start with {A, {B or {C";
        bool setC = false;
        for (std::size_t i = 0; i < data.size(); ++i) {
            if (data[i] == '{' && i + 1 < data.size()) {
                setC = data[i + 1] == 'C';
                ++i;
                continue;
            }
            if (data[i] > 127 || (setC && data[i] > 99))
                return "CODE128 cannot hold " + hex(data[i]);
        }
        return {};
    }
    default:
        return "unknown bar code system";
    }
}

class Walker {
public:
    explicit Walker(std::span<const std::uint8_t> stream) : m_in(stream) {}

    Walk run() {
        while (m_at < m_in.size() && m_walk.fault.empty())
            step();
        return std::move(m_walk);
    }

private:
    std::span<const std::uint8_t> m_in;
    std::size_t m_at = 0;
    Walk m_walk;
    bool m_lineHasData = false;

    bool have(std::size_t count) const { return m_at + count <= m_in.size(); }
    std::uint8_t at(std::size_t i) const { return m_in[m_at + i]; }

    void fault(const std::string& what) {
        m_walk.fault = "offset " + std::to_string(m_at) + ": " + what;
    }

    void take(std::string name, std::size_t length) {
        if (!have(length)) {
            fault(name + " is cut off");
            return;
        }
        m_walk.commands.push_back(
            {m_at, std::move(name),
             std::vector<std::uint8_t>(m_in.begin() + m_at, m_in.begin() + m_at + length)});
        m_at += length;
    }

    // Commands the printer takes only with an empty line buffer.
    bool atLineStart(const std::string& name) {
        if (m_lineHasData)
            fault(name + " in the middle of a line, where the printer ignores it");
        return !m_lineHasData;
    }

    void step() {
        const std::uint8_t b = at(0);
        if (b >= 0x20 || b == kHt) {
            std::size_t length = 0;
            while (have(length + 1) && (at(length) >= 0x20 || at(length) == kHt))
                ++length;
            take("text", length);
            m_lineHasData = true;
        } else if (b == kLf || b == kCr) {
            take(b == kLf ? "LF" : "CR", 1);
            m_lineHasData = false;
        } else if (b == kEsc) {
            escape();
        } else if (b == kGs) {
            group();
        } else {
            fault("unexpected byte " + hex(b));
        }
    }

    void oneOf(const std::string& name, std::initializer_list<int> allowed) {
        if (!have(3)) {
            fault(name + " is cut off");
            return;
        }
        if (std::find(allowed.begin(), allowed.end(), at(2)) == allowed.end()) {
            fault(name + " " + std::to_string(at(2)) + " is out of range");
            return;
        }
        take(name, 3);
    }

    void escape() {
        if (!have(2)) {
            fault("ESC is cut off");
            return;
        }
        switch (at(1)) {
        case '@':
            take("ESC @", 2);
            m_lineHasData = false;
            return;
        case 'a':
            if (atLineStart("ESC a"))
                oneOf("ESC a", {0, 1, 2, 48, 49, 50});
            return;
        case 'E':
            return oneOf("ESC E", {0, 1});
        case '-':
            return oneOf("ESC -", {0, 1, 2, 48, 49, 50});
        case 'M':
            return oneOf("ESC M", {0, 1, 48, 49});
        case '!':
            if (have(3) && (at(2) & 0x46) != 0) {
                fault("ESC ! " + std::to_string(at(2)) + " sets undefined bits");
                return;
            }
            return take("ESC !", 3);
        case 't':
            if (have(3) && at(2) > 5) {
                fault("ESC t " + std::to_string(at(2)) + " is not one of the six tables");
                return;
            }
            return take("ESC t", 3);
        case 'd':
            take("ESC d", 3);
            m_lineHasData = false;
            return;
        case 'p':
            if (have(5) && (at(2) != 0 && at(2) != 1 && at(2) != 48 && at(2) != 49)) {
                fault("ESC p " + std::to_string(at(2)) + " names no drawer connector");
                return;
            }
            if (have(5) && (at(3) == 0 || at(4) < at(3))) {
                fault("ESC p pulse times " + std::to_string(at(3)) + ", " + std::to_string(at(4)) +
                      " are not sensible");
                return;
            }
            return take("ESC p", 5);
        default:
            fault("unknown command ESC " + hex(at(1)));
        }
    }

    void group() {
        if (!have(2)) {
            fault("GS is cut off");
            return;
        }
        switch (at(1)) {
        case '!':
            if (have(3) && (at(2) & 0x88) != 0) {
                fault("GS ! " + hex(at(2)) + " is beyond 8 x 8");
                return;
            }
            return take("GS !", 3);
        case 'B':
            return oneOf("GS B", {0, 1});
        case 'h':
            if (have(3) && at(2) == 0) {
                fault("GS h 0 is out of range");
                return;
            }
            return take("GS h", 3);
        case 'w':
            return oneOf("GS w", {2, 3, 4, 5, 6});
        case 'H':
            return oneOf("GS H", {0, 1, 2, 3, 48, 49, 50, 51});
        case 'f':
            return oneOf("GS f", {0, 1, 48, 49});
        case 'k':
            if (atLineStart("GS k"))
                barcode();
            return;
        case 'v':
            if (atLineStart("GS v 0"))
                raster();
            return;
        case 'V':
            if (atLineStart("GS V"))
                cut();
            return;
        default:
            fault("unknown command GS " + hex(at(1)));
        }
    }

    void barcode() {
        if (!have(4)) {
            fault("GS k is cut off");
            return;
        }
        const int m = at(2);
        std::span<const std::uint8_t> data;
        std::size_t length = 0;
        int system = 0;
        if (m <= 6) {
            const auto begin = m_in.begin() + static_cast<std::ptrdiff_t>(m_at + 3);
            const auto end = std::find(begin, m_in.end(), 0);
            if (end == m_in.end()) {
                fault("GS k " + std::to_string(m) + " has no closing NUL");
                return;
            }
            data = std::span(begin, end);
            length = 3 + data.size() + 1;
            system = m;
        } else if (m >= 65 && m <= 73) {
            const std::size_t n = at(3);
            if (!have(4 + n)) {
                fault("GS k " + std::to_string(m) + " is shorter than its count");
                return;
            }
            data = m_in.subspan(m_at + 4, n);
            length = 4 + n;
            system = m - 65;
        } else {
            fault("GS k " + std::to_string(m) + " names no bar code system");
            return;
        }
        if (const auto why = barcodeFault(system, data); !why.empty()) {
            fault(why);
            return;
        }
        take("GS k", length);
    }

    void raster() {
        if (!have(8) || at(2) != '0') {
            fault("GS v is not a complete GS v 0 header");
            return;
        }
        if (at(3) > 3 && (at(3) < 48 || at(3) > 51)) {
            fault("GS v 0 mode " + std::to_string(at(3)) + " is out of range");
            return;
        }
        const std::size_t x = at(4) + 256u * at(5);
        const std::size_t y = at(6) + 256u * at(7);
        if (x == 0 || y == 0) {
            fault("GS v 0 of no size");
            return;
        }
        take("GS v 0", 8 + x * y);
    }

    void cut() {
        if (!have(3)) {
            fault("GS V is cut off");
            return;
        }
        const int m = at(2);
        if (m == 0 || m == 1 || m == 48 || m == 49)
            take("GS V", 3);
        else if (m == 65 || m == 66)
            take("GS V", 4);
        else
            fault("GS V " + std::to_string(m) + " is no cut");
    }
};

struct PrintState {
    bool fontB = false;
    int width = 1;
    int height = 1;

    void apply(const Command& c) {
        if (c.name == "ESC @") {
            *this = PrintState{};
        } else if (c.name == "ESC M") {
            fontB = (c.bytes[2] & 1) != 0;
        } else if (c.name == "ESC !") {
            fontB = (c.bytes[2] & 0x01) != 0;
            height = (c.bytes[2] & 0x10) ? 2 : 1;
            width = (c.bytes[2] & 0x20) ? 2 : 1;
        } else if (c.name == "GS !") {
            width = (c.bytes[2] >> 4) + 1;
            height = (c.bytes[2] & 0x0F) + 1;
        }
    }
};

} // namespace

std::vector<const Command*> Walk::named(const std::string& name) const {
    std::vector<const Command*> found;
    for (const Command& c : commands)
        if (c.name == name)
            found.push_back(&c);
    return found;
}

Walk walkEscPos(std::span<const std::uint8_t> stream) {
    return Walker(stream).run();
}

int widestLineDots(const Walk& walk) {
    PrintState state;
    int line = 0;
    int widest = 0;
    for (const Command& c : walk.commands) {
        state.apply(c);
        if (c.name == "text") {
            line += static_cast<int>(c.bytes.size()) * (state.fontB ? 9 : 12) * state.width;
            widest = std::max(widest, line);
        } else if (c.name == "LF" || c.name == "CR" || c.name == "ESC d" || c.name == "GS k" ||
                   c.name == "GS v 0" || c.name == "GS V" || c.name == "ESC @") {
            line = 0;
        }
    }
    return widest;
}

std::vector<std::string> tallText(const Walk& walk) {
    PrintState state;
    std::vector<std::string> found;
    for (const Command& c : walk.commands) {
        state.apply(c);
        if (c.name == "text" && state.height >= 2)
            found.emplace_back(c.bytes.begin(), c.bytes.end());
    }
    return found;
}

} // namespace ordalia::testpages::testing
