#pragma once

#include "ports/serial_port.h"

#include <chrono>
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

// "host:port", an IPv6 host in brackets: how messages name the printer.
std::string hostAndPort(const NetworkAddress& address);

// A name server that has not answered in this long is not reachable; the
// lookup is left behind (it runs on a thread of its own) and the open fails.
inline constexpr std::chrono::milliseconds kLookupLimit{5000};
// A printer on the same network answers a connection in milliseconds; one
// that has not in this long is off or elsewhere.
inline constexpr std::chrono::milliseconds kConnectLimit{3000};
// A printer that takes no byte for this long has stopped reading.
inline constexpr std::chrono::milliseconds kWriteLimit{5000};

// A connection that carries nothing is probed after kKeepAliveIdle, then every
// kKeepAliveInterval, and given up after kKeepAliveProbes unanswered probes:
// a printer switched off or unplugged is seen within seconds, not after the
// system's two hours. Bytes left unacknowledged for kUnacknowledgedLimit end
// the connection too (where the system offers it).
inline constexpr std::chrono::seconds kKeepAliveIdle{5};
inline constexpr std::chrono::seconds kKeepAliveInterval{2};
inline constexpr int kKeepAliveProbes = 3;
inline constexpr std::chrono::milliseconds kUnacknowledgedLimit{10000};

// What can go wrong with a network printer, told the same way on every
// system: `where` is hostAndPort() (the host alone for UnknownHost), `detail`
// the system's own words where they add something.
enum class NetworkFault {
    UnknownHost,
    LookupTimedOut,
    Refused,
    NoAnswer,
    Unreachable,
    ConnectFailed,
    Stalled,
    ClosedByPrinter,
    SendFailed
};
PortError networkError(NetworkFault fault, const std::string& where,
                       const std::string& detail = {});

} // namespace ordalia
