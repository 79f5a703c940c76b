// Every command of ordalia-cli against the virtual printer over a real
// pseudo-terminal: what reaches the printer, what lands in the program
// folder, what is said, and the exit status a script sees.

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "codepages/code_page_image.h"
#include "firmware/firmware_update.h"
#include "link/port_names.h"
#include "link/system_ports.h"
#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

std::filesystem::path shippedFolder() {
    const char* folder = std::getenv("ORDALIA_PROGRAM_DIR");
    return folder ? std::filesystem::path(folder) : std::filesystem::path();
}

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    options.printer.programmingTime = 200ms;
    return options;
}

class CliE2E : public ::testing::Test {
protected:
    void SetUp() override {
        // The program folder: what the build lays beside the program.
        const auto shipped = shippedFolder();
        ASSERT_FALSE(shipped.empty());
        for (const char* item : {"testpage", "flash3", "Codepage Table"}) {
            std::error_code ec;
            std::filesystem::copy(shipped / item, program.path() / item,
                                  std::filesystem::copy_options::recursive, ec);
        }
        printer.start();
    }

    // Runs the command with the program folder and the printer's port.
    int run(std::vector<std::string> arguments, bool terminal = false) {
        out.str({});
        err.str({});
        arguments.insert(arguments.begin(),
                         {"--folder", program.path().string(), "--port", printer.slavePath()});
        const CliEnvironment environment{*serial, parallel, systemClock(), out, err, terminal, {}};
        return runCli(arguments, environment);
    }
    // Runs it without the port option (the parallel tests, "COM n").
    int runBare(std::vector<std::string> arguments) {
        out.str({});
        err.str({});
        arguments.insert(arguments.begin(), {"--folder", program.path().string()});
        const CliEnvironment environment{*serial, parallel, systemClock(), out, err, false, {}};
        return runCli(arguments, environment);
    }
    std::filesystem::path bitmap(const std::string& name, std::size_t width, std::size_t height) {
        return program.write("bitmaps/" + name, monochromeBmp(filledPicture(width, height, '#')));
    }
    void quietPrinter() { ASSERT_TRUE(printer.waitForQuiet(100ms, 5s)); }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    std::ostringstream out;
    std::ostringstream err;
    VirtualPrinter printer{optionsFor(program)};
};

// --- test pages ---

TEST_F(CliE2E, TestPageByCaptionSendsTheShippedFileByteForByte) {
    EXPECT_EQ(run({"test-page", "Receipt 1"}), kExitDone);
    const auto page = program.read("testpage/rec1.p");
    ASSERT_FALSE(page.empty());
    ASSERT_TRUE(printer.waitForBytes(page.size(), 10s));
    quietPrinter();
    EXPECT_TRUE(printer.received() == page);
    EXPECT_THAT(err.str(), IsEmpty());
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(CliE2E, TestPageTakesAnyFileAndTheSelfTest) {
    const auto file = program.write("elsewhere/mine.p", std::string("\x1b@Hello\n", 8));
    EXPECT_EQ(run({"test-page", file.string()}), kExitDone);
    ASSERT_TRUE(printer.waitForBytes(8, 5s));
    EXPECT_EQ(run({"test-page", "--self-test"}), kExitDone);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));
    quietPrinter();
    EXPECT_THAT(printer.received(),
                ElementsAre(0x1B, '@', 'H', 'e', 'l', 'l', 'o', '\n', 0x1B /*ESC*/, 0x88));
}

TEST_F(CliE2E, MissingTestFileIsRefusedWithNothingSent) {
    EXPECT_EQ(run({"test-page", "nowhere.p"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("nowhere.p"));
    EXPECT_EQ(run({"test-page"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("Usage: ordalia-cli test-page"));
    EXPECT_EQ(printer.receivedCount(), 0u);
}

TEST_F(CliE2E, UnopenablePortIsAFailure) {
    out.str({});
    const CliEnvironment environment{*serial, parallel, systemClock(), out, err, false, {}};
    EXPECT_EQ(runCli({"--folder", program.path().string(), "--port", "/dev/ordalia-no-such-port",
                      "test-page", "Receipt 1"},
                     environment),
              kExitFailed);
    EXPECT_THAT(err.str(), HasSubstr("/dev/ordalia-no-such-port"));
}

TEST_F(CliE2E, APortHeldByAnotherProgramIsRefusedNotShared) {
    // The window (or a second ordalia-cli) holds the port mid-transfer.
    auto other = createSystemSerialPort();
    ASSERT_FALSE(other->open(printer.slavePath(), SerialSettings{}).has_value());
    EXPECT_EQ(run({"test-page", "Receipt 1"}), kExitFailed);
    EXPECT_THAT(err.str(), HasSubstr("in use by another program"));
    other->close();
    EXPECT_EQ(printer.receivedCount(), 0u);
}

TEST_F(CliE2E, ComEntriesAreMappedByThePortsFile) {
    ASSERT_TRUE(setMappedPortDevice(3, printer.slavePath(), program.path() / "ports"));
    EXPECT_EQ(runBare({"--port", "COM 3", "test-page", "--self-test"}), kExitDone);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));
}

TEST_F(CliE2E, ParallelLinkGoesToTheChosenRegisters) {
    const auto file = program.write("mine.p", std::string("\x1b@Hi", 4));
    EXPECT_EQ(runBare({"--parallel", "LPT2", "test-page", file.string()}), kExitDone) << err.str();
    EXPECT_THAT(parallel.data(0x278), ElementsAre(0x1B, '@', 'H', 'i'));
    EXPECT_EQ(printer.receivedCount(), 0u);
    // The self-test request is the serial link's alone.
    EXPECT_EQ(runBare({"--parallel", "LPT1", "test-page", "--self-test"}), kExitRefused);
    // The settings go over the serial link only.
    EXPECT_EQ(runBare({"--parallel", "LPT1", "settings", "download"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("no parallel link"));
}

// --- settings ---

TEST_F(CliE2E, SettingsDownloadSetsFieldsByTheirListTexts) {
    EXPECT_EQ(run({"settings", "download", "--mode", "2 inch", "--density", "dark", "--buffer",
                   "20kB", "--compound", "Korean", "--cut-distance", "Save Paper", "--cutter", "on",
                   "--door", "on", "--baud", "115200"}),
              kExitDone)
        << err.str();
    EXPECT_THAT(err.str(), HasSubstr("Download Finish !!"));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.settings().has_value(); }, 5s));
    const auto stored = printer.settings();
    const auto& r = stored->record;
    EXPECT_EQ(r[1], 0); // 2 inch
    EXPECT_EQ(r[2], 3); // 115200
    EXPECT_EQ(r[3], 1); // cutter on
    EXPECT_EQ(r[5], 0); // near-end follows "2 inch": off
    // The record went to user_setting too, and "settings show" reads it back.
    const auto saved = program.read("user_setting");
    ASSERT_EQ(saved.size(), 14u);
    EXPECT_TRUE(std::equal(saved.begin() + 1, saved.end(), r.begin() + 1));
    EXPECT_EQ(run({"settings", "show"}), kExitDone);
    EXPECT_THAT(out.str(), HasSubstr("mode: 2 inch\n"));
    EXPECT_THAT(out.str(), HasSubstr("density: Dark\n"));
    EXPECT_THAT(out.str(), HasSubstr("buffer: 20kB\n"));
    EXPECT_THAT(out.str(), HasSubstr("compound: Korean\n"));
    EXPECT_THAT(out.str(), HasSubstr("cut-distance: Save Paper\n"));
    EXPECT_THAT(out.str(), HasSubstr("near-end: off\n"));
}

TEST_F(CliE2E, UnknownSettingsTextIsRefusedBeforeAnythingIsWritten) {
    EXPECT_EQ(run({"settings", "download", "--density", "Blackest"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("\"Low\", \"Normal\", \"Dark\", \"Darkest\""));
    EXPECT_EQ(run({"settings", "download", "--cutter", "maybe"}), kExitRefused);
    EXPECT_EQ(run({"logo", "list", "--density", "Dark"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("belongs to settings download"));
    EXPECT_FALSE(std::filesystem::exists(program.path() / "user_setting"));
    EXPECT_EQ(printer.receivedCount(), 0u);
}

TEST_F(CliE2E, LaterCommandsTakeTheSpeedFromTheSavedSettings) {
    EXPECT_EQ(run({"settings", "download", "--baud", "38400"}), kExitDone);
    EXPECT_THAT(err.str(), HasSubstr("now runs at 38400,n,8,1"));
    // A pseudo-terminal takes any speed; what matters is that the command
    // opens it with the saved one, which a bad saved speed would show.
    EXPECT_EQ(run({"test-page", "--self-test"}), kExitDone);
}

// --- firmware ---

TEST_F(CliE2E, FirmwareUpdateStoresTheImage) {
    const auto image = pseudoRandomBytes(kFirmwareImageSize, 7);
    const auto file = program.write("new.firm", image);
    EXPECT_EQ(run({"firmware", file.string()}), kExitDone);
    // Not a terminal: the message alone, no progress.
    EXPECT_EQ(err.str(), "Firmware Update Finish !!\n");
    ASSERT_TRUE(printer.firmwareImage().has_value());
    EXPECT_TRUE(*printer.firmwareImage() == image);
}

TEST_F(CliE2E, FirmwareOfTheWrongLengthIsRefusedAndAHangUpIsAFailure) {
    const auto shortFile = program.write("short.firm", pseudoRandomBytes(1000, 1));
    EXPECT_EQ(run({"firmware", shortFile.string()}), kExitRefused);
    EXPECT_EQ(printer.receivedCount(), 0u);

    const auto file = program.write("new.firm", pseudoRandomBytes(kFirmwareImageSize, 2));
    printer.setDisconnectAfterBytes(5000);
    EXPECT_EQ(run({"firmware", file.string()}), kExitFailed);
    EXPECT_THAT(err.str(), Not(HasSubstr("Finish")));
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(CliE2E, ProgressIsDrawnOnATerminalOnly) {
    const auto file = program.write("new.firm", pseudoRandomBytes(kFirmwareImageSize, 3));
    EXPECT_EQ(run({"firmware", file.string()}, true), kExitDone);
    EXPECT_THAT(err.str(), HasSubstr("\rStatus : Transfer Data    50%"));
    EXPECT_THAT(err.str(), HasSubstr("\rStatus : Updata   100%"));
    EXPECT_THAT(err.str(), EndsWith("\nFirmware Update Finish !!\n"));
}

TEST_F(CliE2E, QuietSaysNothingUnlessItFails) {
    const auto file = program.write("new.firm", pseudoRandomBytes(kFirmwareImageSize, 4));
    EXPECT_EQ(run({"--quiet", "firmware", file.string()}, true), kExitDone);
    EXPECT_THAT(err.str(), IsEmpty());
    EXPECT_EQ(run({"--quiet", "firmware", "missing.firm"}, true), kExitRefused);
    EXPECT_THAT(err.str(), Not(IsEmpty()));
}

// --- code pages and the burn file ---

TEST_F(CliE2E, CodePageImageIsBuiltAndDownloaded) {
    if (!std::filesystem::exists(program.path() / "Codepage Table" / "Codepage"))
        GTEST_SKIP() << "the code page fonts were not built";
    const auto out = program.path() / "image.bin";
    EXPECT_EQ(run({"codepage", "image", out.string()}), kExitDone);
    const auto image = program.read("image.bin");
    EXPECT_EQ(image.size(), kCodePageImageSize);
    EXPECT_TRUE(image == program.read("Codepage Table/test"));
    EXPECT_EQ(printer.receivedCount(), 0u);

    EXPECT_EQ(run({"codepage", "download"}), kExitDone);
    EXPECT_THAT(err.str(), HasSubstr("Undata Finish !!"));
    ASSERT_TRUE(printer.fontImage().has_value());
    EXPECT_TRUE(*printer.fontImage() == image);
}

TEST_F(CliE2E, BrokenCodePageListIsRefused) {
    program.write("Codepage Table/Codepage", std::string("\"0\",\"PC437\"\r\n"));
    EXPECT_EQ(run({"codepage", "image", (program.path() / "x.bin").string()}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("Codepage"));
    EXPECT_FALSE(std::filesystem::exists(program.path() / "x.bin"));
}

TEST_F(CliE2E, BurnFileIsTheFirmwareAndTheCodePageImage) {
    if (!std::filesystem::exists(program.path() / "Codepage Table" / "Codepage"))
        GTEST_SKIP() << "the code page fonts were not built";
    const auto firmware = pseudoRandomBytes(kFirmwareImageSize, 5);
    const auto file = program.write("source.firm", firmware);
    EXPECT_EQ(run({"burn", file.string()}), kExitDone);
    const auto burn = program.read("Codepage Table/output.a79");
    ASSERT_EQ(burn.size(), kFirmwareImageSize + kCodePageImageSize);
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), burn.begin()));
    const auto image = program.read("Codepage Table/test");
    EXPECT_TRUE(std::equal(image.begin(), image.end(), burn.begin() + kFirmwareImageSize));

    EXPECT_EQ(run({"burn", program.write("bad.firm", pseudoRandomBytes(10, 1)).string()}),
              kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("front file error"));
    EXPECT_EQ(program.read("Codepage Table/output.a79").size(), burn.size());
}

// --- logos ---

TEST_F(CliE2E, LogoLibraryAddListDownloadPrintAndClear) {
    EXPECT_EQ(run({"logo", "add", bitmap("wide.bmp", 40, 16).string()}), kExitDone);
    EXPECT_EQ(run({"logo", "add", bitmap("tall.bmp", 8, 30).string()}), kExitDone);
    EXPECT_THAT(err.str(), HasSubstr("Added logo 2"));
    EXPECT_EQ(run({"logo", "list"}), kExitDone);
    EXPECT_THAT(out.str(), HasSubstr("wide.bmp"));
    EXPECT_THAT(out.str(), HasSubstr("tall.bmp"));
    EXPECT_THAT(out.str(), HasSubstr("2/255 logos"));

    EXPECT_EQ(run({"logo", "download"}), kExitDone);
    EXPECT_THAT(err.str(), HasSubstr("Transmit Done!!"));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.logos().size() == 2; }, 5s));
    EXPECT_EQ(printer.logos()[0].widthDots(), 40);
    EXPECT_EQ(printer.logos()[1].heightDots(), 32);

    EXPECT_EQ(run({"logo", "print", "all"}), kExitDone);
    EXPECT_EQ(run({"logo", "print", "2"}), kExitDone);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.logoPrints().size() == 3; }, 5s));
    EXPECT_EQ(printer.logoPrints()[2].number, 2);
    EXPECT_TRUE(printer.logoPrints()[2].defined);

    EXPECT_EQ(run({"logo", "clear"}), kExitDone);
    EXPECT_EQ(run({"logo", "list"}), kExitDone);
    EXPECT_THAT(out.str(), HasSubstr("0/255 logos"));
    EXPECT_EQ(run({"logo", "download"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("no BMP files list on the AP !!"));
}

TEST_F(CliE2E, LogoMistakesAreRefused) {
    EXPECT_EQ(run({"logo", "add", program.write("text.bmp", std::string("hello")).string()}),
              kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("This is not a BMP file !!"));
    EXPECT_EQ(run({"logo", "print", "256"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("from 0 to 255"));
    EXPECT_EQ(run({"logo", "print", "all"}), kExitRefused);
    EXPECT_EQ(run({"logo", "sort"}), kExitRefused);
    EXPECT_EQ(run({"--parallel", "LPT1", "logo", "print", "all"}), kExitRefused);
    EXPECT_EQ(printer.receivedCount(), 0u);
}

TEST_F(CliE2E, LogoConvertWritesOneBlock) {
    // 12 x 10 dots: 2 byte-columns, 2 bands; every dot printed.
    const auto out = program.path() / "logo.blk";
    EXPECT_EQ(run({"logo", "convert", bitmap("small.bmp", 12, 10).string(), out.string()}),
              kExitDone);
    const auto block = program.read("logo.blk");
    ASSERT_EQ(block.size(), 4u + 8 * 2 * 2);
    EXPECT_THAT(std::vector<std::uint8_t>(block.begin(), block.begin() + 4),
                ElementsAre(2 /*xL*/, 0 /*xH*/, 2 /*yL*/, 0 /*yH*/));
    // Column 0: top band full, bottom band its first two rows.
    EXPECT_EQ(block[4], 0xFF);
    EXPECT_EQ(block[5], 0xC0);
    // Column 12 lies beyond the picture: blank.
    EXPECT_EQ(block[4 + 2 * 12], 0x00);

    EXPECT_EQ(run({"logo", "convert", program.write("no.bmp", std::string("BMx")).string(),
                   (program.path() / "no.blk").string()}),
              kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("is not a monochrome BMP file"));
    EXPECT_FALSE(std::filesystem::exists(program.path() / "no.blk"));
}

// --- compound fonts ---

TEST_F(CliE2E, CompoundFontIsStoredBlockByBlock) {
    // ex_JISx0208.code: 562,033 bytes of data in 2,196 blocks.
    const auto file = program.write("fonts/ex_JISx0208.code", pseudoRandomBytes(562033 + 700, 3));
    EXPECT_EQ(run({"compound", file.string()}), kExitDone);
    EXPECT_THAT(err.str(), HasSubstr("Undata Finish !!!!"));
    const auto stored = printer.compoundImage(3);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->size(), 2196u * 256);
    EXPECT_EQ(program.read("Codepage Table/123.bin").size(), 2196u * 256);
}

TEST_F(CliE2E, MissingCompoundFileIsRefused) {
    EXPECT_EQ(run({"compound", (program.path() / "ex_Korean.code").string()}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("does not exist"));
    EXPECT_EQ(printer.receivedCount(), 0u);
}

// --- the command line itself ---

TEST_F(CliE2E, UsageMistakesAndHelp) {
    EXPECT_EQ(run({}), kExitRefused);
    EXPECT_THAT(err.str(), StartsWith("Usage: ordalia-cli"));
    EXPECT_EQ(run({"print-everything"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("unknown command \"print-everything\""));
    EXPECT_EQ(run({"--help"}), kExitDone);
    EXPECT_THAT(out.str(), HasSubstr("Exit status"));
    EXPECT_EQ(run({"--settings", "fast", "test-page", "--self-test"}), kExitRefused);
    EXPECT_EQ(run({"--folder", (program.path() / "none").string(), "logo", "list"}), kExitRefused);
    EXPECT_THAT(err.str(), HasSubstr("is not a folder"));
    EXPECT_EQ(run({"logo", "list", "--ignore-malfunction"}), kExitRefused);
    EXPECT_EQ(printer.receivedCount(), 0u);
}

} // namespace
} // namespace ordalia::cli
