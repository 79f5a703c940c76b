#include "cli/cli_info_ports.h"
#include "support/harness.h"

#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

TEST(CliPorts, ListsEveryEntryAndSaysOnceThatNoPortWasFound) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "COM 2=/dev/pts/3\n");
    std::ostringstream out;
    EXPECT_EQ(listPorts(folder.path(), {}, out), Outcome::Done);
    EXPECT_EQ(out.str(),
              "COM 1 = no port\nCOM 2 = /dev/pts/3, named in the file \"ports\"\nCOM 3 = "
              "no port\nCOM 4 = no port\nCOM 5 = no port\nCOM 6 = no port\nCOM 7 = no "
              "port\nCOM 8 = no port\nNo serial port was found on this computer. Plug "
              "the printer's cable in, or name its device in the file \"ports\" beside "
              "the program, e.g. COM 1=/dev/ttyUSB0.\n");
}

} // namespace
} // namespace ordalia::cli
