// A network printer's address comes from typed text, the host file and the
// command line: any text is either refused with a reason or gives a host and
// port that name the same printer when written out again.

#include "ports/network_address.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& device : {std::string(text), "tcp://" + std::string(text)}) {
        std::string error;
        const auto address = ordalia::parseNetworkAddress(device, &error);
        if (!address) {
            if (error.empty())
                __builtin_trap();
            continue;
        }
        if (address->host.empty() || address->port == 0)
            __builtin_trap();
        const bool v6 = address->host.find(':') != std::string::npos;
        const std::string again = "tcp://" + (v6 ? "[" + address->host + "]" : address->host) +
                                  ":" + std::to_string(address->port);
        const auto reread = ordalia::parseNetworkAddress(again, nullptr);
        if (!reread || reread->host != address->host || reread->port != address->port)
            __builtin_trap();
    }
    return 0;
}
