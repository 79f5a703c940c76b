#include "link/printer_twin.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::HasSubstr;

// A printer that answered everything, as its file holds it (a seed of the
// twin's fuzz target too).
std::string healthyTwin() {
    std::ifstream in(ORDALIA_HEALTHY_TWIN, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(PrinterTwin, WhatWasAnsweredComesBackTheSame) {
    const std::string file = healthyTwin();
    const TwinRead healthy = parseTwin(file);
    ASSERT_TRUE(healthy.twin) << healthy.problem;
    EXPECT_EQ(twinJson(healthy.twin->info, 384), file);
    EXPECT_THAT(printerInfoLines(healthy.twin->info),
                ::testing::IsSupersetOf({"serial number: SN 4711", "paper: ok",
                                         "type: two-byte characters, auto-cutter (0x03)"}));
    // Off line with the paper out and the cover open, the identity not asked,
    // one status garbled: what was no answer comes back as none.
    PrinterInfo offLine;
    offLine.printer = {AnswerState::Ok, 0x1A};
    offLine.offLine = {AnswerState::Ok, 0x36};
    offLine.paper = {AnswerState::Ok, 0x7E};
    offLine.error = {AnswerState::Garbled, 0x00};
    offLine.modelName.state = AnswerState::NotAsked;
    const TwinRead read = parseTwin(twinJson(offLine, 4096));
    ASSERT_TRUE(read.twin) << read.problem;
    EXPECT_EQ(read.twin->paperDots, 4096);
    auto expected = printerInfoLines(offLine);
    expected.front() = "model name: no answer";
    expected.back() = "error: no answer";
    EXPECT_EQ(printerInfoLines(read.twin->info), expected);
}

TEST(PrinterTwin, ADocumentThatIsNoTwinIsRefusedWithWhy) {
    const std::string healthyText = healthyTwin();
    struct Case {
        const char* name;
        std::string from, to; // in the healthy file; "" from: the whole text
        const char* problem;
    } const kCases[] = {
        {"not JSON", "", "{\"document\": ", "it is not JSON text."},
        {"another document", "", R"({"printers": []})", "it is not a printer twin"},
        {"another version", "\"version\": 1", "\"version\": 2", "of another version than 1"},
        {"a serial number that is not text", "\"SN 4711\"", "4711",
         "\"identity.serial_number\" is a number, not a text."},
        {"a text too long", "\"SHOP-58\"", '"' + std::string(81, 'x') + '"',
         "\"identity.model_name\" is longer than the 80 characters"},
        {"a control character", "\"KOVIR\"", "\"KO\\u001bVIR\"",
         "\"identity.maker\" holds a character other than printable ASCII"},
        {"a byte over 255", "\"model_id\": 32", "\"model_id\": 256",
         "\"identity.model_id\" is not a byte"},
        {"not a status byte", "\"paper\": 18", "\"paper\": 0",
         "\"status.paper\" is 0x00, not a status byte"},
        {"type bits against the type", "\"display\": false", "\"display\": true",
         "\"identity.type_bits.display\" disagrees with type_id 0x03."},
        {"paper width", "\"paper_dots\": 384", "\"paper_dots\": 380",
         "\"paper_dots\" is not a paper width"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string text = c.to;
        if (!c.from.empty()) {
            text = healthyText;
            ASSERT_NE(text.find(c.from), std::string::npos);
            text.replace(text.find(c.from), c.from.size(), c.to);
        }
        const TwinRead read = parseTwin(text);
        EXPECT_FALSE(read.twin);
        EXPECT_THAT(read.problem, HasSubstr(c.problem));
    }
}

} // namespace
} // namespace ordalia
