#include "ports/network_address.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::HasSubstr;

TEST(NetworkAddressTest, ParsesHostAndPortOrSaysWhatIsWrong) {
    struct Case {
        const char* device;
        const char* host; // nullptr: refused
        std::uint16_t port;
        const char* says;
    };
    const Case kCases[] = {
        {"tcp://192.168.1.50", "192.168.1.50", 9100, ""},
        {"tcp://printer.local:9101", "printer.local", 9101, ""},
        {"tcp://front-desk_2/", "front-desk_2", 9100, ""},
        {"tcp://[fe80::1%eth0]:65535", "fe80::1%eth0", 65535, ""},
        {"tcp://[::ffff:10.0.0.7]", "::ffff:10.0.0.7", 9100, ""},
        {"192.168.1.50", nullptr, 0, "must start with tcp://"},
        {"tcp://", nullptr, 0, "host name or address is missing"},
        {"tcp://host:0", nullptr, 0, "from 1 to 65535"},
        {"tcp://host:65536", nullptr, 0, "from 1 to 65535"},
        {"tcp://host:91x0", nullptr, 0, "from 1 to 65535"},
        {"tcp://fe80::1", nullptr, 0, "goes in brackets"},
        {"tcp://[fe80::1", nullptr, 0, "no closing bracket"},
        {"tcp://[printer]", nullptr, 0, "must hold an IPv6 address"},
        {"tcp://[fe80::1]9100", nullptr, 0, "only :PORT may follow"},
        {"tcp://my printer", nullptr, 0, "only letters, digits"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.device);
        std::string error;
        const auto address = parseNetworkAddress(c.device, &error);
        if (!c.host) {
            EXPECT_FALSE(address);
            EXPECT_THAT(error, HasSubstr(c.says));
            EXPECT_THAT(error, HasSubstr(std::string("\"") + c.device + "\""));
            continue;
        }
        ASSERT_TRUE(address) << error;
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
    }
}

} // namespace
} // namespace ordalia
