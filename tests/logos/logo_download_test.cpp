#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace ordalia::testing;

using Bytes = std::vector<std::uint8_t>;

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

TEST(LogoPrintCommandTest, IsFsPThenAPartialCut) {
    EXPECT_THAT(logoPrintCommand(3),
                ElementsAre(0x1C /*FS*/, 0x70 /*p*/, 3 /*logo*/, 0x00 /*normal size*/, 0x1D /*GS*/,
                            0x56 /*V*/, 0x42 /*feed and cut partially*/, 0x00 /*no feed*/));
}

TEST(LogoProgressTest, RunsFromZeroAfterTheFirstByteToHundredAfterTheLast) {
    std::vector<int> values;
    for (std::size_t i = 0; i < 12; ++i)
        values.push_back(logoProgressValue(i, 12));
    // i * 100 / 11, shown whole.
    EXPECT_THAT(values, ElementsAre(0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 90, 100));
    // Only the last byte shows 100, however long the stream.
    EXPECT_EQ(logoProgressValue(199998, 200000), 99);
    EXPECT_EQ(logoProgressValue(199999, 200000), 100);
}

TEST(LogoSelectNumberTest, RoundsHalfToEvenAndRefusesWhatIsNoByte) {
    EXPECT_EQ(logoSelectNumber("2"), 2);
    EXPECT_EQ(logoSelectNumber("2.5"), 2);
    EXPECT_EQ(logoSelectNumber("3.5"), 4);
    EXPECT_EQ(logoSelectNumber("2.51"), 3);
    EXPECT_EQ(logoSelectNumber(" 7 logos"), 7);
    EXPECT_EQ(logoSelectNumber("logo 7"), 0); // no number at the start
    EXPECT_EQ(logoSelectNumber("0"), 0);
    EXPECT_EQ(logoSelectNumber("-0.5"), 0);
    EXPECT_EQ(logoSelectNumber("255"), 255);
    EXPECT_EQ(logoSelectNumber("255.5"), std::nullopt); // 256
    EXPECT_EQ(logoSelectNumber("256"), std::nullopt);
    EXPECT_EQ(logoSelectNumber("-1"), std::nullopt);
    EXPECT_EQ(logoSelectNumber("99999999999999999999999"), std::nullopt);
}

class LogoDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The queue empties at once; these tests are about the bytes.
        h.serial.fifoSize = std::size_t{1} << 30;
    }
    // Adds the bitmaps as the "Add" button does.
    void list(const std::vector<std::vector<std::uint8_t>>& bitmaps) {
        for (std::size_t i = 0; i < bitmaps.size(); ++i) {
            const std::string name = "logo" + std::to_string(i + 1) + ".bmp";
            const auto path = h.folder.write("pictures/" + name, bitmaps[i]);
            ASSERT_EQ(AddLogoFile(services, library, *buffers, {path, name}), Outcome::Done)
                << name;
        }
    }
    Outcome download() { return Download_Logo_Click(services, h.choice, *buffers, LogoCount, bar); }
    bool portOpened() const {
        for (const auto& e : h.serial.events)
            if (e.kind == FakeSerialPort::Event::Open)
                return true;
        return false;
    }

    Harness h;
    Services services = h.services();
    LogoLibrary library;
    std::uint8_t LogoCount = 0;
    std::unique_ptr<LogoBuffers> buffers = makeLogoBuffers();
    RecordingProgressBar bar;
};

TEST_F(LogoDownloadTest, OneEightByEightLogoOnTheSerialLink) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    bool openAtMessage = true;
    bool barAtMessage = true;
    h.dialogs.onMessage = [&](const Shown&) {
        openAtMessage = h.serial.isOpen();
        barAtMessage = bar.visible;
    };
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_THAT(h.serial.written,
                ElementsAre(0x1C /*FS*/, 0x71 /*q*/, 0x01 /*one image*/,        //
                            0x01 /*xL*/, 0x00 /*xH*/, 0x01 /*yL*/, 0x00 /*yH*/, //
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,     // eight dot columns
                            0x00, 0x00, 0x00 /*serial tail*/));
    EXPECT_THAT(bar.values, ElementsAre(0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 90, 100));
    EXPECT_THAT(bar.visibility, ElementsAre(true, false));
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Transmit Done!!"));
    EXPECT_EQ(h.dialogs.messages[0].title, "");
    EXPECT_FALSE(openAtMessage);
    EXPECT_FALSE(barAtMessage);
    EXPECT_EQ(LogoCount, 1);
    // One byte at a time, each drained before the next.
    EXPECT_EQ(h.serial.events.size(), 1 + 18 + 1u);
    EXPECT_GE(h.events.count, 12); // the bar is repainted as it moves
}

TEST_F(LogoDownloadTest, TwentyByNineGivesThreeColumnsTwoBands) {
    list({monochromeBmp(filledPicture(20, 9, '#'))});
    ASSERT_EQ(download(), Outcome::Done);
    ASSERT_EQ(h.serial.written.size(), 3 + 4 + 48 + 3u);
    EXPECT_THAT(slice(h.serial.written, 3, 4), ElementsAre(0x03, 0x00, 0x02, 0x00));
    const Bytes data = slice(h.serial.written, 7, 48);
    for (std::size_t c = 0; c < 24; ++c) {
        const bool inside = c < 20;
        EXPECT_EQ(data[2 * c], inside ? 0xFF : 0x00) << "column " << c;
        EXPECT_EQ(data[2 * c + 1], inside ? 0x80 : 0x00) << "column " << c;
    }
}

TEST_F(LogoDownloadTest, TwoThousandAndFortyEightRowsGiveYOf256) {
    list({monochromeBmp(filledPicture(8, 2048, '#'))});
    ASSERT_EQ(download(), Outcome::Done);
    ASSERT_EQ(h.serial.written.size(), 3 + 4 + 2048 + 3u);
    EXPECT_THAT(slice(h.serial.written, 3, 4),
                ElementsAre(0x01 /*xL*/, 0x00, 0x00 /*yL*/, 0x01 /*yH*/));
    EXPECT_THAT(slice(h.serial.written, 7, 2048), Each(0xFF));
}

TEST_F(LogoDownloadTest, OneStreamHoldsEveryListedLogoInOrder) {
    list({monochromeBmp(filledPicture(8, 8, '#')), monochromeBmp(filledPicture(16, 1, '#')),
          monochromeBmp({"#"})});
    ASSERT_EQ(download(), Outcome::Done);
    Bytes expected = {0x1C, 0x71, 0x03 /*n: the last record's number*/};
    expected.insert(expected.end(), {1, 0, 1, 0});
    expected.insert(expected.end(), 8, 0xFF);
    expected.insert(expected.end(), {2, 0, 1, 0});
    expected.insert(expected.end(), 16, 0x80);
    expected.insert(expected.end(), {1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0, 0});
    expected.insert(expected.end(), {0, 0, 0});
    EXPECT_EQ(h.serial.written, expected);
}

TEST_F(LogoDownloadTest, TheBitmapAsItIsNowIsSentNotTheRecordedSize) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    // Redrawn at another size under the same name after it was added.
    h.folder.write("pictures/logo1.bmp", monochromeBmp(filledPicture(16, 8, '#')));
    ASSERT_EQ(download(), Outcome::Done);
    EXPECT_THAT(slice(h.serial.written, 3, 4), ElementsAre(0x02, 0x00, 0x01, 0x00));
}

TEST_F(LogoDownloadTest, AnEmptyListIsRefusedWithoutTouchingThePort) {
    for (const bool fileThere : {false, true}) {
        if (fileThere)
            h.folder.write("Logo_Path", "");
        h.dialogs.messages.clear();
        LogoCount = 5;
        EXPECT_EQ(download(), Outcome::Refused);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre("no BMP files list on the AP !!"));
        EXPECT_EQ(LogoCount, 0);
    }
    EXPECT_FALSE(portOpened());
    EXPECT_THAT(bar.visibility, IsEmpty());
}

TEST_F(LogoDownloadTest, NoPortChosenIsToldAfterEveryBitmapWasConverted) {
    list({monochromeBmp(filledPicture(8, 8, '#')), monochromeBmp(filledPicture(8, 8, '#'))});
    h.choice.portIndex = 0;
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Please choice Port select !!"));
    EXPECT_EQ(LogoCount, 2);
    EXPECT_FALSE(portOpened());
    EXPECT_THAT(bar.visibility, IsEmpty());
    // Both blocks were built: the second follows the first in the buffer.
    EXPECT_THAT(
        slice(Bytes(buffers->LogoSendBuffer.begin(), buffers->LogoSendBuffer.begin() + 24), 12, 4),
        ElementsAre(1, 0, 1, 0));
}

TEST_F(LogoDownloadTest, ARecordNumberedZeroEndsItSilently) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    const auto bitmap = (h.folder.path() / "pictures" / "logo1.bmp").u8string();
    h.folder.write("Logo_Path",
                   "1,\"" + std::string(bitmap.begin(), bitmap.end()) +
                       "\",\"logo1.bmp\",94,8,8\r\n0,\"gone.bmp\",\"gone.bmp\",94,8,8\r\n");
    LogoCount = 1;
    EXPECT_EQ(download(), Outcome::Nothing);
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
    EXPECT_FALSE(portOpened());
    EXPECT_EQ(LogoCount, 0);
}

TEST_F(LogoDownloadTest, ABitmapThatIsGoneIsNamedAndNothingIsSent) {
    list({monochromeBmp(filledPicture(8, 8, '#')), monochromeBmp(filledPicture(8, 8, '#'))});
    std::filesystem::remove(h.folder.path() / "pictures" / "logo2.bmp");
    LogoCount = 2;
    EXPECT_EQ(download(), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("logo2.bmp does not exist"));
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("logo 2"));
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("Nothing was sent"));
    EXPECT_FALSE(portOpened());
    EXPECT_EQ(LogoCount, 2);
}

TEST_F(LogoDownloadTest, BitmapsThatChangedSinceTheyWereAddedAreRefused) {
    struct Case {
        std::string what;
        Bytes now;
        std::string message;
    };
    auto edited = [](auto edit) {
        auto b = monochromeBmp(filledPicture(8, 8, '#'));
        edit(b);
        return b;
    };
    const std::vector<Case> cases = {
        {"grown", Bytes(200001, 'B'), "longer than 200000 bytes"},
        {"no longer a BMP", edited([](Bytes& b) { b[0] = 'X'; }), "no longer a monochrome BMP"},
        {"now 8-bit", edited([](Bytes& b) { b[28] = 8; }), "no longer a monochrome BMP"},
        {"header no longer fits", edited([](Bytes& b) { b[25] = 0xFF; }), "no longer fits"},
        {"height 0", edited([](Bytes& b) { putLe32(b, 22, 0); }), "height of 0"},
        {"too wide", monochromeBmp(filledPicture(2017, 1, '#')), "at most 2016 pixels"},
        {"size field off", edited([](Bytes& b) { putLe32(b, 2, 40000); }),
         "does not match its width and height"},
    };
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        h.folder.write("pictures/logo1.bmp", c.now);
        h.dialogs.messages.clear();
        EXPECT_EQ(download(), Outcome::Refused);
        ASSERT_EQ(h.dialogs.messages.size(), 1u);
        EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr(c.message));
    }
    EXPECT_FALSE(portOpened());
}

TEST_F(LogoDownloadTest, ADamagedListIsRefused) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    {
        std::ofstream out(h.folder.path() / "Logo_Path", std::ios::binary | std::ios::app);
        out << "2,\"x.bmp\"\r\n";
    }
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("is damaged at line 2")));
    EXPECT_FALSE(portOpened());
}

TEST_F(LogoDownloadTest, NumbersOutOfStepAreRefused) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    const auto bitmap = (h.folder.path() / "pictures" / "logo1.bmp").u8string();
    const std::string path(bitmap.begin(), bitmap.end());
    h.folder.write("Logo_Path",
                   "1,\"" + path + "\",\"a\",94,8,8\r\n3,\"" + path + "\",\"a\",94,8,8\r\n");
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("numbered 3 instead of 2")));
    EXPECT_FALSE(portOpened());
}

TEST_F(LogoDownloadTest, AStreamBeyondTheSendBufferIsRefused) {
    // 2016 x 1 logos: 314-byte files, but 4 + 2016 bytes each in the stream.
    const auto flat = monochromeBmp(filledPicture(2016, 1, '#'));
    std::vector<Bytes> bitmaps(99, flat);
    list(bitmaps);
    ASSERT_EQ(download(), Outcome::Done); // 99 * 2020 = 199,980 bytes fit
    EXPECT_EQ(h.serial.written.size(), 3 + 199980 + 3u);
    EXPECT_EQ(h.serial.written[2], 99);

    h.serial.written.clear();
    h.serial.events.clear();
    h.dialogs.messages.clear();
    list({flat}); // the 100th: 202,000 bytes
    EXPECT_EQ(download(), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("more than the 200001 bytes"));
    EXPECT_FALSE(portOpened());
    EXPECT_TRUE(h.serial.written.empty());
}

TEST_F(LogoDownloadTest, TheParallelLinkSendsNoTailAndOpensNoPort) {
    h.choice.serialSelected = false;
    h.choice.portIndex = 0; // not looked at
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_THAT(h.parallel.data(0x378),
                ElementsAre(0x1C /*FS*/, 0x71 /*q*/, 0x01 /*n*/, 0x01, 0x00, 0x01, 0x00, 0xFF, 0xFF,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF)); // no zeros after the data
    EXPECT_FALSE(portOpened());
    EXPECT_THAT(bar.values, ElementsAre(0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 90, 100));
    EXPECT_THAT(bar.visibility, ElementsAre(true, false));
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Transmit Done!!"));
}

TEST_F(LogoDownloadTest, APortFaultClosesThePortHidesTheBarAndSaysWhy) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    h.serial.writeError = PortError{PortErrorKind::Disconnected, "the printer went away"};
    h.serial.failAfterBytes = 5;
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_FALSE(bar.visible);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("the printer went away"));
}

TEST_F(LogoDownloadTest, APortThatCannotBeOpenedIsReported) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    h.serial.openError = PortError{PortErrorKind::InUse, "in use by another program"};
    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_TRUE(h.serial.written.empty());
    EXPECT_FALSE(bar.visible);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("in use by another program")));
}

TEST_F(LogoDownloadTest, ASecondTransferIsRefusedWhileOneRuns) {
    list({monochromeBmp(filledPicture(8, 8, '#'))});
    TransferLock running(h.gate);
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_EQ(Print_Logo_Click(services, h.choice, 1, true, ""), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(kTransferBusyMessage, kTransferBusyMessage));
    EXPECT_FALSE(portOpened());
}

// --- print ---

class LogoPrintTest : public LogoDownloadTest {
protected:
    Outcome print(std::uint8_t count, bool all, std::string_view text) {
        return Print_Logo_Click(services, h.choice, count, all, text);
    }
    std::vector<FakeSerialPort::Event::Kind> portEvents() const {
        std::vector<FakeSerialPort::Event::Kind> out;
        for (const auto& e : h.serial.events)
            if (e.kind != FakeSerialPort::Event::Write)
                out.push_back(e.kind);
        return out;
    }
};

TEST_F(LogoPrintTest, AllPrintsEveryLogoWithACut) {
    EXPECT_EQ(print(3, true, "ignored"), Outcome::Done);
    EXPECT_THAT(h.serial.written,
                ElementsAre(0x1C, 0x70, 0x01, 0x00, 0x1D, 0x56, 0x42, 0x00,   // logo 1, cut
                            0x1C, 0x70, 0x02, 0x00, 0x1D, 0x56, 0x42, 0x00,   // logo 2, cut
                            0x1C, 0x70, 0x03, 0x00, 0x1D, 0x56, 0x42, 0x00)); // logo 3, cut
    EXPECT_THAT(portEvents(),
                ElementsAre(FakeSerialPort::Event::Open, FakeSerialPort::Event::Close));
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoPrintTest, AllWithNoLogosOpensAndClosesThePort) {
    EXPECT_EQ(print(0, true, ""), Outcome::Nothing);
    EXPECT_TRUE(h.serial.written.empty());
    EXPECT_THAT(portEvents(),
                ElementsAre(FakeSerialPort::Event::Open, FakeSerialPort::Event::Close));
}

TEST_F(LogoPrintTest, SelectPrintsTheTypedNumberRoundedHalfToEven) {
    struct Case {
        const char* text;
        std::uint8_t logo;
    };
    for (const Case& c : {Case{"2", 2}, Case{"2.5", 2}, Case{"3.5", 4}, Case{"abc", 0},
                          Case{"0", 0}, Case{"255", 255}}) {
        SCOPED_TRACE(c.text);
        h.serial.written.clear();
        EXPECT_EQ(print(9, false, c.text), Outcome::Done);
        EXPECT_THAT(h.serial.written,
                    ElementsAre(0x1C, 0x70, c.logo, 0x00, 0x1D, 0x56, 0x42, 0x00));
    }
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoPrintTest, SelectWithAnEmptyTextSendsNothingAndClosesThePort) {
    EXPECT_EQ(print(3, false, ""), Outcome::Nothing);
    EXPECT_TRUE(h.serial.written.empty());
    EXPECT_THAT(portEvents(),
                ElementsAre(FakeSerialPort::Event::Open, FakeSerialPort::Event::Close));
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoPrintTest, NumbersThatAreNoByteAreRefusedBeforeThePortOpens) {
    for (const char* text : {"256", "-1", "255.5", "1000"}) {
        SCOPED_TRACE(text);
        h.dialogs.messages.clear();
        EXPECT_EQ(print(3, false, text), Outcome::Refused);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre(kLogoNumberRangeMessage));
    }
    EXPECT_FALSE(portOpened());
}

TEST_F(LogoPrintTest, NoPortChosenDoesNothingAtAll) {
    h.choice.portIndex = 0;
    EXPECT_EQ(print(3, true, ""), Outcome::Nothing);
    EXPECT_EQ(print(3, false, "999"), Outcome::Nothing);
    EXPECT_FALSE(portOpened());
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoPrintTest, PrintingUsesTheSerialPortEvenWithTheParallelOptionSet) {
    h.choice.serialSelected = false;
    EXPECT_EQ(print(1, true, ""), Outcome::Done);
    EXPECT_EQ(h.serial.written.size(), 8u);
    EXPECT_TRUE(h.parallel.writes.empty());
}

} // namespace
} // namespace ordalia
