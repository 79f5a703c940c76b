#include "support/harness.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

class TestPagesTest : public ::testing::Test {
protected:
    std::vector<std::uint8_t> bytes(std::size_t n) {
        std::vector<std::uint8_t> out(n);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<std::uint8_t>(i * 7 + 3);
        return out;
    }
    Harness h;
};

TEST_F(TestPagesTest, FileGoesOutByteForByteInOrder) {
    const auto page = bytes(300);
    h.folder.write("testpage/rec1.p", page);
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec1.p"), Outcome::Done);
    EXPECT_EQ(h.serial.written, page);
    // One write per byte, each drained before the next.
    ASSERT_EQ(h.serial.events.size(), 302u);
    EXPECT_EQ(h.serial.events.front().kind, FakeSerialPort::Event::Open);
    EXPECT_EQ(h.serial.events.back().kind, FakeSerialPort::Event::Close);
    for (std::size_t i = 1; i + 1 < h.serial.events.size(); ++i)
        ASSERT_EQ(h.serial.events[i].bytes.size(), 1u);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_FALSE(h.serial.isOpen());
}

TEST_F(TestPagesTest, LongestFileIsSentWholeAndOneByteMoreIsRefused) {
    h.serial.fifoSize = 1 << 30; // no drain waits: this is about the size
    h.folder.write("testpage/bmp1.p", bytes(kTestPageBufferSize));
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/bmp1.p"), Outcome::Done);
    EXPECT_EQ(h.serial.written.size(), kTestPageBufferSize);

    h.serial.written.clear();
    h.serial.openedDevices.clear();
    h.folder.write("testpage/bmp1.p", bytes(kTestPageBufferSize + 1));
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/bmp1.p"), Outcome::Refused);
    EXPECT_TRUE(h.serial.openedDevices.empty());
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("655351"));
}

TEST_F(TestPagesTest, EmptyFileOpensAndClosesAndSendsNothing) {
    h.folder.write("testpage/cutter.p", std::vector<std::uint8_t>{});
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/cutter.p"), Outcome::Done);
    EXPECT_TRUE(h.serial.written.empty());
    ASSERT_EQ(h.serial.events.size(), 2u);
    EXPECT_EQ(h.serial.events[0].kind, FakeSerialPort::Event::Open);
    EXPECT_EQ(h.serial.events[1].kind, FakeSerialPort::Event::Close);
}

TEST_F(TestPagesTest, MissingFileIsNamedAndNothingIsOpened) {
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec2.p"), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("rec2.p"));
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(TestPagesTest, BlankPortEntryGivesTheMessageAfterTheFileIsRead) {
    h.choice.portIndex = 0;
    h.folder.write("testpage/rec1.p", bytes(10));
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec1.p"), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Please Choose the com port !"));
    EXPECT_TRUE(h.dialogs.messages[0].title.empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());

    h.dialogs.messages.clear();
    EXPECT_EQ(SendSelfTestRequest(h.services(), h.choice), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Please Choose the com port !"));
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(TestPagesTest, SelfTestRequestIsExactlyEsc88) {
    EXPECT_EQ(SendSelfTestRequest(h.services(), h.choice), Outcome::Done);
    EXPECT_THAT(h.serial.written, ElementsAre(0x1B /*ESC*/, 0x88 /*self-test*/));
    EXPECT_FALSE(h.serial.isOpen());
}

TEST_F(TestPagesTest, UnopenablePortIsReportedAndNothingSent) {
    h.serial.openError = PortError{PortErrorKind::NoSuchPort, "there is no device /dev/ttyS0."};
    h.folder.write("testpage/rec1.p", bytes(10));
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec1.p"), Outcome::Failed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("COM 1 (/dev/ttyS0)"));
    EXPECT_TRUE(h.serial.written.empty());
}

TEST_F(TestPagesTest, PortThatDiesMidPageIsClosedAndReported) {
    h.serial.writeError = PortError{PortErrorKind::Disconnected, "/dev/ttyS0 has gone away."};
    h.serial.failAfterBytes = 4;
    h.folder.write("testpage/rec1.p", bytes(10));
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec1.p"), Outcome::Failed);
    EXPECT_EQ(h.serial.written.size(), 4u);
    EXPECT_FALSE(h.serial.isOpen());
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("gone away"));
}

TEST_F(TestPagesTest, ParallelLinkStrobesEveryByteAndNeedsNoSerialPort) {
    h.choice.serialSelected = false;
    h.choice.portIndex = 0;
    h.folder.write("testpage/rec1.p", std::vector<std::uint8_t>{0x1B, 0x40, 'A'});
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec1.p"), Outcome::Done);
    EXPECT_THAT(h.parallel.data(0x378), ElementsAre(0x1B, 0x40, 'A'));
    EXPECT_TRUE(h.serial.openedDevices.empty());
    EXPECT_TRUE(h.dialogs.messages.empty());
    // Test Page has no parallel branch.
    EXPECT_EQ(SendSelfTestRequest(h.services(), h.choice), Outcome::Nothing);
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(TestPagesTest, SecondStartWhileOneRunsIsRefused) {
    h.folder.write("testpage/rec1.p", bytes(3));
    TransferLock running(h.gate);
    EXPECT_EQ(SendTestPage(h.services(), h.choice, "testpage/rec1.p"), Outcome::Refused);
    EXPECT_EQ(SendSelfTestRequest(h.services(), h.choice), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(kTransferBusyMessage, kTransferBusyMessage));
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(TestPagesTest, CompareFilesReportsEachDifferingOffsetInHex) {
    auto one = bytes(40);
    auto two = one;
    h.folder.write("1", one);
    h.folder.write("2", two);
    CompareFiles(h.services());
    EXPECT_TRUE(h.dialogs.messages.empty());

    two[0] ^= 1;
    two[26] ^= 1;
    h.folder.write("2", two);
    CompareFiles(h.services());
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("0", "1A"));
}

TEST_F(TestPagesTest, CompareFilesStopsOnceAtTheEndOfAShorterSecondFile) {
    auto one = bytes(40);
    h.folder.write("1", one);
    h.folder.write("2", std::vector<std::uint8_t>(one.begin(), one.begin() + 30));
    CompareFiles(h.services());
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("1E"));
}

} // namespace
} // namespace ordalia
