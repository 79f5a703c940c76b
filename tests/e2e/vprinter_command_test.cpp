// The command ordalia-vprinter as a script runs it: it maps the port in the
// program's "ports" file, captures what arrives and ends once idle.

#include "link/system_ports.h"
#include "support/harness.h"
#include "testprint/test_pages.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;

// Runs the command with its output in `outputFile`; its process id.
pid_t spawnCommand(const std::vector<std::string>& args, const std::filesystem::path& outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, or -1 when it has not ended within `limit`.
int waitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return -1;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
