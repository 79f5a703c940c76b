#include "codepages/font_download.h"
#include "link/transfer_gate.h"
#include "support/code_page_fonts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

const std::string kOldList = "\"0\",\"PC437\"\r\n\"1\",\"katakana\"\r\n\"2\",\"PC850\"\r\n"
                             "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"5\",\"PC865\"\r\n";
const Bytes kRequest = {0x1C /*FS*/, 0xC7 /*font*/, 'K', 'O', 'V', 'I',
                        'R',         'K',           'O', 'V', 'I', 'R'};

// "Download to Printer" with the six default fonts and the 2nd table number
// changed to 9, to a printer that accepts and answers; all in order but `way`.
struct DownloadRun {
    // `pc850`: what the file PC850.CP holds instead of its font; none: no file.
    Outcome download(std::string_view way, std::optional<std::optional<std::string>> pc850 = {}) {
        CodePageSlots slots = defaultCodePageSlots();
        writePatternFonts(h.folder, slots);
        if (pc850 && *pc850)
            h.folder.write("Codepage Table/PC850.CP", **pc850);
        else if (pc850)
            std::filesystem::remove(h.folder.path() / "Codepage Table/PC850.CP");
        h.folder.write("Codepage Table/Codepage", kOldList);
        h.folder.write("Codepage Table/test", std::string("old"));
        slots.Pos_CP[1] = way == "quote" ? "9\"" : way == "repeat" ? "2" : "9";
        h.choice.portIndex = way == "no port" || way == "parallel, no port" ? 0 : 1;
        h.choice.serialSelected = way.substr(0, 8) != "parallel";
        TransferGate other;
        TransferLock running(way == "busy" ? h.gate : other);
        if (way == "port fails")
            h.serial.writeError = PortError{"it went away"};
        h.serial.failAfterBytes = 12 + 3 * 655;
        h.serial.onWrite = [this, way](const Bytes& bytes) {
            if (h.serial.written == kRequest)
                h.serial.reply({way == "refused" ? std::uint8_t{0x00} : std::uint8_t{0xAA}}, 20);
            if (bytes == Bytes{0x1D, 0x49, 0x01} && way != "no answer") // the ID query
                h.serial.reply({0x2A}, 30);
            if (h.serial.written.size() == 12 + 65536 && way == "no reopen") // USB gone
                h.serial.openError = PortError{"no /dev/ttyUSB0."};
        };
        h.dialogs.onMessage = [this](const Shown& m) {
            shown += m.text + (h.serial.isOpen() ? " (port open)" : "") +
                     (m.title.empty() ? "" : " (titled)") +
                     (label.visible ? " - " + label.caption() : "") + "\n";
        };
        return downloadFonts(h.services(), h.choice, slots, label, bar);
    }
    std::string file(const std::string& name) const {
        const auto bytes = h.folder.read("Codepage Table/" + name);
        return std::string(bytes.begin(), bytes.end());
    }
    Harness h;
    RecordingLabel label;
    RecordingProgressBar bar;
    std::string shown; // the messages, each with the caption when the label stood
};

TEST(FontDownload, RequestImageInBlocksRestartCheckCaptionsAndTheSavedList) {
    DownloadRun r;
    ASSERT_EQ(r.download(""), Outcome::Done);
    const std::string image = r.file("test");
    Bytes wire(image.begin(), image.end()); // byte 0 first
    wire.insert(wire.begin(), kRequest.begin(), kRequest.end());
    wire.insert(wire.end(), {0x1D /*GS*/, 0x49 /*I*/, 0x01, 0x1B /*ESC*/, 0x88 /*test page*/});
    EXPECT_EQ(r.h.serial.written, wire);
    const auto& ev = r.h.serial.events; // open, 12 bytes, 100 blocks, 36 bytes, close; 6 s of
    ASSERT_EQ(ev.size(), 1u + 1 + 100 + 1 + 1 + 1 + 2 + 1); // captions; open, query, command, close
    const auto sized = [&](std::size_t from, std::size_t to, std::size_t size) {
        return std::all_of(&ev[from], &ev[to], [&](auto& e) { return e.bytes.size() == size; });
    };
    EXPECT_TRUE(sized(1, 2, 12) && sized(2, 102, 655) && sized(102, 103, 36));
    EXPECT_GE(ev[104].atUs - ev[103].atUs, 6'000'000u);

    std::vector<std::string> captions;
    for (int v = 0; v < 100; ++v)
        captions.push_back("Status : Transfer Data    " + std::to_string(v) + "%");
    for (int cycle = 0; cycle < 3; ++cycle)
        captions.insert(captions.end(), {"Status : Programming Font Data...",
                                         "Status : Programming Font Data......"});
    EXPECT_EQ(r.label.captions, captions);
    EXPECT_EQ(r.bar.values.size(), 101u); // 0, then a step a block
    EXPECT_EQ(r.bar.value(), 100);
    EXPECT_EQ(r.shown, "Undata Finish !! - Status : Programming Font Data......\n"); // then hidden
    EXPECT_FALSE(r.h.serial.isOpen() || r.label.visible || r.bar.visible);
    EXPECT_EQ(r.file("Codepage"), "\"0\",\"PC437\"\r\n\"9\",\"katakana\"\r\n\"2\",\"PC850\"\r\n"
                                  "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"5\",\"PC865\"\r\n");
}

TEST(FontDownload, OverTheParallelLinkTheImageGoesBackwardsInGroupsOfFour) {
    DownloadRun r;
    ASSERT_EQ(r.download("parallel"), Outcome::Done);
    const std::string image = r.file("test");
    Bytes data(image.rbegin(), image.rend()); // byte 65,535 first, byte 0 last
    data.insert(data.begin(), kRequest.begin(), kRequest.end());
    EXPECT_EQ(r.h.parallel.data(0x378), data);
    ASSERT_EQ(r.label.captions.size(), 106u); // a step each time another 655 bytes are sent
    for (std::size_t v = 0; v < 100; ++v)
        EXPECT_EQ(r.label.captions[v], "Status : Programming    " + std::to_string(v) + "%");
    EXPECT_EQ(r.h.serial.written, (Bytes{0x1D, 0x49, 0x01, 0x1B, 0x88})); // the restart check
    EXPECT_EQ(r.shown, "Undata Finish !! - Status : Programming Font Data......\n");
}

TEST(FontDownload, EveryOtherWayEndsWithTheListAsItWas) {
    const std::string font = formatCodePageFont(patternFont(2));
    const std::string fontA = font.substr(0, font.find("[FONT B]"));
    using PC850 = std::optional<std::optional<std::string>>; // the font's text instead
    const PC850 noFile = std::optional<std::string>();
    const struct {
        std::string_view way;
        Outcome outcome;
        const char* shown;        // a pattern for the messages
        std::size_t written = 0;  // to the serial port
        bool built = false;       // "test" written
        const char* caption = ""; // a pattern for the label's when it stays
        PC850 pc850 = {};
    } kCases[] = {
        {"refused", Outcome::Failed, "IRC_CHECK Error !! - \n", 12, true},
        {"no answer", Outcome::Failed, "", 12 + 65536 + 3, true, "Status : Updata Font Error!!"},
        {"no reopen", Outcome::Failed, "", 12 + 65536, true,
         "Status : Updata Font Error!! Cannot open COM 1 .*no /dev/ttyUSB0."},
        {"quote", Outcome::Refused, "The table number of the 2nd position, 9\", contains a .*\n"},
        {"repeat", Outcome::Refused, "Error !! 2nd & 3rd Position is repeated !!\n"},
        {"no font file", Outcome::Refused, ".*PC850.CP does not exist.*\n", 0, 0, "", noFile},
        {"empty", Outcome::Refused, ".*PC850.CP is empty.*\n", 0, 0, "", ""},
        {"no [FONT A]", Outcome::Refused, ".*PC850.CP does not start with the line .\\[FONT A\\].*",
         0, 0, "", "[FONT C]\r\n0000\r\n"},
        {"ten rows short", Outcome::Refused, ".*PC850.CP ends after 6134 of the 6144 Font A.*", 0,
         0, "", fontA.substr(0, fontA.size() - 60)},
        {"[FONT B] late", Outcome::Refused, ".*PC850.CP has .0000. at line 6146 where .*", 0, 0, "",
         fontA + "0000\r\n[FONT B]\r\n"},
        {"a row short", Outcome::Refused, ".*PC850.CP ends after 4351 of the 4352 Font B.*", 0, 0,
         "", font.substr(0, font.size() - 4)},
        {"no port", Outcome::Nothing, "", 0, true},
        {"port fails", Outcome::Failed, "Sending to COM 1 .*it went away\n", 12 + 3 * 655, true},
        {"busy", Outcome::Refused, "Another transfer .*\n"},
        {"parallel, no port", Outcome::Failed,
         "The code page image was sent over the parallel port, but no serial port is chosen .*"
         "The code page list was left as it was.\n",
         0, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.way);
        DownloadRun r;
        EXPECT_EQ(r.download(c.way, c.pc850), c.outcome);
        EXPECT_THAT(r.shown, ::testing::MatchesRegex(c.shown));
        EXPECT_EQ(r.h.serial.written.size(), c.written);
        EXPECT_EQ(r.h.parallel.data(0x378).size(), c.way == "parallel, no port" ? 12 + 65536u : 0u);
        EXPECT_EQ(r.file("test").size(), c.built ? 65536u : 3u);
        EXPECT_EQ(r.file("Codepage"), kOldList);
        EXPECT_FALSE(r.h.serial.isOpen());
        EXPECT_THAT(r.label.visible ? r.label.caption() : "", ::testing::MatchesRegex(c.caption));
        EXPECT_EQ(r.bar.visible, r.label.visible);
    }
}

} // namespace
} // namespace ordalia
