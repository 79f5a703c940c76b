// The printer's logic without a line, on made-up times: how it parses the
// ESC/POS stream, what it answers to each part of each exchange, the files its
// NV memory holds afterwards, and what it records. Bytes are written in the
// test page source language.

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

// The receive stream's state machine: what it makes of each command form,
// fed one byte at a time as a slow line delivers it. Each stream is followed
// by the text "Z": a command that takes a byte too few or too many shows as
// stray text or a lost "Z".
struct Transcript final : EscPosSink {
    void onPrintData(std::uint8_t byte) override { text += static_cast<char>(byte); }
    void onCommand(const EscPosCommand& command) override {
        seen += std::string(command.name()) + (command.malformed ? "! " : " ");
    }
    std::string seen, text;
};

struct Form {
    const char* stream;
    const char* seen; // the commands, "!" after one whose length field is out of range
    const char* text = "Z";
};

const Form kForms[] = {
    {R"("Hi" HT LF FF CR CAN)", "HT LF FF CR CAN ", "HiZ"},
    {R"(DLE EOT 1 DLE ENQ 2 DLE DC4 1 0 1)", "DLE EOT DLE ENQ DLE DC4 "},
    {R"(ESC FF ESC SP 1 ESC "!" 48 ESC "$" 1 2 ESC "%" 1)", "ESC FF ESC SP ESC ! ESC $ ESC % "},
    {R"(ESC "-" 1 ESC "2" ESC "3" 1 ESC "=" 1 ESC "?" 1)", "ESC - ESC 2 ESC 3 ESC = ESC ? "},
    // ESC & 3 'A' 'B': two characters of 3 x 1 and 3 x 2 bytes.
    {R"(ESC "&" 3 "AB" 1 "abc" 2 "defghi" ESC "@" ESC "D" 8 16 0)", "ESC & ESC @ ESC D "},
    // The ESC and LF in an image are data.
    {R"(ESC "*" 0 2 0 ESC LF ESC "*" 33 1 0 ESC LF GS)", "ESC * ESC * "},
    {R"(ESC "E" 1 ESC "G" 1 ESC "J" 1 ESC "L" ESC "M" 1)", "ESC E ESC G ESC J ESC L ESC M "},
    {R"(ESC "R" 1 ESC "S" ESC "T" 1 ESC "V" 1 ESC "\\" 1 2)", "ESC R ESC S ESC T ESC V ESC \\ "},
    {R"(ESC "W" 1 2 3 4 5 6 7 8 ESC "a" 1 ESC "c" 1 2 ESC "d" 1)", "ESC W ESC a ESC c ESC d "},
    {R"(ESC "e" 1 ESC "i" ESC "m" ESC "p" GS LF LF ESC "r" 1)", "ESC e ESC i ESC m ESC p ESC r "},
    {R"(ESC "t" 1 ESC "u" 1 ESC "v" ESC "{" 1 ESC 0x88)", "ESC t ESC u ESC v ESC { ESC 0x88 "},
    {R"(FS "!" 1 FS "&" FS "-" 1 FS "." FS "C" 1 FS "S" 1 2)", "FS ! FS & FS - FS . FS C FS S "},
    {R"(FS "W" 1 FS "p" 1 0 FS 0xC9 0 4 FS "(A" 2 0 48 0)", "FS W FS p FS 0xC9 FS ( "},
    // FS q 2: a 1 x 1 image of ESCs, a 2 x 1 one of LFs.
    {"FS \"q\" 2 1 0 1 0 .repeat 8 ESC\n2 0 1 0 .repeat 16 LF", "FS q "},
    {R"(FS 0xC6 "KOVIRKOVIR" FS 0xC7 "KOVIRKOVIR" FS 0xC8 "KOVIRKOVIR")",
     "FS 0xC6 FS 0xC7 FS 0xC8 "},
    {R"(GS "!" 1 GS "$" 1 2 GS "(k" 3 0 49 67 5 GS "*" 1 1 .repeat 8 ESC)", "GS ! GS $ GS ( GS * "},
    {R"(GS "/" 1 GS ":" GS "B" 1 GS "E" 1 GS "H" 1 GS "I" 1)", "GS / GS : GS B GS E GS H GS I "},
    {R"(GS "L" 1 2 GS "P" 1 2 GS "W" 1 2 GS "\\" 1 2 GS "^" 1 2 3)", "GS L GS P GS W GS \\ GS ^ "},
    {R"(GS "a" 1 GS "b" 1 GS "f" 1 GS "h" 1 GS "r" 1 GS "w" 1)", "GS a GS b GS f GS h GS r GS w "},
    // GS V: the forms that cut at once, and those that feed first.
    {R"(GS "V" 0 GS "V" 1 GS "V" 48 GS "V" 49)", "GS V GS V GS V GS V "},
    {R"(GS "V" 65 3 GS "V" 66 0 GS "V" 97 1 GS "V" 104 1)", "GS V GS V GS V GS V "},
    // GS k: NUL-ended (m 0 to 6) and counted (m 65 and up), a NUL and ESC inside.
    {R"(GS "k" 4 "12" 0 GS "k" 73 2 0 ESC GS "v0" 0 2 0 3 0 .repeat 6 ESC)", "GS k GS k GS v "},
    {R"(GS "8L" 2 0 0 0 "01")", "GS 8 "},
    {R"(ESC 0x99 "A" GS 1 FS "z")", "unknown unknown unknown ", "AZ"},
    {R"(GS "V" 7 "A" ESC "*" 5 1 0 "B" GS "k" 7)", "GS V! ESC *! GS k! ", "ABZ"},
};

TEST(EscPosParser, EachFormIsTakenWhole) {
    for (const Form& c : kForms) {
        SCOPED_TRACE(c.stream);
        Transcript transcript;
        EscPosParser parser(transcript);
        for (const std::uint8_t byte : bytes(std::string(c.stream) + "\n\"Z\""))
            parser.feed(byte);
        EXPECT_EQ(transcript.seen, c.seen);
        EXPECT_EQ(transcript.text, c.text);
    }
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

// Options as the command line sets the printer's state and identity.
PrinterOptions given(std::initializer_list<std::pair<std::string_view, std::string_view>> options) {
    PrinterOptions out;
    for (const auto& [option, value] : options) {
        EXPECT_TRUE(isPrinterStateOption(option)) << option;
        EXPECT_EQ(applyPrinterStateOption(option, value, out), std::nullopt) << option;
    }
    return out;
}

std::vector<Case> cases() {
    std::vector<Case> out = {
        {"status: paper near its end, still on line",
         "DLE EOT 1 > 0x12; DLE EOT 2 > 0x12; DLE EOT 3 > 0x12; DLE EOT 4 > 0x1E; DLE EOT 5 >", "",
         given({{"--paper", "near-end"}})},
        {"status: paper end stops the printer",
         "DLE EOT 1 > 0x1A; DLE EOT 2 > 0x32; DLE EOT 4 > 0x7E", "", given({{"--paper", "end"}})},
        {"status: an open cover stops the printer",
         "DLE EOT 1 > 0x1A; DLE EOT 2 > 0x16; DLE EOT 4 > 0x12", "", given({{"--cover", "open"}})},
        {"off line: GS I kept in the buffer, DLE EOT answered",
         "GS \"I\" 1 > ; GS \"I\" 67 > ; DLE EOT 1 > 0x1A", "", given({{"--cover", "open"}})},
        {"identity as given",
         R"(GS "I" 65 > 0x5F "2.1" 0; GS "I" 66 > 0x5F "M" 0; GS "I" 67 > 0x5F "X-58" 0;
            GS "I" 68 > 0x5F "" 0)",
         "",
         given({{"--firmware", "2.1"},
                {"--maker", "M"},
                {"--model-name", "X-58"},
                {"--serial", ""}})},
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
        {"firmware", R"(FS 0xC8 "KOVIRKOVIR" > 0xAA; .repeat 49152 1 2 3 4 >)" + kBack,
         "firmware.bin: .repeat 49152 1 2 3 4", PrinterOptions{.programmingTime = 0ms}},
        {"firmware without a request, once", R"(GS "I" 1 .repeat 65535 1 2 3 >)" + kBack,
         "firmware.bin: GS \"I\" 1 .repeat 65535 1 2 3",
         PrinterOptions{.programmingTime = 0ms, .expectRawFirmware = true}},
        {"compound: floor(622,584 / 256) + 1 blocks", "FS 0xC9 0 4 > 0xAA" + blocks(2433) + kBack,
         "compound-4.bin:" + blockFile(2433)},
        {"compound of a language it does not know: one block", "FS 0xC9 0 0 > 0xAA" + blocks(1),
         "compound-0.bin:" + blockFile(1)},
        {"compound that stops answering, given up when the line is quiet",
         "FS 0xC9 0 1 > 0xAA" + blocks(1, "0x55") + blocks(1) + blocks(2, "") +
             "; @20001 GS \"I\" 1 > 0x20",
         "",
         PrinterOptions{.faults = {.wrongReply = WrongReply{1, 0x55}, .stopAnsweringAtBlock = 2}}},
        {"silent: no reply, no exchange", kRequest + " > ; 0 0 .repeat 13 1 >", "",
         PrinterOptions{.faults = {.silent = true}}},
        {"replies after the delay, in order", R"(GS "I" 1 GS "I" 2 > ; @299 > ; @1 > 0x20 0x02)",
         "", PrinterOptions{.replyDelay = 300ms}},
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
        out.push_back({"wrong reply at point " + std::to_string(k), script + " > 0" + kBack, "",
                       PrinterOptions{.faults = {.wrongReply = WrongReply{k, 0x00}}}});
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
    EXPECT_THAT(model.log(),
                ::testing::ElementsAre("NV memory holds 2 logo(s)", "self-test page (ESC 0x88)",
                                       "text: \"A\"", "partial cut (GS V 66 5)",
                                       "drawer kick on pin 5, 50 ms on, 500 ms off",
                                       "full cut (GS V 0)", "logo 2 printed (16 x 8 dots, mode 0)",
                                       "logo 3 is not defined: nothing printed"));
    EXPECT_EQ(model.logos().at(1).picture()[7], "################"); // logo 2: the bottom row
}

// GS ( L's NV graphics: the answers as they are defined, listed and deleted,
// the log, and the store kept over a restart.
TEST(PrinterModel, NvGraphicsAnswersAndSurvivesARestart) {
    testing::TempFolder nv;
    const std::string list = R"(GS "(L" 4 0 48 64 "KC" > 0x37 0x72 0x40 )";
    {
        PrinterModel model({.nvFolder = nv.path()});
        converse(model, R"(GS "(L" 2 0 48 48 > 0x37 0x30 "393216" 0; )" + list + "0;" +
                            R"(GS "(L" 12 0 48 67 48 "G1" 1 8 0 1 0 49 0x81 GS "8L" 2 0 0 0 48 51
                                > 0x37 0x31 "393215" 0;
                               GS "(L" 13 0 48 67 48 "H2" 1 16 0 1 0 50 0 0 > ;)" +
                            list + R"("G1H2" 0; GS "(L" 4 0 48 66 "G1" > ;
                               GS "(L" 12 0 48 67 48 "G1" 1 8 0 2 0 49 0xFF > ;)" +
                            list + R"("H2" 0;
                               GS "8L" 0x0B 0x40 6 0 48 67 48 "Z9" 1 0 0x20 0x90 1 49
                               .repeat 51200 0 0 0 0 0 0 0 0
                               >)");
        EXPECT_THAT(model.log(),
                    ::testing::ElementsAre(
                        "NV graphics \"G1\" defined (8 x 1 dots)",
                        "NV graphics \"H2\" defined (16 x 1 dots)", "NV graphics \"G1\" deleted",
                        "NV graphics \"G1\": 8 x 2 dots do not match the data sent, ignored",
                        "NV graphics \"Z9\": 409600 bytes do not fit in the 393214 left, ignored"));
        EXPECT_TRUE(std::filesystem::exists(nv.path() / "graphics" / "48-32.png"));
    }
    PrinterModel restarted({.nvFolder = nv.path()});
    converse(restarted, list + R"("H2" 0; GS "(L" 5 0 48 65 "CLR" > ;)" + list + "0");
    EXPECT_THAT(restarted.log(), ::testing::ElementsAre("NV memory holds 1 NV graphics",
                                                        "NV graphics: all 1 deleted"));
    EXPECT_FALSE(decodeGraphics(Bytes{'G', '1', 8, 0, 1, 0})); // no data
}

} // namespace
} // namespace ordalia::vprinter
