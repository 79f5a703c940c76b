#include "cli/cli_ports.h"
#include "support/harness.h"

#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

FoundPort port(const char* device, const char* description) {
    FoundPort found;
    found.device = found.stableName = device;
    found.description = description;
    return found;
}

TEST(CliPorts, ListsEveryEntryAndSaysWhenNoPortWasFound) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "COM 2=/dev/pts/3\n");
    struct Case {
        const char* name;
        std::vector<FoundPort> found;
        std::string listed;
    };
    const std::string rest = "COM 4 = no port\nCOM 5 = no port\nCOM 6 = no port\n"
                             "COM 7 = no port\nCOM 8 = no port\n";
    const Case kCases[] = {
        // The named entry keeps its device; the others keep their place.
        {"three found",
         {port("/dev/ttyUSB0", "FT232R USB UART"), port("/dev/ttyACM0", "Receipt Printer"),
          port("/dev/ttyS0", "UART")},
         "COM 1 = /dev/ttyUSB0, FT232R USB UART\nCOM 2 = /dev/pts/3, named in the file \"ports\"\n"
         "COM 3 = /dev/ttyS0, UART\n" +
             rest},
        {"none found",
         {},
         "COM 1 = no port\nCOM 2 = /dev/pts/3, named in the file \"ports\"\nCOM 3 = no port\n" +
             rest +
             "No serial port was found on this computer. Plug the printer's cable in, or name "
             "its device in the file \"ports\" beside the program, e.g. COM 1=/dev/ttyUSB0.\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out;
        EXPECT_EQ(listPorts(folder.path(), c.found, out), Outcome::Done);
        EXPECT_EQ(out.str(), c.listed);
    }
}

} // namespace
} // namespace ordalia::cli
