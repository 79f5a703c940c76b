// "Download to Printer" on the Code Page Table page against the virtual
// printer over a real pseudo-terminal, with the code page fonts the build
// ships in "Codepage Table": one download that goes through, and the faults
// only a real port shows.

#include "codepages/font_download.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using namespace ordalia::testing;

class FontDownloadE2E : public PrinterOnPty, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        PrinterOnPty::SetUp();
        // A copy, so the build's own "test" and "Codepage" stay as shipped.
        std::filesystem::copy(ORDALIA_SHIPPED_CODEPAGES, program.path() / "Codepage Table");
        const CodePageTabLoad load = loadCodePageTab(program.path()); // as the tab shows
        ASSERT_EQ(load.outcome, Outcome::Done) << load.message;
        slots = load.slots;
        slots.Pos_CP[3] = "16"; // saved only once the printer has confirmed the download
    }
    CodePageSlots slots;
};

TEST_F(FontDownloadE2E, ThePrinterStoresTheBuiltImageAndTheRowsAreSaved) {
    EXPECT_EQ(downloadFonts(services(), choice, slots, label, bar), Outcome::Done);
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Undata Finish !!"});
    ASSERT_TRUE(printer->waitUntil([&] { return printer->selfTests() == 1; }, 5s));
    EXPECT_EQ(program.read("Codepage Table/test"), printer->fontImage());
    const std::string saved = formatCodepageList(slots);
    EXPECT_EQ(program.read("Codepage Table/Codepage"),
              std::vector<std::uint8_t>(saved.begin(), saved.end()));
}

// A printer that hangs up while the image goes out, and a port another
// program takes while the printer restarts.
TEST_P(FontDownloadE2E, FaultsEndWithThePortClosedAndTheListAsItWas) {
    const bool taken = GetParam();
    const auto shipped = program.read("Codepage Table/Codepage");
    if (!taken)
        printer->setDisconnectAfterBytes(12 + 40 * 655);
    const auto other = createSystemSerialPort();
    events.onPump = [&] {
        if (taken && !serial->isOpen() && !other->isOpen())
            (void)other->open(printer->slavePath(), *parseSerialSettings("9600,n,8,1", {}));
    };
    EXPECT_EQ(downloadFonts(services(), choice, slots, label, bar), Outcome::Failed);
    if (taken) { // the image went out; the check after it could not be made
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_THAT(label.caption(), ::testing::MatchesRegex("Status : Updata Font Error!! Cannot "
                                                             "open COM 1 .* in use by another.*"));
        EXPECT_EQ(program.read("Codepage Table/test"), printer->fontImage());
    } else {
        EXPECT_THAT(dialogs.texts(), ::testing::ElementsAre(::testing::HasSubstr("COM 1")));
        EXPECT_FALSE(label.visible || printer->fontImage());
    }
    EXPECT_FALSE(serial->isOpen());
    EXPECT_EQ(other->isOpen(), taken);
    EXPECT_EQ(program.read("Codepage Table/Codepage"), shipped);
}

INSTANTIATE_TEST_SUITE_P(HangsUpOrTakenWhileProgramming, FontDownloadE2E, ::testing::Bool());

} // namespace
} // namespace ordalia
