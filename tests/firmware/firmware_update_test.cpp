#include "common/text.h"
#include "firmware/firmware_update.h"
#include "link/program_exchange.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace ordalia::testing;
using Kind = FakeSerialPort::Event::Kind;

std::vector<std::uint8_t> firmwareImage(std::size_t size = kFirmwareImageSize) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>((i * 7 + i / 1024) & 0xFF);
    return image;
}

class FirmwareUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        request.FirmFilePath = h.folder.write("new.firm", firmwareImage());
        // The restart poll reads the clock without sleeping; let each read
        // take a little virtual time, as real reads do.
        h.clock.onTick = [this](std::uint64_t) { h.clock.advanceUs(50); };
    }
    // A printer that accepts the request and, after programming, answers the
    // ID query.
    void scriptPrinter(std::optional<std::uint8_t> requestReply, bool answersAfterProgramming) {
        h.serial.onWrite = [=, this](const std::vector<std::uint8_t>& bytes) {
            const auto& w = h.serial.written;
            if (bytes.size() != 1)
                return;
            if (requestReply && w.size() == kProgramRequestSize && w[0] == 0x1C)
                h.serial.reply({*requestReply}, 20);
            if (answersAfterProgramming && bytes[0] == 0x01 && w.size() >= 3 &&
                w[w.size() - 2] == 0x49 && w[w.size() - 3] == 0x1D)
                h.serial.reply({0x42}, 300);
        };
    }
    Outcome update() { return updateFirmware(h.services(), h.choice, request, label, bar); }
    std::size_t blockWrites() const {
        std::size_t n = 0;
        for (const auto& e : h.serial.events)
            if (e.kind == Kind::Write && e.bytes.size() == kFirmwareBlockSize)
                ++n;
        return n;
    }

    Harness h;
    FirmwareUpdateRequest request;
    RecordingLabel label;
    RecordingProgressBar bar;
};

TEST_F(FirmwareUpdateTest, ChoosingAFileAsksFirstAndCancelKeepsTheOldChoice) {
    FirmwareState state;
    h.dialogs.files.push_back(FileChoice{"/images/a.firm", "a.firm"});
    h.dialogs.answers.push_back(true);
    EXPECT_EQ(openFirmwareFile(h.services(), state).Firm_Text, "/images/a.firm");
    EXPECT_EQ(state.FirmFilePath, "/images/a.firm");
    EXPECT_EQ(h.dialogs.fileRequests.at(0).dialog, FileDialogId::CommonDialog);
    EXPECT_EQ(h.dialogs.fileRequests.at(0).filter, "Firmware Files(*.firm) | *.firm");
    EXPECT_EQ(h.dialogs.fileRequests.at(0).initialFolder, h.folder.path());
    EXPECT_EQ(h.dialogs.questions.at(0), (Shown{"Are you sure to Load ?", "Load File"}));

    h.dialogs.files.push_back(FileChoice{"/images/b.firm", "b.firm"});
    h.dialogs.answers.push_back(false);
    EXPECT_EQ(openFirmwareFile(h.services(), state).outcome, Outcome::Nothing);
    h.dialogs.files.push_back(std::nullopt);
    EXPECT_EQ(openFirmwareFile(h.services(), state).outcome, Outcome::Nothing);
    EXPECT_EQ(state.FirmFilePath, "/images/a.firm");
}

TEST_F(FirmwareUpdateTest, WireIsRequestThenTheImageInBlocksThenTheRestartCheck) {
    scriptPrinter(0xAA, true);
    EXPECT_EQ(update(), Outcome::Done);

    const auto image = firmwareImage();
    const auto& w = h.serial.written;
    ASSERT_EQ(w.size(), kProgramRequestSize + kFirmwareImageSize + 3 + 2);
    EXPECT_THAT(std::vector<std::uint8_t>(w.begin(), w.begin() + 2),
                ElementsAre(0x1C /*FS*/, 0xC8 /*firmware*/));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), w.begin() + kProgramRequestSize));
    EXPECT_THAT(std::vector<std::uint8_t>(w.end() - 5, w.end()),
                ElementsAre(0x1D /*GS*/, 0x49 /*I*/, 0x01, 0x1B /*ESC*/, 0x88));
    EXPECT_EQ(blockWrites(), 192u);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Firmware Update Finish !!"));
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
}

TEST_F(FirmwareUpdateTest, ProgressRunsToNinetySixThenNinetyNineThenOneHundred) {
    scriptPrinter(0xAA, true);
    int barAtMessage = -1;
    std::string captionAtMessage;
    h.dialogs.onMessage = [&](const Shown&) {
        barAtMessage = bar.value();
        captionAtMessage = label.caption();
    };
    ASSERT_EQ(update(), Outcome::Done);

    // 96 transfer captions from the value before each step: 0 to 95.
    ASSERT_GE(label.captions.size(), 96u + 9u + 1u);
    EXPECT_EQ(label.captions[0], "Status : Transfer Data    0%");
    EXPECT_EQ(label.captions[5], "Status : Transfer Data    5%");
    EXPECT_EQ(label.captions[95], "Status : Transfer Data    95%");
    EXPECT_EQ(label.captions[96], "Status : Programming ...");
    EXPECT_EQ(label.captions[98], "Status : Programming .........");
    EXPECT_EQ(label.captions[104], "Status : Programming .........");
    EXPECT_EQ(label.captions.back(), "Status : Updata   100%");
    // 96 after the transfer, 99 after the programming wait, 100 on success.
    EXPECT_EQ(bar.values.front(), 0);
    EXPECT_THAT(std::vector<int>(bar.values.end() - 5, bar.values.end()),
                ElementsAre(96, 97, 98, 99, 100));
    EXPECT_EQ(barAtMessage, 100);
    EXPECT_EQ(captionAtMessage, "Status : Updata   100%");
}

TEST_F(FirmwareUpdateTest, IgnoringTheMalfunctionSendsTheImageFirst) {
    request.ISP_ERROR = true;
    scriptPrinter(std::nullopt, true);
    EXPECT_EQ(update(), Outcome::Done);
    const auto image = firmwareImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), h.serial.written.begin()));
    EXPECT_EQ(h.serial.written.size(), kFirmwareImageSize + 5);
}

TEST_F(FirmwareUpdateTest, FilesOfTheWrongLengthAreRefusedBeforeAnythingIsShownOrSent) {
    for (const std::size_t size :
         {kFirmwareImageSize - 1, kFirmwareImageSize + 1, std::size_t{0}}) {
        request.FirmFilePath = h.folder.write("odd.firm", firmwareImage(size));
        EXPECT_EQ(update(), Outcome::Refused);
    }
    request.FirmFilePath = h.folder.path() / "gone.firm";
    EXPECT_EQ(update(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(),
                ElementsAre("File Error !!", "File Error !!", "File Error !!", "File Error !!"));
    EXPECT_THAT(h.serial.events, IsEmpty());
    EXPECT_THAT(label.visibility, IsEmpty());
    EXPECT_THAT(bar.visibility, IsEmpty());
}

TEST_F(FirmwareUpdateTest, NoPortIsSilentAndNoFileIsSaid) {
    h.choice.portIndex = 0;
    EXPECT_EQ(update(), Outcome::Nothing);
    EXPECT_THAT(h.dialogs.messages, IsEmpty());

    h.choice.portIndex = 1;
    request.FirmFilePath.clear();
    EXPECT_EQ(update(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("No file be selected !"));

    h.choice.serialSelected = false;
    request.FirmFilePath = h.folder.path() / "new.firm";
    EXPECT_EQ(update(), Outcome::Refused);
    EXPECT_EQ(h.dialogs.texts().back(), kFirmwareSerialOnlyMessage);
    EXPECT_THAT(h.serial.events, IsEmpty());
    EXPECT_THAT(h.parallel.writes, IsEmpty());
}

TEST_F(FirmwareUpdateTest, RefusedOrUnansweredRequestSendsNoImage) {
    scriptPrinter(0x00, false);
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_EQ(h.serial.written.size(), kProgramRequestSize);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));

    h.serial.written.clear();
    scriptPrinter(std::nullopt, false);
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_EQ(h.serial.written.size(), kProgramRequestSize);
    EXPECT_EQ(h.dialogs.texts().back(), "Connecting Error !!");
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
}

TEST_F(FirmwareUpdateTest, PrinterThatNeverAnswersAgainLeavesTheBarAtNinetyNine) {
    scriptPrinter(0xAA, false);
    int barWhenHidden = -1;
    bool labelHiddenBeforeMessage = false;
    h.dialogs.onMessage = [&](const Shown&) {
        barWhenHidden = bar.value();
        labelHiddenBeforeMessage = !label.visible && !bar.visible;
    };
    const std::uint64_t before = h.clock.nowMs();
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Firmware Update Error!!"));
    EXPECT_EQ(barWhenHidden, 99);
    EXPECT_TRUE(labelHiddenBeforeMessage);
    EXPECT_FALSE(h.serial.isOpen());
    // The 9 s of captions and then a little over 2 s of polling, on the
    // virtual clock.
    EXPECT_GT(h.clock.nowMs() - before, 11000u);
    EXPECT_THAT(std::vector<std::uint8_t>(h.serial.written.end() - 3, h.serial.written.end()),
                ElementsAre(0x1D, 0x49, 0x01));
}

TEST_F(FirmwareUpdateTest, PortThatFailsMidImageIsClosedAndReported) {
    scriptPrinter(0xAA, true);
    h.serial.writeError = PortError{PortErrorKind::Disconnected, "the device went away"};
    h.serial.failAfterBytes = kProgramRequestSize + 50 * kFirmwareBlockSize;
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_EQ(blockWrites(), 50u);
    EXPECT_FALSE(h.serial.isOpen());
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
}

TEST_F(FirmwareUpdateTest, SecondStartWhileOneRunsIsRefused) {
    TransferLock running(h.gate);
    EXPECT_EQ(update(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(kTransferBusyMessage));
    EXPECT_THAT(h.serial.events, IsEmpty());
}

TEST_F(FirmwareUpdateTest, EveryEvenBlockRefreshesTheStatusAndThePortIsClosedWhileProgramming) {
    scriptPrinter(0xAA, true);
    struct AtPump {
        std::size_t blocks;
        bool portOpen;
        std::string caption;
        int bar;
    };
    std::vector<AtPump> pumps;
    h.events.onPump = [&] {
        pumps.push_back({blockWrites(), h.serial.isOpen(), label.caption(), bar.value()});
    };
    ASSERT_EQ(update(), Outcome::Done);

    // 96 during the transfer, 9 during the programming wait, 1 at the end.
    ASSERT_EQ(pumps.size(), 96u + 9u + 1u);
    for (std::size_t k = 0; k < 96; ++k) {
        SCOPED_TRACE("transfer pump " + std::to_string(k));
        EXPECT_EQ(pumps[k].blocks, 2 * k + 1); // right after block 2k
        EXPECT_TRUE(pumps[k].portOpen);
        EXPECT_EQ(pumps[k].caption, "Status : Transfer Data   " + signedNumberText(k) + "%");
        EXPECT_EQ(pumps[k].bar, static_cast<int>(k) + 1);
    }
    for (std::size_t k = 96; k < 105; ++k) {
        SCOPED_TRACE("programming pump " + std::to_string(k - 96));
        EXPECT_EQ(pumps[k].blocks, 192u);
        EXPECT_FALSE(pumps[k].portOpen);
    }
    EXPECT_FALSE(pumps.back().portOpen);
    EXPECT_EQ(pumps.back().caption, "Status : Updata   100%");
    EXPECT_EQ(pumps.back().bar, 100);
    // The port was opened twice: for the image, and for the restart check.
    EXPECT_EQ(h.serial.openedDevices.size(), 2u);
}

TEST_F(FirmwareUpdateTest, ANewerChoiceMadeDuringTheUpdateDoesNotChangeIt) {
    scriptPrinter(0xAA, true);
    // The request is a copy: the window may show another file meanwhile.
    FirmwareUpdateRequest live = request;
    h.events.onPump = [&] { live.FirmFilePath = h.folder.path() / "other.firm"; };
    ASSERT_EQ(updateFirmware(h.services(), h.choice, live, label, bar), Outcome::Done);
    const auto image = firmwareImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), h.serial.written.begin() + 12));
}

} // namespace
} // namespace ordalia
