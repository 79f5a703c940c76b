// The command ordalia-vprinter as a script runs it: it maps the port in the
// program's "ports" file, captures what arrives and ends once idle.

#include "link/system_ports.h"
#include "support/harness.h"
#include "support/process.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;

// Runs the command with its output in `outputFile`; its process id.
TEST(VirtualPrinterCommand, MapsThePortCapturesAndEndsWhenIdle) {
    TempFolder program;
    const auto output = program.path() / "output.txt";
    const pid_t pid =
        spawnCommand({ORDALIA_VPRINTER_COMMAND, "--ports", (program.path() / "ports").string(),
                      "--com", "3", "--capture", (program.path() / "capture.bin").string(), "--nv",
                      (program.path() / "nv").string(), "--exit-after-idle", "1500"},
                     output);
    ASSERT_GT(pid, 0);
    for (int i = 0;
         i < 200 && readText(program.path() / "ports").find("COM 3=") == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);

    auto serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    Services services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    LinkChoice choice;
    choice.portIndex = 3;
    EXPECT_EQ(SendSelfTestRequest(services, choice), Outcome::Done);
    EXPECT_TRUE(dialogs.messages.empty());

    EXPECT_EQ(waitForExit(pid, 10s), 0);
    EXPECT_EQ(program.read("capture.bin"), (std::vector<std::uint8_t>{0x1B, 0x88}));
    const std::string text = readText(output);
    EXPECT_THAT(text, HasSubstr("ordalia-vprinter: printer on /dev/"));
    EXPECT_THAT(text, HasSubstr("COM 3=/dev/"));
    EXPECT_THAT(text, HasSubstr("self-test page (ESC 0x88)"));
    EXPECT_THAT(text, HasSubstr("2 byte(s) received"));
}

TEST(VirtualPrinterCommand, BadOptionIsRefused) {
    TempFolder program;
    const auto output = program.path() / "output.txt";
    const pid_t pid = spawnCommand({ORDALIA_VPRINTER_COMMAND, "--com", "9"}, output);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitForExit(pid, 5s), 2);
    EXPECT_THAT(readText(output), HasSubstr("--com needs a port number from 1 to 8"));
}

} // namespace
} // namespace ordalia
