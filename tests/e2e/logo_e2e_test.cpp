// The logo page's operations against the virtual printer over a real
// pseudo-terminal: bitmaps added to the library, downloaded in one FS q,
// read back from the printer's NV store and printed.

#include "link/port_names.h"
#include "link/system_ports.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    return options;
}

std::vector<std::string> randomPicture(std::size_t width, std::size_t height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> picture(height, std::string(width, '.'));
    for (auto& row : picture)
        for (auto& dot : row)
            dot = (random() % 3 == 0) ? '#' : '.';
    return picture;
}

// Every dot of the stored image against the source picture; the stored image
// is padded to whole bytes and bands, which must stay blank.
void expectSameDots(const std::vector<std::vector<bool>>& dots,
                    const std::vector<std::string>& picture) {
    ASSERT_EQ(dots.size(), (picture.size() + 7) / 8 * 8);
    for (std::size_t r = 0; r < dots.size(); ++r) {
        ASSERT_EQ(dots[r].size(), (picture[0].size() + 7) / 8 * 8);
        for (std::size_t c = 0; c < dots[r].size(); ++c) {
            const bool source = r < picture.size() && c < picture[r].size() && picture[r][c] == '#';
            ASSERT_EQ(dots[r][c], source) << "row " << r << ", column " << c;
        }
    }
}

class LogoE2E : public ::testing::Test {
protected:
    void SetUp() override {
        printer.start();
        ASSERT_TRUE(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));
    }
    Services services() {
        return Services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    }
    void add(const std::string& name, const std::vector<std::string>& picture) {
        const auto path = program.write("pictures/" + name, monochromeBmp(picture));
        ASSERT_EQ(AddLogoFile(services(), library, *buffers, {path, name}), Outcome::Done);
    }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    LinkChoice choice; // COM 1 at 115200,n,8,1
    VirtualPrinter printer{optionsFor(program)};
    LogoLibrary library;
    std::unique_ptr<LogoBuffers> buffers = makeLogoBuffers();
    RecordingProgressBar bar;
};

TEST_F(LogoE2E, DownloadedLogosAreStoredDotForDotAndPrint) {
    const std::vector<std::vector<std::string>> pictures = {
        {"...##...", "..####..", ".######.", "########", "...##...", "...##...", "...##...",
         "...##..."},
        {"#...............#", "#################", "#...............#"},
        randomPicture(37, 21, 1),
        randomPicture(300, 20, 2),
        filledPicture(1, 1, '#'),
    };
    for (std::size_t i = 0; i < pictures.size(); ++i)
        add("logo" + std::to_string(i + 1) + ".bmp", pictures[i]);

    // The window reads LogoCount afresh from the download.
    std::uint8_t LogoCount = 0;
    ASSERT_EQ(Download_Logo_Click(services(), choice, *buffers, LogoCount, bar), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Transmit Done!!"));
    EXPECT_EQ(LogoCount, pictures.size());
    ASSERT_TRUE(printer.waitUntil([&] { return printer.logos().size() == pictures.size(); }, 10s));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE("logo " + std::to_string(i + 1));
        const auto dots = printer.logoRows(static_cast<int>(i + 1));
        ASSERT_TRUE(dots);
        expectSameDots(*dots, pictures[i]);
    }
    EXPECT_TRUE(std::filesystem::exists(printer.nvFolder() / "logos.bin"));
    // The three zeros after the blocks are plain data to the printer: no
    // command swallows them and nothing visible prints.
    ASSERT_TRUE(printer.waitUntil([&] { return printer.printData().size() == 3; }, 5s));
    EXPECT_THAT(printer.printData(), ElementsAre(0x00, 0x00, 0x00));

    // "All", then "Select :" with 2.5 (logo 2).
    // Opening the port drops what the printer has not read yet, so each print
    // is waited for before the next one opens it.
    ASSERT_EQ(Print_Logo_Click(services(), choice, LogoCount, true, ""), Outcome::Done);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.cuts().size() == pictures.size(); }, 5s));
    ASSERT_EQ(Print_Logo_Click(services(), choice, LogoCount, false, "2.5"), Outcome::Done);
    ASSERT_TRUE(
        printer.waitUntil([&] { return printer.cuts().size() == pictures.size() + 1; }, 5s));
    std::vector<int> printed;
    for (const auto& print : printer.logoPrints()) {
        EXPECT_TRUE(print.defined) << "logo " << print.number;
        EXPECT_EQ(print.mode, 0);
        printed.push_back(print.number);
    }
    EXPECT_THAT(printed, ElementsAre(1, 2, 3, 4, 5, 2));
    for (const auto& cut : printer.cuts())
        EXPECT_TRUE(cut.partial);
    EXPECT_EQ(dialogs.messages.size(), 1u); // printing shows nothing
}

TEST_F(LogoE2E, ANewDownloadReplacesEveryStoredLogo) {
    add("a.bmp", filledPicture(16, 16, '#'));
    add("b.bmp", filledPicture(8, 8, '#'));
    std::uint8_t LogoCount = 0;
    ASSERT_EQ(Download_Logo_Click(services(), choice, *buffers, LogoCount, bar), Outcome::Done);
    // FS q 2, blocks of 4 + 32 and 4 + 8 bytes, the three zeros: all read
    // before the next download opens the port.
    const std::size_t before = 3 + 36 + 12 + 3;
    ASSERT_TRUE(printer.waitForBytes(before, 5s));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.logos().size() == 2; }, 5s));

    ASSERT_EQ(Logo_Clear_Click(services(), library), Outcome::Done);
    const auto picture = randomPicture(24, 9, 3);
    add("c.bmp", picture);
    ASSERT_EQ(Download_Logo_Click(services(), choice, *buffers, LogoCount, bar), Outcome::Done);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.logos().size() == 1; }, 5s));
    // FS q 1, one block of 4 + 8 * 3 * 2 bytes, the three zeros.
    EXPECT_TRUE(printer.waitForBytes(before + 3 + 4 + 48 + 3, 5s));
    expectSameDots(*printer.logoRows(1), picture);
    EXPECT_FALSE(printer.logoRows(2));
}

TEST_F(LogoE2E, NothingReachesThePrinterWhenABitmapIsGone) {
    add("a.bmp", filledPicture(8, 8, '#'));
    std::filesystem::remove(program.path() / "pictures" / "a.bmp");
    std::uint8_t LogoCount = 1;
    EXPECT_EQ(Download_Logo_Click(services(), choice, *buffers, LogoCount, bar), Outcome::Refused);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(printer.receivedCount(), 0u);
    EXPECT_THAT(printer.logos(), IsEmpty());
}

} // namespace
} // namespace ordalia
