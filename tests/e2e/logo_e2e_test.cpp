// The logo page's operations against the virtual printer over a real
// pseudo-terminal: logos added, downloaded in one FS q, read back from the
// printer's NV store and printed; and the faults only a real port shows.

#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;
using Picture = std::vector<std::string>;

// About a third of the dots printed, the same picture for the same seed.
Picture randomPicture(std::size_t width, std::size_t height, std::uint32_t seed) {
    const auto bytes = testing::pseudoRandomBytes(width * height, seed);
    Picture picture(height, std::string(width, '.'));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        picture[i / width][i % width] = bytes[i] % 3 == 0 ? '#' : '.';
    return picture;
}

enum Fault { HeldElsewhere, HangsUp, StopsReading };

class LogoE2E : public testing::PrinterOnPty, public ::testing::WithParamInterface<Fault> {
protected:
    void add(const Picture& picture) {
        const std::string name = "logo" + std::to_string(library.LogoCount + 1) + ".bmp";
        const auto path = program.write("pictures/" + name, testing::monochromeBmp(picture));
        ASSERT_EQ(AddLogoFile(services(), library, *buffers, {path, name}), Outcome::Done);
    }

    LogoLibrary library;
    std::unique_ptr<LogoBuffers> buffers = makeLogoBuffers();
    std::uint8_t LogoCount = 0;
};

TEST_F(LogoE2E, LogosAreStoredDotForDotAndPrint) {
    const std::vector<Picture> pictures = {
        randomPicture(37, 21, 1), randomPicture(300, 20, 2), {"#"}};
    for (const Picture& picture : pictures)
        add(picture);
    ASSERT_EQ(Download_Logo_Click(services(), choice, *buffers, LogoCount, bar), Outcome::Done);
    ASSERT_TRUE(printer->waitUntil([&] { return printer->logos().size() == 3; }, 10s));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        // Stored padded to whole bytes and bands, which stay blank.
        Picture expected = pictures[i];
        for (auto& row : expected)
            row.resize((row.size() + 7) / 8 * 8, '.');
        expected.resize((expected.size() + 7) / 8 * 8, std::string(expected[0].size(), '.'));
        EXPECT_EQ(printer->logos()[i].picture(), expected) << "logo " << i + 1;
    }
    // Opening the port drops what the printer has not read yet: each print
    // is waited for before the next one opens it.
    ASSERT_EQ(Print_Logo_Click(services(), choice, LogoCount, true, ""), Outcome::Done);
    ASSERT_TRUE(printer->waitUntil([&] { return printer->cuts().size() == 3; }, 5s));
    ASSERT_EQ(Print_Logo_Click(services(), choice, LogoCount, false, "2.5"), Outcome::Done);
    ASSERT_TRUE(printer->waitUntil([&] { return printer->cuts().size() == 4; }, 5s));
    std::vector<int> printed;
    for (const auto& print : printer->logoPrints())
        printed.push_back(print.defined && print.mode == 0 ? print.number : -1);
    EXPECT_THAT(printed, ElementsAre(1, 2, 3, 2));
}

TEST_P(LogoE2E, APortThatFailsEndsTheDownloadClosedWithAMessage) {
    add(testing::filledPicture(2016, 512, '#')); // 129,024 bytes: more than a line holds
    const std::optional<std::size_t> none;
    printer->setDisconnectAfterBytes(GetParam() == HangsUp ? 4000 : none);
    printer->setDieAfterBytes(GetParam() == StopsReading ? 4000 : none);
    const auto other = createSystemSerialPort(); // the window, or a second command line
    const bool held = GetParam() == HeldElsewhere && !other->open(printer->slavePath(), {});
    ASSERT_EQ(held, GetParam() == HeldElsewhere);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Download_Logo_Click(services(), choice, *buffers, LogoCount, bar), Outcome::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_THAT(dialogs.texts(), ElementsAre(::testing::HasSubstr("COM 1")));
    EXPECT_FALSE(serial->isOpen() || bar.visible);
}

INSTANTIATE_TEST_SUITE_P(Faults, LogoE2E, ::testing::Values(HeldElsewhere, HangsUp, StopsReading));

} // namespace
} // namespace ordalia
