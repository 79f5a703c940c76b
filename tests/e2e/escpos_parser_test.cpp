// The receive stream's state machine: what it makes of each command form.
// Every stream is fed one byte at a time, as a slow line delivers it, and
// ends in the text "Z": a command that takes a byte too few or too many shows
// as stray text or a swallowed "Z".

#include "escpos_parser.h"

#include <gtest/gtest.h>

namespace ordalia::vprinter {
namespace {

// What the parser saw, in order: command names ("!" after a malformed one)
// and the print data between them in quotes.
class Transcript final : public EscPosSink {
public:
    void onPrintData(std::uint8_t byte) override {
        if (m_text.empty() || m_text.back() != '"')
            m_text += m_text.empty() ? "\"" : " \"";
        else
            m_text.pop_back();
        m_text += static_cast<char>(byte);
        m_text += '"';
    }
    void onCommand(const EscPosCommand& command) override {
        m_text += (m_text.empty() ? "" : " ") + std::string(command.name());
        m_text += command.malformed ? "!" : "";
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

struct Case {
    std::vector<std::uint8_t> stream;
    std::string seen;
};

const Case kCases[] = {
    {{'H', 'i', 0x09, 0x0A, 0x0C, 0x0D, 0x18}, R"("Hi" HT LF FF CR CAN "Z")"},
    {{0x10, 0x04, 1, 0x10, 0x05, 2, 0x10, 0x14, 1, 0, 1}, R"(DLE EOT DLE ENQ DLE DC4 "Z")"},
    {{0x1B, 0x0C, 0x1B, ' ', 'a', 0x1B, '!', '0', 0x1B, '$', 'a', 'b', 0x1B, '%', 'a'},
     R"(ESC FF ESC SP ESC ! ESC $ ESC % "Z")"},
    // ESC & 3 'A' 'B': two characters of 3 x 1 and 3 x 2 bytes.
    {{0x1B, '&', 3, 'A', 'B', 1, 'a', 'b', 'c', 2, 'd', 'e', 'f', 'g', 'h', 'i'}, R"(ESC & "Z")"},
    // The ESC and LF in the data of ESC * are data.
    {{0x1B, '*', 0, 2, 0, 0x1B, 0x0A, 0x1B, '*', 33, 1, 0, 0x1B, 0x0A, 0x1D}, R"(ESC * ESC * "Z")"},
    {{0x1B, '-', 'a', 0x1B, '2', 0x1B, '3', 'a', 0x1B, '=', 'a', 0x1B, '?', 'a', 0x1B, '@'},
     R"(ESC - ESC 2 ESC 3 ESC = ESC ? ESC @ "Z")"},
    {{0x1B, 'D', 'a', 'b', 0, 0x1B, 'E', 'a', 0x1B, 'G', 'a', 0x1B, 'J', 'a', 0x1B, 'L'},
     R"(ESC D ESC E ESC G ESC J ESC L "Z")"},
    {{0x1B, 'M', 'a', 0x1B, 'R', 'a', 0x1B, 'S', 0x1B, 'T', 'a', 0x1B, 'V', 'a', 0x1B, '\\', 'a',
      'b'},
     R"(ESC M ESC R ESC S ESC T ESC V ESC \ "Z")"},
    {{0x1B, 'W', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x1B, 'a', 'a', 0x1B, 'c', 'a', 'b'},
     R"(ESC W ESC a ESC c "Z")"},
    {{0x1B, 'd', 'a', 0x1B, 'e', 'a', 0x1B, 'i', 0x1B, 'm', 0x1B, 'p', 0x1D, 0x0A, 0x0A},
     R"(ESC d ESC e ESC i ESC m ESC p "Z")"},
    {{0x1B, 'r', 'a', 0x1B, 't', 'a', 0x1B, 'u', 'a', 0x1B, 'v', 0x1B, '{', 'a', 0x1B, 0x88},
     R"(ESC r ESC t ESC u ESC v ESC { ESC 0x88 "Z")"},
    {{0x1C, '!', 'a', 0x1C, '&', 0x1C, '-', 'a', 0x1C, '.', 0x1C, 'C', 'a', 0x1C, 'S', 'a', 'b'},
     R"(FS ! FS & FS - FS . FS C FS S "Z")"},
    {{0x1C, 'W', 'a', 0x1C, 'p', 1, 0}, R"(FS W FS p "Z")"},
    // FS q 2: a 1 x 1 image whose data looks like ESC, a 2 x 1 one of LFs.
    {{0x1C, 'q',  2,    1,    0,    1,    0,    0x1B, 0x1B, 0x1B, 0x1B, 0x1B,
      0x1B, 0x1B, 0x1B, 2,    0,    1,    0,    0x0A, 0x0A, 0x0A, 0x0A, 0x0A,
      0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A},
     R"(FS q "Z")"},
    {{0x1C, 0xC6, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R', 0x1C, 0xC9, 0x00, 0x04},
     R"(FS 0xC6 FS 0xC9 "Z")"},
    {{0x1C, 0xC7, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R',
      0x1C, 0xC8, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'},
     R"(FS 0xC7 FS 0xC8 "Z")"},
    {{0x1D, '!', 'a', 0x1D, '$', 'a', 'b', 0x1D, '(', 'k', 3, 0, 49, 67, 5},
     R"(GS ! GS $ GS ( "Z")"},
    {{0x1D, '*', 1, 1, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1D, '/', 'a', 0x1D, ':'},
     R"(GS * GS / GS : "Z")"},
    {{0x1D, 'B', 'a', 0x1D, 'E', 'a', 0x1D, 'H', 'a', 0x1D, 'I', 'a', 0x1D, 'L', 'a', 'b'},
     R"(GS B GS E GS H GS I GS L "Z")"},
    {{0x1D, 'P', 'a', 'b', 0x1D, 'W', 'a', 'b', 0x1D, '\\', 'a', 'b', 0x1D, '^', 'a', 'b', 'c'},
     R"(GS P GS W GS \ GS ^ "Z")"},
    {{0x1D, 'a', 'a', 0x1D, 'b', 'a', 0x1D, 'f', 'a', 0x1D, 'h', 'a', 0x1D, 'r', 'a', 0x1D, 'w',
      'a'},
     R"(GS a GS b GS f GS h GS r GS w "Z")"},
    // GS V: the forms that cut at once, and those that feed first.
    {{0x1D, 'V', 0, 0x1D, 'V', 1, 0x1D, 'V', 48, 0x1D, 'V', 49, 0x1D, 'V', 65, 3, 0x1D, 'V', 66, 0},
     R"(GS V GS V GS V GS V GS V GS V "Z")"},
    {{0x1D, 'V', 97, 1, 0x1D, 'V', 98, 1, 0x1D, 'V', 103, 1, 0x1D, 'V', 104, 1},
     R"(GS V GS V GS V GS V "Z")"},
    // GS k: NUL-ended (m 0 to 6) and counted (m 65 and up, a NUL and ESC inside).
    {{0x1D, 'k', 4, '1', '2', 0x00, 0x1D, 'k', 73, 2, 0x00, 0x1B}, R"(GS k GS k "Z")"},
    // GS v 0: 2 bytes a row, 3 rows.
    {{0x1D, 'v', '0', 0, 2, 0, 3, 0, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B}, R"(GS v "Z")"},
    {{0x1D, '8', 'L', 2, 0, 0, 0, '0', '1'}, R"(GS 8 "Z")"},
    // Unknown pairs are reported and the stream goes on.
    {{0x1B, 0x99, 'A', 0x1D, 0x01, 0x1C, 'z'}, R"(unknown "A" unknown unknown "Z")"},
    // A length out of range ends the command there, malformed.
    {{0x1D, 'V', 7, 'A', 0x1B, '*', 5, 1, 0, 'B', 0x1D, 'k', 7},
     R"(GS V! "A" ESC *! "B" GS k! "Z")"},
};

TEST(EscPosParser, EachFormIsTakenWhole) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.seen);
        Transcript transcript;
        EscPosParser parser(transcript);
        for (const std::uint8_t byte : c.stream)
            parser.feed(byte);
        parser.feed('Z');
        EXPECT_EQ(transcript.text(), c.seen);
    }
}

TEST(EscPosParser, ResetForgetsAHalfCommand) {
    Transcript transcript;
    EscPosParser parser(transcript);
    parser.feed(std::vector<std::uint8_t>{0x1B, 'p', 0});
    EXPECT_TRUE(parser.inCommand());
    parser.reset();
    parser.feed('Z');
    EXPECT_EQ(transcript.text(), "\"Z\"");
}

} // namespace
} // namespace ordalia::vprinter
