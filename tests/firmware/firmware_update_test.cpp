#include "firmware/firmware_update.h"
#include "support/bytes.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

const Bytes kImage = pseudoRandomBytes(196608, 8);

// A file chosen with "Open Firmware File" and an update to a printer that
// accepts and answers, with everything in order but `way`.
struct UpdateRun {
    Outcome update(std::string_view way) {
        const Bytes file = way == "short" ? Bytes(196607) : way == "long" ? Bytes(196609) : kImage;
        h.dialogs.files = {FileChoice{h.folder.write("a.firm", file), ""}};
        h.dialogs.answers = {way != "cancelled"};
        FirmwareState state;
        openFirmwareFile(h.services(), state);
        h.choice.portIndex = way == "no port" ? 0 : 1;
        h.choice.serialSelected = way != "parallel";
        h.clock.onTick = [this](std::uint64_t) { h.clock.advanceUs(50); }; // the restart poll spins
        h.serial.onWrite = [this, way](const Bytes& bytes) {
            if (h.serial.written.size() == 12) // the request
                h.serial.reply({way == "refused" ? std::uint8_t{0x00} : std::uint8_t{0xAA}}, 20);
            if (bytes == Bytes{0x1D, 0x49, 0x01} && way != "no answer") // the ID query
                h.serial.reply({0x42}, 300);
            if (h.serial.written.size() == 12 + kImage.size() && way == "no reopen") // USB gone
                h.serial.openError = PortError{"no /dev/ttyUSB0."};
        };
        h.dialogs.onMessage = [this](const Shown& m) {
            shown += m.text + (h.serial.isOpen() ? " (port open)" : "") +
                     (label.visible ? " - " + label.caption() : "");
        };
        return updateFirmware(h.services(), h.choice, {state.FirmFilePath, way == "ISP_ERROR"},
                              label, bar);
    }
    Harness h;
    RecordingLabel label;
    RecordingProgressBar bar;
    std::string shown; // the messages, each with the caption when the label stood
};

TEST(FirmwareUpdate, RequestImageInBlocksAndRestartCheckWithCaptionsBarAndMessage) {
    UpdateRun r;
    std::vector<std::string> shown; // each caption with the blocks sent when it was pumped
    r.h.events.onPump = [&] {
        if (r.label.captions.size() > shown.size())
            shown.push_back(r.label.caption() + " @" +
                            std::to_string((r.h.serial.written.size() - 12) / 1024));
    };
    EXPECT_EQ(r.update(""), Outcome::Done);
    EXPECT_EQ(r.h.dialogs.fileRequests.at(0).filter, "Firmware Files(*.firm) | *.firm");
    EXPECT_EQ(r.h.dialogs.fileRequests.at(0).initialFolder, r.h.folder.path());
    EXPECT_EQ(r.h.dialogs.questions, (std::vector<Shown>{{"Are you sure to Load ?", "Load File"}}));

    Bytes wire = kImage;
    wire.insert(wire.begin(),
                {0x1C /*FS*/, 0xC8 /*firmware*/, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'});
    wire.insert(wire.end(), {0x1D /*GS*/, 0x49 /*I*/, 0x01, 0x1B /*ESC*/, 0x88 /*test page*/});
    EXPECT_EQ(r.h.serial.written, wire);
    // Open, the request, 192 blocks, close; 9 s of programming; open, query, command, close.
    const auto& ev = r.h.serial.events;
    ASSERT_EQ(ev.size(), 1u + 1 + 192 + 1 + 1 + 2 + 1);
    EXPECT_GE(ev[195].atUs - ev[194].atUs, 9'000'000u);

    std::vector<std::string> captions; // after blocks 0, 2, ..., 190; then three cycles
    for (int v = 0; v < 96; ++v)
        captions.push_back("Status : Transfer Data    " + std::to_string(v) + "% @" +
                           std::to_string(2 * v + 1));
    for (int cycle = 0; cycle < 3; ++cycle)
        captions.insert(captions.end(),
                        {"Status : Programming ... @192", "Status : Programming ...... @192",
                         "Status : Programming ......... @192"});
    captions.push_back("Status : Updata   100% @192");
    EXPECT_EQ(shown, captions);
    std::vector<int> values; // 0, 96 transfer steps, 3 programming steps, 100 on success
    for (int v = 0; v <= 100; ++v)
        values.push_back(v);
    EXPECT_EQ(r.bar.values, values);
    EXPECT_EQ(r.shown, "Firmware Update Finish !! - Status : Updata   100%"); // then hidden
}

TEST(FirmwareUpdate, EveryOtherWayEndsWithItsMessageThePortClosedAndTheBarHidden) {
    const struct {
        std::string_view way;
        Outcome outcome;
        const char* shown; // a pattern
        std::size_t written;
        int bar; // its last value; -1: never shown
    } kCases[] = {
        {"ISP_ERROR", Outcome::Done, "Firmware Update Finish !! - .*", kImage.size() + 5, 100},
        {"refused", Outcome::Failed, "IRC_CHECK Error !! - ", 12, 0}, // hidden after
        {"no answer", Outcome::Failed, "Firmware Update Error!!", 12 + kImage.size() + 3, 99},
        {"no reopen", Outcome::Failed,
         "Firmware Update Error!!\nThe firmware was sent, but the printer could not be asked "
         "whether it restarted: .*COM 1.*no /dev/ttyUSB0.",
         12 + kImage.size(), 99},
        {"short", Outcome::Refused, "File Error !!", 0, -1},
        {"long", Outcome::Refused, "File Error !!", 0, -1},
        {"cancelled", Outcome::Refused, "No file be selected !", 0, -1},
        {"no port", Outcome::Nothing, "", 0, -1},
        {"parallel", Outcome::Refused, "The firmware can only be updated over the serial.*", 0, -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.way);
        UpdateRun r;
        EXPECT_EQ(r.update(c.way), c.outcome);
        EXPECT_THAT(r.shown, ::testing::MatchesRegex(c.shown));
        EXPECT_EQ(r.h.serial.written.size(), c.written);
        EXPECT_EQ(r.bar.values.empty() ? -1 : r.bar.values.back(), c.bar);
        EXPECT_FALSE(r.h.serial.isOpen() || r.label.visible || r.bar.visible);
    }
}

} // namespace
} // namespace ordalia
