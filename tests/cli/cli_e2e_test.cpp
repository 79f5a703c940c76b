// Every command of ordalia-cli against the virtual printer over a real
// pseudo-terminal, in a program folder laid out as the build lays it out: the
// exit status, what is said, what reaches the printer and what lands in files.

#include "cli/cli_run.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iomanip>
#include <sstream>

namespace ordalia::cli {
namespace {

using namespace ::testing;
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

// Every mistake is refused with a message instead of being guessed at, and
// nothing is sent or saved.
TEST_F(CliE2E, MistakesAreRefusedBeforeAnythingIsSent) {
    const std::string noSettings = "--folder " + bare.path().string();
    const std::pair<std::string, std::string> kCases[] = {
        {"", "Usage: ordalia-cli [options] COMMAND"},
        {"--prot 'COM 1' logo list", "ordalia-cli: Unknown option \"--prot\".\nTry"},
        {"logo list -q", "Unknown option \"-q\""},
        {"logo download --port", "--port needs a value"},
        {"--port= logo download", "--port needs a device"},
        {"--folder= logo list", "--folder needs a folder"},
        {"--quiet=yes logo list", "--quiet takes no value"},
        {"--parallel LPT3 logo download", "LPT1 or LPT2, not \"LPT3\""},
        {"--port 'COM 1' --parallel LPT1 logo download", "not both"},
        {"--port tcp://printer --parallel LPT1 logo download", "not both"},
        {"--port tcp://[fe80::1 logo download", "\"tcp://[fe80::1\" is not a network printer"},
        {"print-everything", "unknown command \"print-everything\".\nTry"},
        {"--settings fast test-page --self-test", "\"fast\" are not valid"},
        {"--folder /nonexistent-ordalia logo list", "is not a folder"},
        {"logo list --ignore-malfunction", "belongs to firmware, not to logo list"},
        {"logo list --density Dark", "--density belongs to settings download"},
        {"--parallel LPT1 test-page --self-test", "--self-test has no parallel link"},
        {"--parallel LPT1 settings download", "download has no parallel link"},
        {"--parallel LPT1 logo print all", "print has no parallel link"},
        {"settings download --density Blackest",
         "--density takes \"Low\", \"Normal\", \"Dark\", \"Darkest\", not \"Blackest\""},
        {"settings download --cutter maybe", "--cutter takes on or off"},
        {noSettings + " settings download --mode '2 inch' --door on",
         "user_setting yet, so settings download needs every field it cannot take from them. Not "
         "given: --baud, --compound, --buffer, --density, --cut-distance, --cutter, --paper-end "
         "and --near-end. Nothing was saved or sent."},
        {"settings wipe", "Usage: ordalia-cli settings show | settings download"},
        {"test-page", "Usage: ordalia-cli test-page FILE"},
        {"test-page nowhere.p", "nowhere.p"},
        {"compound ex_Korean.code", "does not exist"},
        {"burn a.firm", "does not exist. The burn file was not written"},
        {"logo print 256", "from 0 to 255"},
        {"logo print all", "The logo list is empty"},
        {"logo sort", "Usage: ordalia-cli logo add BMP"},
    };
    for (const auto& [line, message] : kCases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(run(line), 1);
        EXPECT_THAT(err.str(), HasSubstr(message));
    }
    EXPECT_TRUE(printer->waitForQuiet(100ms, 1s));
    EXPECT_EQ(printer->receivedCount(), 0u);
    EXPECT_THAT(parallel.data(0x378), IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(bare.path() / "user_setting"));
}

TEST_F(CliE2E, EveryCommandDoesWhatItsButtonDoes) {
    program.write("new.firm", pseudoRandomBytes(196608, 7));
    program.write("fonts/ex_JISx0208.code", pseudoRandomBytes(562033 + 700, 3)); // 2,196 blocks
    program.write("mine.p", hexBytes("1b 40 48 69"));
    program.write("tall.bmp", monochromeBmp(filledPicture(8, 30, '#')));
    ASSERT_TRUE(setMappedPortDevice(3, printer->slavePath(), program.path() / "ports"));
    const std::string settings =
        "1c c6 4b 4f 56 49 52 4b 4f 56 49 52 00 00 "; // FS, settings, KOVIR twice, flash3
    struct Case {
        std::string line;
        int status;
        std::string said; // on standard error; "": nothing
        // What the printer got: these bytes, or "@FILE": the bytes of FILE among them.
        std::string sent;
        std::string shown = ""; // on standard output
    } const kCases[] = {
        {"test-page 'Receipt 1'", 0, "", "@testpage/rec1.p"},
        {"test-page --self-test", 0, "", "1b 88"},
        {"--port 'COM 3' test-page @/mine.p", 0, "", "1b 40 48 69"},
        {"--parallel LPT2 test-page @/mine.p", 0, "", ""}, // see below
        {"settings download --density dark --baud 38400", 0,
         "Settings to download:\n  mode: 3 inch\n  baud: 38400,n,8,1\n  compound: DISABLE\n  "
         "buffer: 128kB\n  density: Dark\n  cut-distance: Normal\n  cutter: on\n  paper-end: on\n  "
         "near-end: on\n  door: on\nDownload Finish !!\nThe printer now runs at 38400,n,8,1",
         settings + "01 02 01 01 01 00 00 00 00 01 02 00 02"},
        {"settings show", 0, "", "", // the new baud rate, which the page does not load
         "mode: 3 inch\nbaud: 38400,n,8,1\ncompound: DISABLE\nbuffer: 128kB\ndensity: Dark\n"
         "cut-distance: Normal\ncutter: on\npaper-end: on\nnear-end: on\ndoor: on\n"},
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
        {"--quiet logo add @/tall.bmp", 0, "", ""},
        {"logo list", 0, "", "", "1/255 logos"},
        {"logo convert @/tall.bmp @/tall.blk", 0, "Wrote 36 bytes of the logo block", ""},
        {"logo download", 0, "Transmit Done!!", "@tall.blk"},
        {"logo print all", 0, "", "1c 70 01 00 1d 56 42 00"},
        {"logo print 1", 0, "", "1c 70 01 00 1d 56 42 00"},
        {"logo clear", 0, "", ""},
        {"logo list", 0, "", "", "0/255 logos"},
        {"info", 0, "",
         "10 04 01 10 04 02 10 04 03 10 04 04 "
         "1d 49 01 1d 49 02 1d 49 03 1d 49 41 1d 49 42 1d 49 43 1d 49 44",
         "model name: VIRTUAL-80\nfirmware: 1.00\nmaker: KOVIR\nserial number: 00000001\n"
         "model: 0x20\ntype: auto-cutter (0x02)\nROM version: 0x10\nprinter: on line\n"
         "cover: closed\npaper: ok\noff line: none\nerror: none\n"},
        {"info --find-speed", 0, "answers at", "10 04 01", ",n,8,1\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        const std::size_t before = printer->receivedCount();
        EXPECT_EQ(run(c.line), c.status);
        // Each command that opened the port says which device it opened.
        std::string said = err.str();
        const bool opened = said.find("Opened ") != std::string::npos;
        for (auto at = said.find("Opened "); at != std::string::npos; at = said.find("Opened "))
            said.erase(at, said.find('\n', at) + 1 - at);
        EXPECT_THAT(said, c.said.empty() ? Matcher<std::string>(IsEmpty()) : HasSubstr(c.said));
        EXPECT_THAT(err.str(), Not(HasSubstr("\r"))); // no progress line but on a terminal
        EXPECT_THAT(out.str(), HasSubstr(c.shown));
        // The command ends when its bytes are on the line, before the printer read them.
        printer->waitUntil([&] { return printer->receivedCount() > before; }, 300ms);
        ASSERT_TRUE(printer->waitForQuiet(100ms, 10s));
        const Bytes all = printer->received();
        const Bytes got(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        if (!c.sent.starts_with("@"))
            EXPECT_EQ(got, hexBytes(c.sent));
        else
            EXPECT_FALSE(std::ranges::search(got, program.read(c.sent.substr(1))).empty());
        if (!got.empty()) {
            EXPECT_TRUE(opened && err.str().find("/dev/pts/") != std::string::npos) << err.str();
        }
        EXPECT_FALSE(serial->isOpen());
    }
    EXPECT_EQ(parallel.data(0x278), hexBytes("1b 40 48 69"));
    EXPECT_EQ(program.read("Codepage Table/output.a79").size(), 196608u + 65536);
}

TEST_F(CliE2E, InfoFromASilentPrinterFails) {
    printer->setSilent(true);
    EXPECT_EQ(run("info"), 2);
    EXPECT_THAT(err.str(), HasSubstr("did not answer"));
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(CliE2E, APortHeldByAnotherProgramIsRefusedNotShared) {
    // The window (or a second ordalia-cli) holds the port mid-transfer.
    auto other = createSystemSerialPort();
    ASSERT_FALSE(other->open(printer->slavePath(), SerialSettings{}).has_value());
    EXPECT_EQ(run("test-page 'Receipt 1'"), 2);
    EXPECT_THAT(err.str(), HasSubstr("in use by another program"));
    other->close();
    EXPECT_EQ(printer->receivedCount(), 0u);
}

} // namespace
} // namespace ordalia::cli
