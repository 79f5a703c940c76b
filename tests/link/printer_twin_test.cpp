#include "link/printer_twin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::HasSubstr;

PrinterInfo healthy() {
    PrinterInfo info;
    info.model = {AnswerState::Ok, 0x20};
    info.type = {AnswerState::Ok, 0x03};
    info.romVersion = {AnswerState::Ok, 0x10};
    info.firmware = {AnswerState::Ok, "1.00"};
    info.maker = {AnswerState::Ok, "KOVIR"};
    info.modelName = {AnswerState::Ok, "SHOP-58"};
    info.serialNumber = {AnswerState::Ok, "SN 4711"};
    for (ByteAnswer* status : {&info.printer, &info.offLine, &info.error, &info.paper})
        *status = {AnswerState::Ok, 0x12};
    return info;
}

// The file a printer that answered everything gets, byte for byte.
constexpr std::string_view kHealthyTwin = R"({
  "document": "ordalia printer twin",
  "version": 1,
  "identity": {
    "model_name": "SHOP-58",
    "firmware": "1.00",
    "maker": "KOVIR",
    "serial_number": "SN 4711",
    "model_id": 32,
    "type_id": 3,
    "type_bits": {
      "two_byte_characters": true,
      "auto_cutter": true,
      "display": false
    },
    "rom_version": 16
  },
  "status": {
    "printer": 18,
    "off_line": 18,
    "error": 18,
    "paper": 18
  },
  "paper_dots": 384
}
)";

TEST(PrinterTwin, WhatWasAnsweredComesBackTheSame) {
    EXPECT_EQ(twinJson(healthy(), 384), kHealthyTwin);

    PrinterInfo offLine; // paper end, cover open: the identity was not asked
    offLine.printer = {AnswerState::Ok, 0x1A};
    offLine.offLine = {AnswerState::Ok, 0x36};
    offLine.paper = {AnswerState::Ok, 0x7E};
    offLine.error = {AnswerState::Garbled, 0x00};
    offLine.modelName.state = offLine.serialNumber.state = AnswerState::NotAsked;
    PrinterInfo garbledKept = healthy(); // what was not an answer comes back as none
    garbledKept.maker = {AnswerState::Garbled, {}};
    garbledKept.type = {AnswerState::None, 0};
    struct Case {
        const char* name;
        PrinterInfo info;
        int dots;
        std::vector<std::string> changed; // lines that differ from the printer's own
    } const kCases[] = {
        {"healthy", healthy(), 576, {}},
        {"off line",
         offLine,
         384,
         {"model name: no answer", "serial number: no answer", "error: no answer"}},
        {"garbled and silent answers", garbledKept, 4096, {"maker: no answer"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const TwinRead read = parseTwin(twinJson(c.info, c.dots));
        ASSERT_TRUE(read.twin) << read.problem;
        EXPECT_EQ(read.twin->paperDots, c.dots);
        const auto lines = printerInfoLines(read.twin->info);
        auto expected = printerInfoLines(c.info);
        for (const std::string& line : c.changed)
            for (std::string& e : expected)
                if (e.substr(0, e.find(':')) == line.substr(0, line.find(':')))
                    e = line;
        EXPECT_EQ(lines, expected);
    }
}

TEST(PrinterTwin, ADocumentThatIsNoTwinIsRefusedWithWhy) {
    const std::string healthyText(kHealthyTwin);
    struct Case {
        const char* name;
        std::string from, to; // in the healthy file; "" from: the whole text
        const char* problem;
    } const kCases[] = {
        {"not JSON", "", "{\"document\": ", "it is not JSON text."},
        {"another document", "", R"({"printers": []})", "it is not a printer twin"},
        {"a list", "", "[1, 2]", "it is not a printer twin"},
        {"another version", "\"version\": 1", "\"version\": 2", "of another version than 1"},
        {"a serial number that is not text", "\"SN 4711\"", "4711",
         "\"identity.serial_number\" is a number, not a text."},
        {"a text too long", "\"SHOP-58\"", '"' + std::string(81, 'x') + '"',
         "\"identity.model_name\" is longer than the 80 characters"},
        {"a control character", "\"KOVIR\"", "\"KO\\u001bVIR\"",
         "\"identity.maker\" holds a character other than printable ASCII"},
        {"a byte over 255", "\"model_id\": 32", "\"model_id\": 256",
         "\"identity.model_id\" is not a byte"},
        {"a negative byte", "\"rom_version\": 16", "\"rom_version\": -1",
         "\"identity.rom_version\" is not a byte"},
        {"a byte as text", "\"rom_version\": 16", "\"rom_version\": \"16\"",
         "\"identity.rom_version\" is not a byte"},
        {"not a status byte", "\"paper\": 18", "\"paper\": 0",
         "\"status.paper\" is 0x00, not a status byte"},
        {"type bits against the type", "\"display\": false", "\"display\": true",
         "\"identity.type_bits.display\" disagrees with type_id 0x03."},
        {"a type bit not true or false", "\"display\": false", "\"display\": 0",
         "\"identity.type_bits.display\" is not true or false."},
        {"status not an object", "\"status\": {", "\"status\": 7, \"s\": {",
         "\"status\" is not an object."},
        {"paper width", "\"paper_dots\": 384", "\"paper_dots\": 380",
         "\"paper_dots\" is not a paper width"},
        {"paper width as text", "\"paper_dots\": 384", "\"paper_dots\": \"384\"",
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
