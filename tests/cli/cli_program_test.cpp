// ordalia-cli as a script runs it: a separate process, its exit status and
// its two output streams, against virtual printers on pseudo-terminals.

#include "support/harness.h"
#include "support/process.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

struct ProgramRun {
    int status = -1; // the exit status; -1 when it did not end in time
    std::string out;
    std::string err;
};

ProgramRun runProgram(const TempFolder& scratch, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ORDALIA_CLI_COMMAND);
    const auto outFile = scratch.path() / "stdout.txt";
    const auto errFile = scratch.path() / "stderr.txt";
    ProgramRun run;
    const pid_t pid = spawnCommand(arguments, outFile, errFile);
    if (pid < 0)
        return run;
    run.status = waitForExit(pid, 60s);
    run.out = readText(outFile);
    run.err = readText(errFile);
    return run;
}

TEST(CliProgram, HelpAndMistakes) {
    TempFolder scratch;
    const ProgramRun help = runProgram(scratch, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: ordalia-cli"));

    const ProgramRun unknown =
        runProgram(scratch, {"--folder", scratch.path().string(), "frobnicate"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_THAT(unknown.err, HasSubstr("unknown command"));

    const ProgramRun noPort =
        runProgram(scratch, {"--folder", scratch.path().string(), "--port",
                             "/dev/ordalia-no-such-port", "test-page", "--self-test"});
    EXPECT_EQ(noPort.status, 2);
    EXPECT_THAT(noPort.err, HasSubstr("/dev/ordalia-no-such-port"));
}

// The README's loop: one firmware image into several printers in turn,
// stopping at the first that fails.
TEST(CliProgram, FirmwareIntoSeveralPrintersInTurn) {
    TempFolder scratch;
    std::vector<std::uint8_t> image(196608);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + i / 1024);
    const auto file = scratch.write("new.firm", image);

    std::vector<std::unique_ptr<VirtualPrinter>> printers;
    for (int n = 0; n < 2; ++n) {
        VirtualPrinterOptions options;
        options.printer.nvFolder = scratch.path() / ("nv" + std::to_string(n));
        options.printer.programmingTime = 200ms;
        printers.push_back(std::make_unique<VirtualPrinter>(options));
        printers.back()->start();
    }
    for (const auto& printer : printers) {
        const ProgramRun run =
            runProgram(scratch, {"--folder", scratch.path().string(), "--quiet", "--port",
                                 printer->slavePath(), "firmware", file.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, IsEmpty());
        ASSERT_TRUE(printer->firmwareImage().has_value());
        EXPECT_TRUE(*printer->firmwareImage() == image);
    }

    // A printer that hangs up halfway is a failure the loop can stop at.
    printers[0]->setDisconnectAfterBytes(printers[0]->receivedCount() + 10000);
    const ProgramRun failed =
        runProgram(scratch, {"--folder", scratch.path().string(), "--quiet", "--port",
                             printers[0]->slavePath(), "firmware", file.string()});
    EXPECT_EQ(failed.status, 2);
    EXPECT_THAT(failed.err, Not(IsEmpty()));
}

} // namespace
} // namespace ordalia
