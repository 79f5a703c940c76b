// The compound font download against the virtual printer over a real
// pseudo-terminal: a made-up font stored whole, and the faults only a real
// port shows.

#include "compound/compound_download.h"
#include "compound/compound_font.h"
#include "support/bytes.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;

class CompoundE2E : public PrinterOnPty {
protected:
    CompoundE2E() { state = {program.write("fonts/ex_JISx0208.code", file), "ex_JISx0208.code"}; }
    Outcome download() { return downloadCompound(services(), choice, state, label, bar); }
    // After a fault at block k: port closed, display hidden, blocks 0 to k
    // sent and in 123.bin, nothing after them.
    void expectEndAfterBlock(std::size_t k, const char* message) {
        EXPECT_EQ(download(), Outcome::Failed);
        EXPECT_THAT(dialogs.texts(), ElementsAre(HasSubstr(message)));
        EXPECT_FALSE(serial->isOpen());
        EXPECT_FALSE(label.visible || bar.visible);
        ASSERT_TRUE(printer->waitForQuiet(100ms, 2s));
        const auto received = printer->received();
        ASSERT_EQ(received.size(), 4 + (k + 1) * 256);
        EXPECT_TRUE(program.read("Codepage Table/123.bin") ==
                    std::vector(received.begin() + 4, received.end()));
    }

    // Japanese: positions 0 to 562,032 are sent, in 2,196 blocks.
    const std::vector<std::uint8_t> file = pseudoRandomBytes(562033 + 700, 3);
    CompoundState state;
};

TEST_F(CompoundE2E, ThePrinterStoresTheFileUpToSThenZeros) {
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Undata Finish !!!!"));
    const auto received = printer->received();
    ASSERT_EQ(received.size(), 4 + 2196 * 256u);
    EXPECT_THAT(std::vector(received.begin(), received.begin() + 4),
                ElementsAre(0x1C /*FS*/, 0xC9 /*OpCompound*/, 0x00, 0x03 /*Japanese*/));
    const auto stored = printer->compoundImage(3);
    ASSERT_TRUE(stored.has_value());
    std::vector<std::uint8_t> expected(2196 * 256, 0);
    std::copy(file.begin(), file.begin() + 562033, expected.begin());
    std::vector<std::uint8_t> unshuffled(stored->size());
    for (std::size_t i = 0; i < stored->size(); ++i)
        unshuffled[i / 16 * 16 + CompoundShuffleOrder[i % 16]] = (*stored)[i];
    EXPECT_TRUE(unshuffled == expected);
    EXPECT_TRUE(program.read("Codepage Table/123.bin") == *stored);
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(CompoundE2E, SilenceAfterBlockKEndsWithConnectingError) {
    printer->setStopAnsweringAtBlock(37);
    expectEndAfterBlock(37, "Connecting Error !!");
}

TEST_F(CompoundE2E, AHangUpAfterBlockKEndsWithAMessageNamingThePort) {
    printer->setDisconnectAfterBytes(4 + 38 * 256);
    expectEndAfterBlock(37, "COM 1");
}

} // namespace
} // namespace ordalia
