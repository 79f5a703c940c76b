// The printer's logic without a line, on made-up times: what it answers to
// each part of each exchange, the files its NV memory holds afterwards, and
// what it records of the ESC/POS stream. Bytes are written in the test page
// source language.

#include "printer_model.h"
#include "support/harness.h"
#include "testpage_source.h"

#include <gmock/gmock.h>
#include <set>
#include <sstream>

namespace ordalia::vprinter {
namespace {

using namespace std::chrono_literals;

Bytes bytes(std::string_view source) {
    const auto assembly = testpages::assemble(source);
    EXPECT_TRUE(assembly.ok()) << source;
    return assembly.bytes;
}

// A conversation: steps "SENT > ANSWERED" separated by ';', each step's bytes
// fed at once and the replies due right after compared; "@N" before a step
// lets N ms pass first.
void converse(PrinterModel& model, const std::string& script) {
    TimePoint now{};
    std::stringstream steps(script);
    for (std::string step; std::getline(steps, step, ';');) {
        SCOPED_TRACE(step.substr(0, 60));
        if (const auto at = step.find_first_not_of(' '); step[at] == '@') {
            const auto end = step.find(' ', at);
            now += Millis(std::stoi(step.substr(at + 1, end - at - 1)));
            step.erase(0, end);
        }
        const auto arrow = step.find('>');
        model.receive(bytes(step.substr(0, arrow)), now);
        ASSERT_EQ(model.takeDueReplies(now), bytes(step.substr(arrow + 1)));
    }
}

const std::string kRequest = R"(FS 0xC6 "KOVIRKOVIR")";
const std::string kBack = "; @1 GS \"I\" 1 > 0x20"; // ESC/POS again: the model ID is answered
// Compound blocks 0 to n - 1, block k all k's: not answered before it is
// whole, then with `reply`.
std::string blocks(int n, const std::string& reply = "0xAA") {
    std::string script;
    for (int k = 0; k < n; ++k)
        script += "; .repeat 255 " + std::to_string(k % 256) + " > ; " + std::to_string(k % 256) +
                  " > " + reply;
    return script;
}
std::string blockFile(int n) {
    std::string file;
    for (int k = 0; k < n; ++k)
        file += "\n.repeat 256 " + std::to_string(k % 256); // a directive runs to the line end
    return file;
}

struct Case {
    std::string name;
    std::string script;
    std::string nv; // "FILE: BYTES" of every file it holds, separated by '|'
    PrinterOptions options = {};
};

std::vector<Case> cases() {
    std::vector<Case> out = {
        {"printer ID and status queries",
         R"(GS "I" 1 > 0x20; GS "I" 2 > 0x02; GS "I" 3 > 0x10; GS "I" 49 > 0x20;
            GS "I" 0x41 > 0x5F "1.00" 0; GS "I" 0x42 > 0x5F "KOVIR" 0; GS "I" 0x7F > ;
            DLE EOT 1 > 0x12; GS "r" 1 > 0)",
         ""},
        {"settings: the request and 13 of the 15 data bytes answered",
         kRequest +
             "> 0xAA; 0x5A > 0xAA; 0xA5 > 0xAA; 3 > 0xAA; 3 > 0xAA; 1 > 0xAA; 1 > 0xAA; 1 >"
             "0xAA; 0 > 0xAA; 0 > 0xAA; 2 > 0xAA; 0 > 0xAA; 1 > 0xAA; 1 > 0xAA; 0x77 0xFE >" +
             kBack,
         "flash3.bin: 0x5A 0xA5 | settings.bin: 0 3 3 1 1 1 0 0 2 0 1 1 0x77 0xFE"},
        {"request with a wrong signature: no request", R"(FS 0xC6 "KOVIRKOVIX" >)" + kBack, ""},
        {"font: silence while it programs",
         R"(FS 0xC7 "KOVIRKOVIR" > 0xAA; .repeat 32768 0x12 0x34 > ; @2999 GS "I" 1 >)" + kBack,
         "font.bin: .repeat 32768 0x12 0x34"},
        {"firmware",
         R"(FS 0xC8 "KOVIRKOVIR" > 0xAA; .repeat 49152 1 2 3 4 >)" + kBack,
         "firmware.bin: .repeat 49152 1 2 3 4",
         {.programmingTime = 0ms}},
        {"firmware without a request, once",
         R"(GS "I" 1 .repeat 65535 1 2 3 >)" + kBack,
         "firmware.bin: GS \"I\" 1 .repeat 65535 1 2 3",
         {.programmingTime = 0ms, .expectRawFirmware = true}},
        {"compound: floor(622,584 / 256) + 1 blocks", "FS 0xC9 0 4 > 0xAA" + blocks(2433) + kBack,
         "compound-4.bin:" + blockFile(2433)},
        {"compound of a language it does not know: one block", "FS 0xC9 0 0 > 0xAA" + blocks(1),
         "compound-0.bin:" + blockFile(1)},
        {"compound that stops answering, given up when the line is quiet",
         "FS 0xC9 0 1 > 0xAA" + blocks(1, "0x55") + blocks(1) + blocks(2, "") +
             "; @20001 GS \"I\" 1 > 0x20",
         "",
         {.faults = {.wrongReply = WrongReply{1, 0x55}, .stopAnsweringAtBlock = 2}}},
        {"silent: no reply, no exchange",
         kRequest + " > ; 0 0 .repeat 13 1 >",
         "",
         {.faults = {.silent = true}}},
        {"replies after the delay, in order",
         R"(GS "I" 1 GS "I" 2 > ; @299 > ; @1 > 0x20 0x02)",
         "",
         {.replyDelay = 300ms}},
        {"logo definition, and a picture of each",
         "FS \"q\" 2 1 0 1 0 0xFF .repeat 7 0x80\n2 0 2 0 .repeat 19 0\n1 .repeat 12 0\n0 0 0 >",
         "logos.bin: 2 1 0 1 0 0xFF .repeat 7 0x80\n2 0 2 0 .repeat 19 0\n1 .repeat 12 0\n|"
         "logos/logo-1.pbm: \"P4\\n8 8\\n\" 0xFF .repeat 7 0x80\n|"
         "logos/logo-2.pbm: \"P4\\n16 16\\n\" .repeat 31 0\n0x40"},
    };
    // A wrong reply at any point of the settings exchange ends it there.
    for (int k = 0; k < kSettingsReplyPoints; ++k) {
        std::string script = kRequest;
        for (int point = 1; point <= k; ++point)
            script += " > 0xAA; " + std::to_string(point);
        out.push_back({"wrong reply at point " + std::to_string(k),
                       script + " > 0" + kBack,
                       "",
                       {.faults = {.wrongReply = WrongReply{k, 0x00}}}});
    }
    return out;
}

TEST(PrinterModel, RepliesAndNvMemoryOfEachExchange) {
    for (Case& c : cases()) {
        SCOPED_TRACE(c.name);
        testing::TempFolder nv;
        c.options.nvFolder = nv.path();
        PrinterModel model(c.options);
        converse(model, c.script);
        std::set<std::string> files, names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(nv.path()))
            if (entry.is_regular_file())
                files.insert(std::filesystem::relative(entry.path(), nv.path()).generic_string());
        std::stringstream expected(c.nv);
        for (std::string file; std::getline(expected, file, '|');) {
            const auto start = file.find_first_not_of(" \n"), colon = file.find(':');
            const std::string name = *names.insert(file.substr(start, colon - start)).first;
            EXPECT_TRUE(nv.read(name) == bytes(file.substr(colon + 1))) << name << " differs";
        }
        EXPECT_EQ(files, names);
    }
}

TEST(PrinterModel, RecordsTheStreamAndKeepsItsLogosOverARestart) {
    testing::TempFolder nv;
    nv.write("logos.bin", bytes("2 1 0 1 0 .repeat 8 0x80\n2 0 1 0 .repeat 16 0x01"));
    PrinterModel model({.nvFolder = nv.path()});
    model.receive(
        bytes(R"("A" ESC 0x88 GS "V" 66 5 ESC "p" 1 25 250 GS "V" 0 FS "p" 2 0 FS "p" 3 0)"),
        TimePoint{});
    EXPECT_EQ(model.selfTests(), 1);
    ASSERT_EQ(model.cuts().size(), 2u);
    EXPECT_TRUE(model.cuts()[0].partial && model.cuts()[0].feed == 5);
    EXPECT_TRUE(!model.cuts()[1].partial && model.cuts()[1].feed == -1);
    ASSERT_EQ(model.drawerKicks().size(), 1u);
    EXPECT_TRUE(model.drawerKicks()[0].pin == 5 && model.drawerKicks()[0].onTime == 25 &&
                model.drawerKicks()[0].offTime == 250);
    ASSERT_EQ(model.logoPrints().size(), 2u);
    EXPECT_TRUE(model.logoPrints()[0].number == 2 && model.logoPrints()[0].defined);
    EXPECT_FALSE(model.logoPrints()[1].defined);
    EXPECT_EQ(model.printData(), Bytes{'A'});
    std::vector<std::uint64_t> offsets;
    for (const auto& command : model.commands())
        offsets.push_back(command.offset);
    EXPECT_EQ(offsets, (std::vector<std::uint64_t>{1, 3, 7, 12, 15, 19}));
    ASSERT_EQ(model.logos().size(),
              2u); // from the NV memory: logo 2 is 16 x 8, a line on the bottom row
    EXPECT_EQ(model.logos()[1].picture(),
              (std::vector<std::string>{"................", "................", "................",
                                        "................", "................", "................",
                                        "................", "################"}));
}

} // namespace
} // namespace ordalia::vprinter
