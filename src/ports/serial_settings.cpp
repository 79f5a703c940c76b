#include "ports/serial_port.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace ordalia {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view s, long& value) {
    if (s.empty())
        return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

} // namespace

std::chrono::milliseconds lineSendLimit(std::size_t bytes, const SerialSettings& settings) {
    const auto lineMs = static_cast<std::uint64_t>(bytes) *
                        static_cast<std::uint64_t>(settings.bitsPerByte()) * 1000 /
                        std::max<std::uint32_t>(settings.baud, 1);
    return std::chrono::milliseconds(2000 + 3 * lineMs);
}

std::optional<SerialSettings> parseSerialSettings(std::string_view text, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<SerialSettings> {
        if (error)
            *error = "The serial settings \"" + std::string(text) + "\" are not valid: " + why +
                     ". They must read speed,parity,data bits,stop bits, e.g. 115200,n,8,1.";
        return std::nullopt;
    };

    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(
            trimmed(text.substr(start, comma == text.npos ? text.npos : comma - start)));
        if (comma == text.npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 4)
        return fail("there are " + std::to_string(fields.size()) + " fields instead of 4");

    SerialSettings settings;
    long speed = 0;
    if (!parseNumber(fields[0], speed) || speed < 50 || speed > 4000000)
        return fail("the speed \"" + std::string(fields[0]) + "\" is not a number of bit/s");
    settings.baud = static_cast<std::uint32_t>(speed);

    if (fields[1].size() != 1)
        return fail("the parity \"" + std::string(fields[1]) + "\" is not one of n, e, o, m, s");
    const char parity = static_cast<char>(fields[1][0] | 0x20); // either case
    if (parity != 'n' && parity != 'e' && parity != 'o' && parity != 'm' && parity != 's')
        return fail("the parity \"" + std::string(fields[1]) + "\" is not one of n, e, o, m, s");
    settings.parity = parity;

    long data = 0;
    if (!parseNumber(fields[2], data) || data < 5 || data > 8)
        return fail("the data bits \"" + std::string(fields[2]) + "\" are not 5 to 8");
    settings.dataBits = static_cast<int>(data);

    long stop = 0;
    if (!parseNumber(fields[3], stop) || (stop != 1 && stop != 2))
        return fail("the stop bits \"" + std::string(fields[3]) + "\" are not 1 or 2");
    settings.stopBits = static_cast<int>(stop);
    return settings;
}

} // namespace ordalia
