#include "link/port_names.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

TEST(PortNames, DefaultMappingWithoutAFile) {
    ordalia::testing::TempFolder folder;
#ifdef _WIN32
    EXPECT_EQ(resolvePortName(3, folder.path()).device, "COM3");
#else
    EXPECT_EQ(resolvePortName(1, folder.path()).device, "/dev/ttyS0");
    EXPECT_EQ(resolvePortName(8, folder.path()).device, "/dev/ttyS7");
#endif
    EXPECT_FALSE(resolvePortName(1, folder.path()).fromMapping);
}

TEST(PortNames, MappingFileNamesSomeEntries) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "# USB adapters\nCOM 1=/dev/ttyUSB0\r\n  COM3 = /dev/pts/7  \ngarbage\n"
                          "COM 1=/dev/ttyACM0\n");
    EXPECT_EQ(resolvePortName(1, folder.path()).device, "/dev/ttyACM0"); // last line wins
    EXPECT_TRUE(resolvePortName(1, folder.path()).fromMapping);
    EXPECT_EQ(resolvePortName(3, folder.path()).device, "/dev/pts/7");
    EXPECT_EQ(resolvePortName(2, folder.path()).device, defaultPortDevice(2));
}

TEST(PortNames, SettingAnEntryKeepsTheOthers) {
    ordalia::testing::TempFolder folder;
    const auto file = folder.path() / "ports";
    folder.write("ports", "# mine\nCOM 1=/dev/ttyUSB0\nCOM 2=/dev/ttyUSB1\n");
    ASSERT_TRUE(setMappedPortDevice(1, "/dev/pts/4", file));
    EXPECT_EQ(mappedPortDevice(1, file), "/dev/pts/4");
    EXPECT_EQ(mappedPortDevice(2, file), "/dev/ttyUSB1");
    const auto text = folder.read("ports");
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "# mine\nCOM 2=/dev/ttyUSB1\nCOM 1=/dev/pts/4\n");
}

} // namespace
} // namespace ordalia
