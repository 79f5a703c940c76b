#include "compound/burn_file.h"
#include "compound/compound_file.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(i * 13 + seed + i / 251);
    return out;
}

class BurnFileTest : public ::testing::Test {
protected:
    BurnFileTest() {
        const auto bytes = pattern(kBurnCodePageImageSize, 0x40);
        std::copy(bytes.begin(), bytes.end(), codePageImage.begin());
    }
    // The page's "check and build" step, counted.
    CheckAndBuildCodePageImage builder() {
        return [this]() -> std::optional<BurnCodePageImage> {
            ++builds;
            if (!checkPasses)
                return std::nullopt;
            return codePageImage;
        };
    }
    BurnFileRequest sourceOfSize(std::size_t size) {
        const auto path = h.folder.write("firmware/main.firm", pattern(size, 0x07));
        return BurnFileRequest{"main.firm", path};
    }
    std::vector<std::uint8_t> burnFile() const {
        return h.folder.read("Codepage Table/output.a79");
    }

    Harness h;
    BurnCodePageImage codePageImage{};
    bool checkPasses = true;
    int builds = 0;
};

TEST_F(BurnFileTest, FirmwareThenCodePageImage) {
    const auto request = sourceOfSize(196608);
    EXPECT_EQ(makeBurnFile(h.services(), request, builder()), Outcome::Done);
    EXPECT_TRUE(h.dialogs.messages.empty()); // no message reports success
    EXPECT_EQ(builds, 1);
    const auto out = burnFile();
    ASSERT_EQ(out.size(), 262144u);
    const auto firmware = pattern(196608, 0x07);
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), out.begin()));
    EXPECT_EQ(out[196607], firmware.back());
    EXPECT_EQ(out[196608], codePageImage[0]);
    EXPECT_EQ(out[262143], codePageImage[65535]);
    EXPECT_TRUE(std::equal(codePageImage.begin(), codePageImage.end(), out.begin() + 196608));
}

TEST_F(BurnFileTest, AnOlderBurnFileIsReplacedWhole) {
    h.folder.write("Codepage Table/output.a79", std::vector<std::uint8_t>(300000, 0xEE));
    EXPECT_EQ(makeBurnFile(h.services(), sourceOfSize(196608), builder()), Outcome::Done);
    EXPECT_EQ(burnFile().size(), 262144u);
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "output.a79.new"));
}

TEST_F(BurnFileTest, AnyOtherSourceLengthIsAFrontFileErrorAndTheBurnFileStays) {
    const std::vector<std::uint8_t> older(1000, 0xEE);
    for (const std::size_t size : {196607u, 196609u, 0u, 262144u}) {
        h.dialogs.messages.clear();
        h.folder.write("Codepage Table/output.a79", older);
        EXPECT_EQ(makeBurnFile(h.services(), sourceOfSize(size), builder()), Outcome::Refused)
            << size;
        EXPECT_THAT(h.dialogs.texts(), ElementsAre("front file error")) << size;
        EXPECT_TRUE(h.dialogs.messages[0].title.empty());
        EXPECT_EQ(burnFile(), older) << size;
    }
    // The code page check and build come first, as on the page.
    EXPECT_EQ(builds, 4);
}

TEST_F(BurnFileTest, NoSourceNameDoesNothingAtAll) {
    auto request = sourceOfSize(196608);
    request.source_Text.clear();
    EXPECT_EQ(makeBurnFile(h.services(), request, builder()), Outcome::Nothing);
    EXPECT_EQ(builds, 0);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "output.a79"));
}

TEST_F(BurnFileTest, AFailedCodePageCheckStopsBeforeTheSourceIsLookedAt) {
    checkPasses = false;
    EXPECT_EQ(makeBurnFile(h.services(), sourceOfSize(5), builder()), Outcome::Refused);
    EXPECT_EQ(builds, 1);
    EXPECT_TRUE(h.dialogs.messages.empty()); // the check has shown its own
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "output.a79"));
}

TEST_F(BurnFileTest, AMissingSourceIsNamed) {
    const BurnFileRequest request{"main.firm", h.folder.path() / "gone" / "main.firm"};
    EXPECT_EQ(makeBurnFile(h.services(), request, builder()), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("main.firm"));
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "output.a79"));
}

TEST_F(BurnFileTest, OpenSourceUsesCommonDialogAndAsksFirst) {
    h.dialogs.files.push_back(FileChoice{"/firm/v2.firm", "v2.firm"});
    BurnSourceChoice choice = chooseBurnSource(h.services());
    EXPECT_EQ(choice.outcome, Outcome::Done);
    EXPECT_EQ(choice.source_Text, "v2.firm");
    EXPECT_EQ(choice.fullPath, std::filesystem::path("/firm/v2.firm"));
    ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(h.dialogs.fileRequests[0].dialog, FileDialogId::CommonDialog);
    EXPECT_EQ(h.dialogs.fileRequests[0].filter, "source code Files(*.firm) | *.firm");
    EXPECT_TRUE(h.dialogs.fileRequests[0].initialFolder.empty());
    EXPECT_THAT(h.dialogs.questions, ElementsAre(Shown{"Are you sure to Load ?", "Load File"}));

    h.dialogs.files.push_back(FileChoice{"/firm/v3.firm", "v3.firm"});
    h.dialogs.answers.push_back(false);
    choice = chooseBurnSource(h.services());
    EXPECT_EQ(choice.outcome, Outcome::Nothing);
    EXPECT_TRUE(choice.source_Text.empty());

    choice = chooseBurnSource(h.services()); // the dialog cancelled
    EXPECT_EQ(choice.outcome, Outcome::Nothing);
    EXPECT_EQ(h.dialogs.questions.size(), 2u);
}

class OpenCompoundFileTest : public ::testing::Test {
protected:
    Harness h;
    CompoundState state;
};

TEST_F(OpenCompoundFileTest, ConfirmedChoiceSetsPathTitleAndText) {
    // From any folder, and the file itself is not looked at.
    h.dialogs.files.push_back(FileChoice{"/elsewhere/ex_Korean.code", "ex_Korean.code"});
    const CompoundFileChoice choice = openCompoundFile(h.services(), state);
    EXPECT_EQ(choice.outcome, Outcome::Done);
    EXPECT_EQ(choice.com_Text, "/elsewhere/ex_Korean.code");
    EXPECT_EQ(state.com_FilePath, std::filesystem::path("/elsewhere/ex_Korean.code"));
    EXPECT_EQ(state.com_FileTitle, "ex_Korean.code");
    ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(h.dialogs.fileRequests[0].dialog, FileDialogId::CommonDialog1);
    EXPECT_EQ(h.dialogs.fileRequests[0].filter, "Compound Files(*.code) | *.code");
    EXPECT_EQ(h.dialogs.fileRequests[0].initialFolder, h.folder.path() / "Codepage Table");
    EXPECT_THAT(h.dialogs.questions, ElementsAre(Shown{"Are you sure to Load ?", "Load File"}));
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(OpenCompoundFileTest, CancelKeepsTheEarlierChoice) {
    state = CompoundState{"/fonts/ex_JISx0208.code", "ex_JISx0208.code"};
    h.dialogs.files.push_back(FileChoice{"/fonts/ex_Korean.code", "ex_Korean.code"});
    h.dialogs.answers.push_back(false);
    EXPECT_EQ(openCompoundFile(h.services(), state).outcome, Outcome::Nothing);
    EXPECT_EQ(openCompoundFile(h.services(), state).outcome, Outcome::Nothing); // no file
    EXPECT_EQ(state.com_FileTitle, "ex_JISx0208.code");
    EXPECT_EQ(state.com_FilePath, std::filesystem::path("/fonts/ex_JISx0208.code"));
    EXPECT_EQ(h.dialogs.questions.size(), 1u);
}

} // namespace
} // namespace ordalia
