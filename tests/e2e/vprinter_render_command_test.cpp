// ordalia-vprinter --render: the pages a script finds after sending a logo
// and a receipt over the pseudo-terminal.

#include "common/files.h"
#include "link/system_ports.h"
#include "png.h"
#include "support/harness.h"
#include "support/process.h"
#include "testprint/test_pages.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;

TEST(VirtualPrinterRender, LogoAndReceiptBecomeOnePngEach) {
    const char* programDir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (!programDir)
        GTEST_SKIP() << "ORDALIA_PROGRAM_DIR is not set";
    TempFolder program;
    const auto output = program.path() / "output.txt";
    const auto pages = program.path() / "paper";
    const pid_t pid = spawnCommand({ORDALIA_VPRINTER_COMMAND, "--ports",
                                    (program.path() / "ports").string(), "--render", pages.string(),
                                    "--program", programDir, "--exit-after-idle", "1500"},
                                   output);
    ASSERT_GT(pid, 0);
    for (int i = 0;
         i < 200 && readText(program.path() / "ports").find("COM 1=") == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);

    // A 16 x 8 logo: a frame with a dot in the middle, then FS p 1 and a cut.
    std::vector<std::uint8_t> stream = {0x1C /*FS*/, 'q', 1 /*one image*/, 2, 0 /*x*/, 1, 0 /*y*/};
    for (int column = 0; column < 16; ++column)
        stream.push_back(column == 0 || column == 15 ? 0xFF : column == 8 ? 0x91 : 0x81);
    stream.insert(stream.end(), {0x1C, 'p', 1, 0, 0x1D, 'V', 66, 0});
    const auto receipt =
        readWholeFile(std::filesystem::path(programDir) / "testpage" / "rec1.p", 655351);
    ASSERT_EQ(receipt.status, FileRead::Status::Ok);
    stream.insert(stream.end(), receipt.bytes.begin(), receipt.bytes.end());
    program.write("testpage/both.p", stream);

    auto serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    Services services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    EXPECT_EQ(SendTestPage(services, LinkChoice{}, "testpage/both.p"), Outcome::Done);
    EXPECT_EQ(waitForExit(pid, 15s), 0);

    const std::string text = readText(output);
    EXPECT_THAT(text, HasSubstr("drawing the paper to " + pages.string()));
    EXPECT_THAT(text, HasSubstr("page-0002.png"));
    EXPECT_FALSE(std::filesystem::exists(pages / "page-0003.png"));

    const auto logo = vprinter::decodePng(program.read("paper/page-0001.png"));
    ASSERT_TRUE(logo.ok) << logo.problem;
    EXPECT_EQ(logo.image.width, 576);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 17; ++x) {
            const bool frame = x == 0 || x == 15 || ((y == 0 || y == 7) && x < 16);
            const bool centre = x == 8 && y == 3;
            EXPECT_EQ(logo.image.dot(x, y), (frame || centre) && x < 16) << x << "," << y;
        }
    const auto page = vprinter::decodePng(program.read("paper/page-0002.png"));
    ASSERT_TRUE(page.ok) << page.problem;
    EXPECT_EQ(page.image.width, 576);
    EXPECT_GT(page.image.height, 500);
}

TEST(VirtualPrinterRender, BadPaperWidthIsRefused) {
    TempFolder program;
    const auto output = program.path() / "output.txt";
    const pid_t pid = spawnCommand(
        {ORDALIA_VPRINTER_COMMAND, "--render", program.path().string(), "--paper-dots", "500"},
        output);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitForExit(pid, 5s), 2);
    EXPECT_THAT(readText(output), HasSubstr("--paper-dots needs a width in dots"));
}

} // namespace
} // namespace ordalia
