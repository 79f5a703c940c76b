// Every command of ordalia-cli against the virtual printer over a real
// pseudo-terminal, in a program folder laid out as the build lays it out: the
// exit status, what is said, what reaches the printer and what lands in files.

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

struct CliE2E : PrinterOnPty {
    CliE2E() : PrinterOnPty([](auto& o) { o.printer.programmingTime = 200ms; }) {}
    void SetUp() override {
        PrinterOnPty::SetUp();
        const std::filesystem::path shipped = ORDALIA_PROGRAM_FOLDER;
        for (const char* item : {"testpage", "flash3", "Codepage Table"})
            std::filesystem::copy(shipped / item, program.path() / item,
                                  std::filesystem::copy_options::recursive);
        std::filesystem::copy(ORDALIA_DEFAULT_USER_SETTING, program.path() / "user_setting");
        bare.write("flash3", hexBytes("00 00"));
    }
    // One command line, its words apart by blanks ('quoted' words keep theirs),
    // "@" standing for the program folder, on the printer's port.
    int run(const std::string& line) {
        std::vector<std::string> words{"--folder", program.path().string()};
        std::istringstream in(line);
        for (std::string word; in >> std::quoted(word, '\'');)
            words.push_back(word[0] == '@' ? program.path().string() + word.substr(1) : word);
        if (line.find("--parallel") == std::string::npos)
            words.insert(words.begin(), {"--port", printer->slavePath()});
        out.str({}), err.str({});
        return runCli(words, {*serial, parallel, systemClock(), out, err, false, {}});
    }
    TempFolder bare; // a program folder with nothing saved
    std::ostringstream out, err;
};

TEST_F(CliE2E, EveryCommandDoesWhatItsButtonDoes) {
    program.write("new.firm", pseudoRandomBytes(196608, 7));
    program.write("fonts/ex_JISx0208.code", pseudoRandomBytes(562033 + 700, 3)); // 2,196 blocks
    program.write("mine.p", hexBytes("1b 40 48 69"));
    program.write("wide.bmp", monochromeBmp(filledPicture(40, 16, '#')));
    program.write("tall.bmp", monochromeBmp(filledPicture(8, 30, '#')));
    ASSERT_TRUE(setMappedPortDevice(3, printer->slavePath(), program.path() / "ports"));
    const std::string settings =
        "1c c6 4b 4f 56 49 52 4b 4f 56 49 52 00 00 "; // FS, settings, KOVIR twice, flash3
    struct Case {
        std::string line;
        int status;
        std::string said; // on standard error, or after "out:" on standard output
        // What the printer got: these bytes, or "@FILE": the bytes of FILE among them.
        std::string sent;
    } const kCases[] = {
        {"test-page 'Receipt 1'", 0, "", "@testpage/rec1.p"},
        {"--quiet test-page --self-test", 0, "", "1b 88"},
        {"--port 'COM 3' test-page @/mine.p", 0, "", "1b 40 48 69"},
        {"--parallel LPT2 test-page @/mine.p", 0, "", ""}, // see below
        {"settings show", 0,
         "out:mode: 3 inch\nbaud: 115200,n,8,1\ncompound: DISABLE\nbuffer: 128kB\ndensity: "
         "Normal\ncut-distance: Normal\ncutter: on\npaper-end: on\nnear-end: on\ndoor: on\n",
         ""},
        {"settings download --density dark --baud 38400", 0,
         "Settings to download:\n  mode: 3 inch\n  baud: 38400,n,8,1\n  compound: DISABLE\n  "
         "buffer: 128kB\n  density: Dark\n  cut-distance: Normal\n  cutter: on\n  paper-end: on\n  "
         "near-end: on\n  door: on\nDownload Finish !!\nThe printer now runs at 38400,n,8,1",
         settings + "01 02 01 01 01 00 00 00 00 01 02 00 02"},
        {"--folder " + bare.path().string() +
             " settings download --mode '2 inch' --baud 9600 --compound Korean --buffer 20kB "
             "--density Low --cut-distance 'Save Paper' --cutter off --paper-end on --near-end on "
             "--door off",
         0, "Download Finish !!", settings + "00 00 00 01 01 00 00 04 03 00 00 00 00"},
        {"firmware @/new.firm", 0, "Firmware Update Finish !!", "@new.firm"},
        {"codepage image @/image.bin", 0, "Wrote 65536 bytes of the code page image", ""},
        {"codepage download", 0, "Undata Finish !!", "@image.bin"},
        {"burn @/new.firm", 0, "Codepage Table/output.a79.", ""},
        {"compound @/fonts/ex_JISx0208.code", 0, "Undata Finish !!!!", "@Codepage Table/123.bin"},
        {"logo add @/wide.bmp", 0, "Added logo 1", ""},
        {"logo add @/tall.bmp", 0, "Added logo 2", ""},
        {"logo list", 0, "out:2/255 logos", ""},
        {"logo convert @/tall.bmp @/tall.blk", 0, "Wrote 36 bytes of the logo block", ""},
        {"logo download", 0, "Transmit Done!!", "@tall.blk"},
        {"logo print all", 0, "", "1c 70 01 00 1d 56 42 00 1c 70 02 00 1d 56 42 00"},
        {"logo print 2", 0, "", "1c 70 02 00 1d 56 42 00"},
        {"logo clear", 0, "", ""},
        {"logo list", 0, "out:0/255 logos", ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        const std::size_t before = printer->receivedCount();
        EXPECT_EQ(run(c.line), c.status);
        const bool onOut = c.said.starts_with("out:");
        EXPECT_THAT((onOut ? out : err).str(), HasSubstr(onOut ? c.said.substr(4) : c.said));
        if (c.said.empty()) {
            EXPECT_EQ(err.str(), "");
        }
        // The command ends when its bytes are on the line, before the printer read them.
        printer->waitUntil([&] { return printer->receivedCount() > before; }, 300ms);
        ASSERT_TRUE(printer->waitForQuiet(100ms, 10s));
        const Bytes all = printer->received();
        const Bytes got(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        if (!c.sent.starts_with("@"))
            EXPECT_EQ(got, hexBytes(c.sent));
        else
            EXPECT_FALSE(std::ranges::search(got, program.read(c.sent.substr(1))).empty());
        EXPECT_FALSE(serial->isOpen());
    }
    EXPECT_EQ(parallel.data(0x278), hexBytes("1b 40 48 69"));
    EXPECT_EQ(program.read("Codepage Table/output.a79").size(), 196608u + 65536);
}

TEST_F(CliE2E, APortHeldByAnotherProgramIsRefusedNotShared) {
    // The window (or a second ordalia-cli) holds the port mid-transfer.
    auto other = createSystemSerialPort();
    ASSERT_FALSE(other->open(printer->slavePath(), SerialSettings{}).has_value());
    EXPECT_EQ(run("test-page 'Receipt 1'"), kExitFailed);
    EXPECT_THAT(err.str(), HasSubstr("in use by another program"));
    other->close();
    EXPECT_EQ(printer->receivedCount(), 0u);
}

} // namespace
} // namespace ordalia::cli
