// The command ordalia-vprinter as a script runs it: it maps the port in the
// program's "ports" file, captures and draws what arrives, and ends once idle.

#include "link/system_ports.h"
#include "png.h"
#include "support/harness.h"
#include "support/process.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>
#include <thread>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;

TEST(VirtualPrinterCommand, MapsThePortCapturesDrawsAndEndsWhenIdle) {
    TempFolder program;
    const pid_t pid = spawnCommand(
        {ORDALIA_VPRINTER_COMMAND, "--ports", (program.path() / "ports").string(), "--com", "3",
         "--capture", (program.path() / "capture.bin").string(), "--nv",
         (program.path() / "nv").string(), "--render", (program.path() / "paper").string(),
         "--program", ORDALIA_PROGRAM_FOLDER, "--exit-after-idle", "1500"},
        program.path() / "output.txt");
    ASSERT_GT(pid, 0);
    for (int i = 0;
         i < 200 && readText(program.path() / "ports").find("COM 3=") == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);

    // A 16 x 8 logo, a frame with a dot in the middle, printed and cut off;
    // then the printer's own test page.
    std::vector<std::uint8_t> page = {0x1C /*FS*/, 'q', 1 /*one image*/, 2, 0 /*x*/, 1, 0 /*y*/};
    for (int column = 0; column < 16; ++column)
        page.push_back(column == 0 || column == 15 ? 0xFF : column == 8 ? 0x91 : 0x81);
    page.insert(page.end(), {0x1C, 'p', 1, 0 /*FS p 1*/, 0x1D, 'V', 66, 0 /*cut*/});
    program.write("testpage/logo.p", page);
    auto serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    const Services services{*serial, parallel, systemClock(), events,
                            dialogs, gate,     program.path()};
    LinkChoice choice;
    choice.portIndex = 3;
    EXPECT_EQ(SendTestPage(services, choice, "testpage/logo.p"), Outcome::Done);
    EXPECT_EQ(SendSelfTestRequest(services, choice), Outcome::Done);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(waitForExit(pid, 15s), 0);

    page.insert(page.end(), {0x1B, 0x88});
    EXPECT_EQ(program.read("capture.bin"), page);
    const std::string output = readText(program.path() / "output.txt");
    EXPECT_THAT(output, HasSubstr("ordalia-vprinter: printer on /dev/"));
    EXPECT_THAT(output, HasSubstr("COM 3=/dev/"));
    EXPECT_THAT(output, HasSubstr("drawing the paper to " + (program.path() / "paper").string()));
    EXPECT_THAT(output, HasSubstr("self-test page (ESC 0x88)"));
    EXPECT_THAT(output, HasSubstr(std::to_string(page.size()) + " byte(s) received"));

    const auto logo = vprinter::decodePng(program.read("paper/page-0001.png"));
    ASSERT_TRUE(logo.ok) << logo.problem;
    EXPECT_EQ(logo.image.width, 576);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 17; ++x) {
            const bool frame = x < 16 && (x == 0 || x == 15 || y == 0 || y == 7);
            EXPECT_EQ(logo.image.dot(x, y), frame || (x == 8 && y == 3)) << x << "," << y;
        }
    EXPECT_TRUE(vprinter::decodePng(program.read("paper/page-0002.png")).ok); // the test page
    EXPECT_FALSE(std::filesystem::exists(program.path() / "paper/page-0003.png"));
}

TEST(VirtualPrinterCommand, BadOptionsAreRefused) {
    TempFolder program;
    for (const auto& [option, value, message] :
         {std::tuple{"--com", "9", "--com needs a port number from 1 to 8"},
          {"--paper-dots", "500", "--paper-dots needs a width in dots"}}) {
        const pid_t pid =
            spawnCommand({ORDALIA_VPRINTER_COMMAND, option, value}, program.path() / "out");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitForExit(pid, 5s), 2);
        EXPECT_THAT(readText(program.path() / "out"), HasSubstr(message));
    }
}

} // namespace
} // namespace ordalia
