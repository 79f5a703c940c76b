#include "ports/network_address.h"

#include <algorithm>

namespace ordalia {
namespace {

bool isHostNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool isIpv6Char(char c) {
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' ||
           c == '.';
}

std::optional<std::uint16_t> portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<NetworkAddress> parseNetworkAddress(std::string_view device, std::string* error) {
    const auto refuse = [&](const std::string& why) -> std::optional<NetworkAddress> {
        if (error)
            *error = "\"" + std::string(device) + "\" is not a network printer address: " + why;
        return std::nullopt;
    };
    if (!device.starts_with(kNetworkScheme))
        return refuse("it must start with tcp://.");
    std::string_view rest = device.substr(kNetworkScheme.size());
    // A trailing slash is what a pasted URL often brings along.
    if (rest.ends_with('/'))
        rest.remove_suffix(1);

    NetworkAddress address;
    std::string_view portText;
    bool portGiven = false;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return refuse("the IPv6 address has no closing bracket.");
        std::string_view inside = rest.substr(1, close - 1);
        // A zone ("%eth0") names an interface, which is any name.
        const auto percent = inside.find('%');
        const std::string_view digits = inside.substr(0, percent);
        if (digits.empty() || digits.find(':') == std::string_view::npos ||
            !std::all_of(digits.begin(), digits.end(), isIpv6Char) ||
            (percent != std::string_view::npos && percent + 1 == inside.size()))
            return refuse("the brackets must hold an IPv6 address.");
        address.host = std::string(inside);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return refuse("only :PORT may follow the IPv6 address.");
            portText = after.substr(1);
            portGiven = true;
        }
    } else {
        const auto colon = rest.find(':');
        if (colon != std::string_view::npos && rest.find(':', colon + 1) != std::string_view::npos)
            return refuse("an IPv6 address goes in brackets, as in tcp://[fe80::1]:9100.");
        const std::string_view host = rest.substr(0, colon);
        if (host.empty())
            return refuse("the printer's host name or address is missing.");
        if (!std::all_of(host.begin(), host.end(), isHostNameChar))
            return refuse("a host name holds only letters, digits, dots and hyphens.");
        address.host = std::string(host);
        if (colon != std::string_view::npos) {
            portText = rest.substr(colon + 1);
            portGiven = true;
        }
    }
    if (portGiven) {
        const auto port = portNumber(portText);
        if (!port)
            return refuse("the port must be a number from 1 to 65535.");
        address.port = *port;
    }
    return address;
}

} // namespace ordalia

namespace ordalia {

std::string hostAndPort(const NetworkAddress& address) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

PortError networkError(NetworkFault fault, const std::string& where, const std::string& detail) {
    switch (fault) {
    case NetworkFault::UnknownHost:
        return {"the printer's host name " + where + " is not known (" + detail + ")."};
    case NetworkFault::LookupTimedOut:
        return {"the printer's host name " + where + " could not be looked up within " +
                std::to_string(kLookupLimit.count() / 1000) +
                " s: no name server answered. The printer's address (such as 192.168.1.50) "
                "works without one."};
    case NetworkFault::Refused:
        return {where + " refused the connection. Is it a network printer, and does it take raw "
                        "printing on that port?"};
    case NetworkFault::NoAnswer:
        return {where + " did not answer within " + std::to_string(kConnectLimit.count() / 1000) +
                " s. Is the printer on and on this network?"};
    case NetworkFault::Unreachable:
        return {where + " cannot be reached from this computer."};
    case NetworkFault::ConnectFailed:
        return {where + ": " + detail + "."};
    case NetworkFault::Stalled:
        return {"the printer at " + where + " took no more bytes for " +
                std::to_string(kWriteLimit.count()) + " ms."};
    case NetworkFault::ClosedByPrinter:
        return {"the printer at " + where + " closed the connection."};
    case NetworkFault::SendFailed:
        return {"sending to " + where + " failed: " + detail + "."};
    }
    return {where + ": " + detail + "."};
}

} // namespace ordalia
