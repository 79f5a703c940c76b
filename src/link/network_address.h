#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordalia {

// A network printer's address as the port list names it: tcp://HOST[:PORT].
// HOST is a host name, an IPv4 address or an IPv6 address in brackets
// ("tcp://[fe80::1%eth0]:9100"); PORT is 9100, the raw printing port, unless
// given.
inline constexpr std::uint16_t kRawPrintingPort = 9100;
inline constexpr std::string_view kNetworkScheme = "tcp://";

struct NetworkAddress {
    std::string host; // without brackets
    std::uint16_t port = kRawPrintingPort;
};

// Parses `device`. Anything that does not fit gives nothing, and `error`
// says why in words the user can act on.
std::optional<NetworkAddress> parseNetworkAddress(std::string_view device, std::string* error);

} // namespace ordalia
