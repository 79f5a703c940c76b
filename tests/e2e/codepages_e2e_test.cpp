// "Download to Printer" on the Code Page Table page against the virtual
// printer over a real pseudo-terminal, with the code page fonts the build
// ships in "Codepage Table".

#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "codepages/font_download.h"
#include "link/port_names.h"
#include "link/system_ports.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

const std::filesystem::path kShippedFolder = ORDALIA_SHIPPED_CODEPAGES;

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    options.printer.programmingTime = 300ms;
    return options;
}

std::string text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class FontDownloadE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kShippedFolder / "PC437.CP")) << kShippedFolder;
        // A copy, so the build's own "test" and "Codepage" stay as shipped.
        std::filesystem::copy(kShippedFolder, program.path() / "Codepage Table");
        std::filesystem::remove(program.path() / "Codepage Table" / "test");
        printer.start();
        ASSERT_TRUE(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));
        // The page as it shows after the tab is entered.
        const CodePageTabLoad load = loadCodePageTab(program.path());
        ASSERT_EQ(load.outcome, Outcome::Done) << load.message;
        slots = load.slots;
        shippedList = text(program.read("Codepage Table/Codepage"));
    }
    Services services() {
        return Services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    }
    Outcome download() { return downloadFonts(services(), choice, slots, label, bar); }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    LinkChoice choice;
    RecordingLabel label;
    RecordingProgressBar bar;
    CodePageSlots slots;
    std::string shippedList;
    VirtualPrinter printer{optionsFor(program)};
};

TEST_F(FontDownloadE2E, StoredImageIsTheBuiltTestFile) {
    // Two slots changed on the page, to be saved only once the printer has
    // confirmed the download.
    slots.Pos_CP[3] = "16";
    slots.Text_CP[5] = "PC858";

    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Undata Finish !!"));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));

    const auto test = program.read("Codepage Table/test");
    ASSERT_EQ(test.size(), kCodePageImageSize);
    ASSERT_TRUE(printer.fontImage().has_value());
    EXPECT_TRUE(*printer.fontImage() == test);

    // The shipped fonts made it: the maker text, the heading with the shipped
    // model name, slot 5's name row and table number.
    EXPECT_EQ(std::string(test.begin() + 0xFFF0, test.end()), "Kovir Technology");
    EXPECT_EQ(std::string(test.begin() + 0xFC03, test.begin() + 0xFC03 + kModelNameLength),
              modelNameField(slots.model_name));
    EXPECT_EQ(std::string(test.begin() + 0xF0A0, test.begin() + 0xF0A0 + 30), nameRow(5, "PC858"));
    EXPECT_EQ(test[0xF0C3], 16);

    EXPECT_EQ(text(program.read("Codepage Table/Codepage")), formatCodepageList(slots));
    EXPECT_EQ(bar.value(), 100);
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(FontDownloadE2E, RefusingPrinterGetsNoImageAndTheListStays) {
    printer.setWrongReply(vprinter::WrongReply{0, 0x00});
    slots.Pos_CP[1] = "40";
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));
    EXPECT_EQ(printer.received().size(), 12u); // the request alone
    EXPECT_FALSE(printer.fontImage().has_value());
    EXPECT_EQ(text(program.read("Codepage Table/Codepage")), shippedList);
    EXPECT_FALSE(serial->isOpen());
    EXPECT_FALSE(label.visible);
}

TEST_F(FontDownloadE2E, RepeatedTableNumberReachesNeitherThePortNorThePrinter) {
    slots.Pos_CP[4] = "1";
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Error !! 2nd & 5th Position is repeated !!"));
    EXPECT_FALSE(printer.waitForBytes(1, 200ms));
    EXPECT_FALSE(std::filesystem::exists(program.path() / "Codepage Table" / "test"));
}

} // namespace
} // namespace ordalia
