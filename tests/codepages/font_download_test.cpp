#include "codepages/font_download.h"
#include "codepages_fixture.h"
#include "link/transfer_gate.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using namespace ordalia::testing;

const std::vector<std::uint8_t> kFontRequest = {0x1C /*FS*/, 0xC7 /*font*/, 'K', 'O', 'V', 'I',
                                                'R',         'K',           'O', 'V', 'I', 'R'};
const std::vector<std::uint8_t> kIdQuery = {0x1D /*GS*/, 0x49 /*I*/, 0x01 /*n*/};
const std::vector<std::uint8_t> kSelfTest = {0x1B /*ESC*/, 0x88 /*self-test*/};

// A label that notes when each caption was set on the virtual clock.
class TimedLabel final : public StatusLabel {
public:
    explicit TimedLabel(FakeClock& clock) : m_clock(clock) {}
    void setCaption(std::string_view text) override {
        captions.emplace_back(text);
        timesMs.push_back(m_clock.nowMs());
    }
    void setVisible(bool visible) override {
        this->visible = visible;
        visibility.push_back(visible);
    }
    std::vector<std::string> captions;
    std::vector<std::uint64_t> timesMs;
    std::vector<bool> visibility;
    bool visible = false;

private:
    FakeClock& m_clock;
};

bool endsWith(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& tail) {
    return bytes.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size()));
}

class FontDownloadTest : public CodePagesFixture {
protected:
    FontDownloadTest() {
        h.folder.write("Codepage Table/Codepage", kOldList);
        slots.Pos_CP = {"0", "9", "2", "3", "4", "5"}; // differs from the saved list
    }

    // A printer that accepts the request and, when `answersId`, answers the
    // printer-ID query.
    void printer(bool answersId, std::vector<std::uint8_t> ack = {0xAA}) {
        h.serial.onWrite = [this, answersId, ack](const std::vector<std::uint8_t>&) {
            if (h.serial.written.size() == kFontRequest.size() && !ack.empty())
                h.serial.reply(ack, 20);
            if (answersId && endsWith(h.serial.written, kIdQuery))
                h.serial.reply({0x2A}, 30);
        };
    }

    Outcome download() { return downloadFonts(h.services(), h.choice, slots, label, bar); }

    std::vector<std::uint8_t> image() const { return h.folder.read("Codepage Table/test"); }
    std::string savedList() const {
        const auto bytes = h.folder.read("Codepage Table/Codepage");
        return std::string(bytes.begin(), bytes.end());
    }

    const std::string kOldList = "\"0\",\"PC437\"\r\n\"1\",\"katakana\"\r\n\"2\",\"PC850\"\r\n"
                                 "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"5\",\"PC865\"\r\n";
    TimedLabel label{h.clock};
    RecordingProgressBar bar;
};

TEST_F(FontDownloadTest, SerialWireIsRequestImageThenRestartCheck) {
    printer(true);
    std::vector<std::size_t> writtenAtPump;
    h.events.onPump = [&] { writtenAtPump.push_back(h.serial.written.size()); };

    EXPECT_EQ(download(), Outcome::Done);

    const auto img = image();
    ASSERT_EQ(img.size(), 65536u);
    std::vector<std::uint8_t> wire = kFontRequest;
    wire.insert(wire.end(), img.begin(), img.end()); // byte 0 first, 65,535 last
    wire.insert(wire.end(), kIdQuery.begin(), kIdQuery.end());
    wire.insert(wire.end(), kSelfTest.begin(), kSelfTest.end());
    EXPECT_EQ(h.serial.written, wire);

    // Open, 12 request bytes, 100 blocks, 36 single bytes, close; then the
    // restart check: open, 3 + 2 single bytes, close.
    const auto& ev = h.serial.events;
    ASSERT_EQ(ev.size(), 1u + 12 + 100 + 36 + 1 + 1 + 5 + 1);
    EXPECT_EQ(ev[0].kind, FakeSerialPort::Event::Open);
    for (std::size_t i = 1; i <= 12; ++i)
        EXPECT_EQ(ev[i].bytes.size(), 1u);
    for (std::size_t b = 0; b < 100; ++b) {
        ASSERT_EQ(ev[13 + b].bytes.size(), 655u);
        EXPECT_EQ(ev[13 + b].bytes.front(), img[b * 655]);
    }
    for (std::size_t i = 0; i < 36; ++i)
        EXPECT_THAT(ev[113 + i].bytes, ElementsAre(img[65500 + i]));
    EXPECT_EQ(ev[149].kind, FakeSerialPort::Event::Close);
    EXPECT_EQ(ev[150].kind, FakeSerialPort::Event::Open);
    EXPECT_EQ(ev.back().kind, FakeSerialPort::Event::Close);
    EXPECT_FALSE(h.serial.isOpen());

    // Events are pumped after every block, before the next one goes out.
    ASSERT_GE(writtenAtPump.size(), 100u);
    for (std::size_t b = 0; b < 100; ++b)
        EXPECT_EQ(writtenAtPump[b], 12 + (b + 1) * 655);
}

TEST_F(FontDownloadTest, CaptionsBarAndProgrammingWait) {
    printer(true);
    EXPECT_EQ(download(), Outcome::Done);

    ASSERT_EQ(label.captions.size(), 106u);
    for (int v = 0; v < 100; ++v)
        EXPECT_EQ(label.captions[static_cast<std::size_t>(v)],
                  "Status : Transfer Data   " + std::string(" ") + std::to_string(v) + "%");
    EXPECT_EQ(bar.values.front(), 0);
    EXPECT_EQ(bar.values.size(), 101u);
    EXPECT_EQ(bar.values.back(), 100);

    // Three cycles of two captions, one second each, after the transfer.
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(label.captions[100 + k], k % 2 == 0 ? "Status : Programming Font Data..."
                                                      : "Status : Programming Font Data......");
    for (std::size_t k = 101; k < 106; ++k)
        EXPECT_EQ(label.timesMs[k] - label.timesMs[k - 1], 1000u) << k;
    // The restart check opens the port after the last caption's second.
    const auto reopen = h.serial.events[150].atUs / 1000;
    EXPECT_GE(reopen, label.timesMs[105] + 1000);

    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Undata Finish !!"));
    EXPECT_TRUE(h.dialogs.messages[0].title.empty());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_THAT(label.visibility, ElementsAre(true, false));
}

TEST_F(FontDownloadTest, CodepageIsRewrittenOnlyAfterAConfirmedSuccess) {
    printer(true);
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_EQ(savedList(), "\"0\",\"PC437\"\r\n\"9\",\"katakana\"\r\n\"2\",\"PC850\"\r\n"
                           "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"5\",\"PC865\"\r\n");
}

TEST_F(FontDownloadTest, NoAnswerAfterProgrammingLeavesTheErrorShowing) {
    printer(false);
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_EQ(label.captions.back(), "Status : Updata Font Error!!");
    EXPECT_TRUE(label.visible);
    EXPECT_TRUE(bar.visible);
    EXPECT_EQ(bar.value(), 100);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_EQ(savedList(), kOldList);
    EXPECT_TRUE(endsWith(h.serial.written, kIdQuery)); // no self-test request
    EXPECT_FALSE(h.serial.isOpen());
    // The ID query was given its 5,000 ms.
    const auto& ev = h.serial.events;
    EXPECT_GE(ev.back().atUs - ev[ev.size() - 5].atUs, 5000u * 1000);
}

TEST_F(FontDownloadTest, RefusedOrUnansweredRequestSendsNoData) {
    printer(false, {0x00});
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));
    EXPECT_EQ(h.serial.written, kFontRequest);
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_EQ(savedList(), kOldList);

    h.dialogs.messages.clear();
    h.serial.written.clear();
    printer(false, {});
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Connecting Error !!"));
    EXPECT_EQ(h.serial.written, kFontRequest);
    EXPECT_FALSE(label.visible);
}

TEST_F(FontDownloadTest, BlankPortBuildsTheImageButSendsAndShowsNothing) {
    h.choice.portIndex = 0;
    EXPECT_EQ(download(), Outcome::Nothing);
    EXPECT_EQ(image().size(), 65536u);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());
    EXPECT_TRUE(label.visibility.empty());
    EXPECT_EQ(savedList(), kOldList);
}

TEST_F(FontDownloadTest, BadTableOrBuildStopsBeforeThePort) {
    slots.Pos_CP[5] = "9";
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Error !! 2nd & 6th Position is repeated !!"));
    EXPECT_TRUE(image().empty()); // nothing built

    h.dialogs.messages.clear();
    slots.Pos_CP[5] = "5";
    std::filesystem::remove(h.folder.path() / "Codepage Table" / "PC860.CP");
    EXPECT_EQ(download(), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("PC860.CP"));
    EXPECT_TRUE(image().empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());
    EXPECT_TRUE(label.visibility.empty());
}

TEST_F(FontDownloadTest, PortFaultsCloseThePortAndHideTheProgress) {
    h.serial.openError = PortError{PortErrorKind::NoSuchPort, "there is no device /dev/ttyS0."};
    EXPECT_EQ(download(), Outcome::Failed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("COM 1"));
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);

    h.dialogs.messages.clear();
    h.serial.openError.reset();
    printer(true);
    h.serial.writeError = PortError{PortErrorKind::Disconnected, "/dev/ttyS0 has gone away."};
    h.serial.failAfterBytes = 12 + 655 * 3;
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_EQ(h.serial.written.size(), 12u + 655 * 3);
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("gone away")));
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_EQ(savedList(), kOldList);
}

TEST_F(FontDownloadTest, SecondStartWhileOneRunsIsRefused) {
    TransferLock running(h.gate);
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(kTransferBusyMessage));
    EXPECT_TRUE(image().empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(FontDownloadTest, ParallelLinkSendsTheImageBackwardsInGroupsOfFour) {
    h.choice.serialSelected = false;
    printer(true);
    std::vector<std::size_t> dataAtPump;
    h.events.onPump = [&] { dataAtPump.push_back(h.parallel.data(0x378).size()); };

    EXPECT_EQ(download(), Outcome::Done);

    const auto img = image();
    const auto data = h.parallel.data(0x378);
    ASSERT_EQ(data.size(), 12u + 65536u);
    EXPECT_THAT(std::vector<std::uint8_t>(data.begin(), data.begin() + 12),
                ElementsAreArray(kFontRequest));
    // Groups i + 3, i + 2, i + 1, i from 65,532 down to 0: the whole image
    // in descending order, byte 65,535 first and byte 0 last.
    EXPECT_TRUE(std::equal(data.begin() + 12, data.end(), img.rbegin()));

    // 100 progress steps, each after the group that carried the count past
    // another 655 bytes.
    ASSERT_GE(label.captions.size(), 100u);
    for (int v = 0; v < 100; ++v)
        EXPECT_EQ(label.captions[static_cast<std::size_t>(v)],
                  "Status : Programming    " + std::to_string(v) + "%");
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(bar.values.size(), 101u);
    ASSERT_GE(dataAtPump.size(), 100u);
    // Step k comes after the first group whose preceding count exceeds 655 k.
    for (std::size_t k = 1; k <= 100; ++k) {
        const std::size_t groups = (655 * k) / 4 + 2; // first count above 655 k, plus itself
        EXPECT_EQ(dataAtPump[k - 1], 12 + 4 * groups) << k;
    }

    // The restart check still goes over the serial port.
    EXPECT_EQ(h.serial.written, [] {
        std::vector<std::uint8_t> w = kIdQuery;
        w.insert(w.end(), kSelfTest.begin(), kSelfTest.end());
        return w;
    }());
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Undata Finish !!"));
}

TEST_F(FontDownloadTest, ParallelLinkWithoutASerialPortHasNothingToConfirmWith) {
    h.choice.serialSelected = false;
    h.choice.portIndex = 0;
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_EQ(h.parallel.data(0x378).size(), 12u + 65536u);
    EXPECT_TRUE(h.serial.openedDevices.empty());
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Undata Finish !!"));
}

} // namespace
} // namespace ordalia
