#include "common/text.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace ordalia {

std::string signedNumberText(long long value) {
    if (value < 0)
        return std::to_string(value);
    return " " + std::to_string(value);
}

long long roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even
    // unless someone changed it; do it by hand so the result never depends on that.
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    auto whole = static_cast<long long>(floorValue);
    if (fraction > 0.5)
        return whole + 1;
    if (fraction < 0.5)
        return whole;
    return (whole % 2 == 0) ? whole : whole + 1;
}

double leadingNumber(std::string_view text) {
    // Parsed by hand: strtod follows the locale's decimal point, and the window
    // runs under the user's locale.
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    bool digits = false;
    double value = 0.0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10.0 + (text[i++] - '0');
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        // Up to 15 fraction digits as one integer over a power of ten, so that
        // halves such as 2.5 come out exact.
        double fraction = 0.0;
        double scale = 1.0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (scale < 1e15) {
                fraction = fraction * 10.0 + (text[i] - '0');
                scale *= 10.0;
            }
            ++i;
            digits = true;
        }
        value += fraction / scale;
    }
    if (!digits)
        return 0.0;
    return negative ? -value : value;
}

std::string hexText(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return buffer;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace ordalia
