#include "link/port_names.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

TEST(PortNames, MappingFileNamesSomeEntriesTheRestKeepTheirDevice) {
#ifndef _WIN32
    EXPECT_EQ(defaultPortDevice(1), "/dev/ttyS0");
#endif
    ordalia::testing::TempFolder folder;
    folder.write("ports", "# USB adapters\nCOM 1=/dev/ttyUSB0\r\n  COM3 = /dev/pts/7  \ngarbage\n"
                          "COM 1=/dev/ttyACM0\n");
    const std::pair<int, std::string> kCases[] = {
        {1, "/dev/ttyACM0"}, {3, "/dev/pts/7"}, {2, defaultPortDevice(2)}}; // the last line wins
    for (const auto& [port, device] : kCases) {
        EXPECT_EQ(resolvePortName(port, folder.path()).device, device) << port;
        EXPECT_EQ(resolvePortName(port, folder.path()).fromMapping, port != 2) << port;
    }
    // Setting an entry keeps the other lines.
    ASSERT_TRUE(setMappedPortDevice(1, "/dev/pts/4", folder.path() / "ports"));
    const auto text = folder.read("ports");
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "# USB adapters\n  COM3 = /dev/pts/7  \ngarbage\nCOM 1=/dev/pts/4\n");
}

} // namespace
} // namespace ordalia
