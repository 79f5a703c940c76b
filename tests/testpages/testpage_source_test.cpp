#include "testpage_pictures.h"
#include "testpage_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

namespace ordalia::testpages {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::vector<std::uint8_t> bytesOf(std::string_view source) {
    const Assembly assembly = assemble(source);
    for (const auto& error : assembly.errors)
        ADD_FAILURE() << describeError("source", error);
    return assembly.bytes;
}

std::vector<std::uint8_t> textBytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// The one error of a one-line source.
std::string errorOf(std::string_view line) {
    const Assembly assembly = assemble(line);
    EXPECT_THAT(assembly.bytes, IsEmpty());
    if (assembly.errors.size() != 1) {
        ADD_FAILURE() << assembly.errors.size() << " errors for: " << line;
        return {};
    }
    EXPECT_EQ(assembly.errors[0].line, 1);
    return assembly.errors[0].message;
}

TEST(TestPageSource, ControlCodeNames) {
    std::vector<std::uint8_t> controls(32);
    std::iota(controls.begin(), controls.end(), 0);
    EXPECT_THAT(bytesOf("NUL SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI\n"
                        "DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN EM SUB ESC FS GS RS US\n"),
                ElementsAreArray(controls));
    EXPECT_THAT(bytesOf("SP DEL"), ElementsAre(0x20, 0x7F));
    EXPECT_THAT(bytesOf("ESC \"@\" GS \"V\" 66 0"),
                ElementsAre(0x1B /*ESC*/, '@', 0x1D /*GS*/, 'V', 66, 0));
}

TEST(TestPageSource, DecimalAndHexadecimalBytes) {
    EXPECT_THAT(bytesOf("0 255 27 0x00 0xff 0XFe 0x1B 007"),
                ElementsAre(0, 255, 27, 0, 255, 254, 0x1B, 7));
}

TEST(TestPageSource, StringsAndTheirEscapes) {
    EXPECT_THAT(bytesOf(R"("a\\b\"c\n\r\t\0\x7F\xfe" "")"),
                ElementsAre('a', '\\', 'b', '"', 'c', '\n', '\r', '\t', 0, 0x7F, 0xFE));
    EXPECT_THAT(bytesOf(R"("# is no comment here" # but here "x")"),
                ElementsAreArray(textBytes("# is no comment here")));
    EXPECT_THAT(bytesOf("\"  two  blanks  \""), ElementsAreArray(textBytes("  two  blanks  ")));
}

TEST(TestPageSource, CommentsBlankLinesAndLineEnds) {
    EXPECT_THAT(bytesOf(""), IsEmpty());
    EXPECT_THAT(bytesOf("# only a comment\n\n   \n\t# indented\n"), IsEmpty());
    EXPECT_THAT(bytesOf("ESC \"@\"\r\n\r\nLF\t# tab before the comment\r\nCR"),
                ElementsAre(0x1B /*ESC*/, '@', 0x0A /*LF*/, 0x0D /*CR*/));
    EXPECT_THAT(bytesOf("LF#comment straight after"), ElementsAre(0x0A));
}

TEST(TestPageSource, FaultsOfOneLine) {
    EXPECT_EQ(errorOf("256"), "number 256 does not fit in a byte (0 to 255)");
    EXPECT_EQ(errorOf("0x100"), "number 0x100 does not fit in a byte (0 to 255)");
    EXPECT_EQ(errorOf("99999999999999999999"), "number 99999999999999999999 is too large");
    EXPECT_EQ(errorOf("12ab"), "'12ab' is not a number");
    EXPECT_EQ(errorOf("0x"), "'0x' is not a number");
    EXPECT_EQ(errorOf("0xZZ"), "'0xZZ' is not a hexadecimal number");
    EXPECT_EQ(errorOf("-1"), "unknown word '-1'");
    EXPECT_EQ(errorOf("esc"), "unknown word 'esc' (control code names are upper case)");
    EXPECT_EQ(errorOf("ESCAPE"), "unknown word 'ESCAPE'");
    EXPECT_EQ(errorOf("\"open"), "unterminated string");
    EXPECT_EQ(errorOf("\"ends in a backslash\\"), "unterminated string");
    EXPECT_EQ(errorOf(R"("\q")"), "unknown escape \\q in a string");
    EXPECT_EQ(errorOf(R"("\x4")"), "\\x needs two hexadecimal digits");
    EXPECT_EQ(errorOf("\"caf\xC3\xA9\""), "byte 0xC3 in a string; write it as \\xC3");
    EXPECT_EQ(errorOf("\"tab\tinside\""), "byte 0x09 in a string; write it as \\x09");
    EXPECT_EQ(errorOf("LF \xC3\xA9"),
              "unexpected byte 0xC3; outside strings a source holds plain ASCII only");
    EXPECT_EQ(errorOf("ESC\"@\""), "a blank must come before the string");
    EXPECT_EQ(errorOf("\"@\"ESC"), "a blank must follow the string");
    EXPECT_EQ(errorOf(".bogus 1"), "unknown directive '.bogus'");
}

TEST(TestPageSource, EveryFaultyLineIsReportedWithItsNumberAndNoBytesRemain) {
    const Assembly assembly = assemble("ESC \"@\"   # fine\n"
                                       "\"Total\" 300\n"
                                       "LF\n"
                                       "Esc \"!\" 0\r\n"
                                       ".chart 9 C\n"
                                       "\"fine again\" LF\n");
    EXPECT_THAT(assembly.bytes, IsEmpty());
    ASSERT_EQ(assembly.errors.size(), 3u);
    EXPECT_EQ(assembly.errors[0].line, 2);
    EXPECT_EQ(assembly.errors[1].line, 4);
    EXPECT_EQ(assembly.errors[2].line, 5);
    EXPECT_EQ(describeError("pages/rec1.p.src", assembly.errors[0]),
              "pages/rec1.p.src:2: number 300 does not fit in a byte (0 to 255)");
    EXPECT_EQ(describeError("pages/rec1.p.src", assembly.errors[1]),
              "pages/rec1.p.src:4: unknown word 'Esc' (control code names are upper case)");
    EXPECT_EQ(describeError("pages/rec1.p.src", assembly.errors[2]),
              "pages/rec1.p.src:5: usage: .chart TABLE FONT (TABLE 0 to 255, FONT A or B)");
}

TEST(TestPageSource, ReportingStopsAfterTwentyFaults) {
    std::string source;
    for (int i = 0; i < 50; ++i)
        source += "BAD\n";
    const Assembly assembly = assemble(source);
    ASSERT_EQ(assembly.errors.size(), 20u);
    EXPECT_EQ(assembly.errors.back().line, 20);
}

TEST(TestPageDirectives, ColumnsAlignTheRightTextOnTheEdge) {
    EXPECT_THAT(bytesOf(R"(.columns 12 "Milk" "1.09")"),
                ElementsAreArray(textBytes("Milk    1.09\n")));
    EXPECT_THAT(bytesOf(R"(.columns 6 "ab" "\x9Cde")"), ElementsAreArray(textBytes("ab \x9C"
                                                                                   "de\n")));
    EXPECT_EQ(errorOf(R"(.columns 8 "Coffee" "7.99")"),
              "\"Coffee\" and \"7.99\" do not fit in 8 columns with a blank between");
    EXPECT_EQ(errorOf(R"(.columns 48 "only one")"), "usage: .columns WIDTH \"left\" \"right\"");
    EXPECT_EQ(errorOf(R"(.columns 48 LF "x")"), "usage: .columns WIDTH \"left\" \"right\"");
    EXPECT_EQ(errorOf(R"(.columns 0 "a" "b")"),
              ".columns WIDTH must be a number from 1 to 255, not '0'");
}

TEST(TestPageDirectives, RepeatAfterOtherItems) {
    EXPECT_THAT(bytesOf(R"(ESC "a" 1 .repeat 3 "-=" LF)"),
                ElementsAre(0x1B /*ESC*/, 'a', 1, '-', '=', 0x0A, '-', '=', 0x0A, '-', '=', 0x0A));
    EXPECT_EQ(errorOf(R"(.repeat 0 "-")"),
              ".repeat COUNT must be a number from 1 to 65535, not '0'");
    EXPECT_EQ(errorOf(R"(.repeat "-" 3)"),
              ".repeat COUNT must be a number from 1 to 65535, not a string");
    EXPECT_EQ(errorOf(".repeat 4"), "usage: .repeat COUNT items...");
    EXPECT_EQ(errorOf(".repeat 2 .chart 0 A"), ".chart cannot stand inside .repeat");
    EXPECT_EQ(errorOf(".repeat 2 FOO"), "unknown word 'FOO'");
}

TEST(TestPageDirectives, CountedPutsTheLengthFirst) {
    EXPECT_THAT(bytesOf(R"(GS "k" 73 .counted "{C" 12 34)"),
                ElementsAre(0x1D /*GS*/, 'k', 73 /*CODE128*/, 4 /*n*/, '{', 'C', 12, 34));
    std::string big = ".counted \"" + std::string(255, 'x') + "\"";
    EXPECT_EQ(bytesOf(big).size(), 256u);
    EXPECT_EQ(bytesOf(big)[0], 255);
    big = ".counted \"" + std::string(256, 'x') + "\"";
    EXPECT_EQ(errorOf(big), ".counted holds 256 bytes; a count byte reaches 255");
    EXPECT_EQ(errorOf(".counted"), "usage: .counted items...");
    EXPECT_EQ(errorOf(".counted \"\""), "usage: .counted items...");
    EXPECT_EQ(errorOf(".counted \"1\" .repeat 2 \"x\""), ".repeat cannot stand inside .counted");
}

TEST(TestPageDirectives, ChartAndRasterAreTheGeneratedBytes) {
    EXPECT_EQ(bytesOf(".chart 5 B"), codePageChart(5, ChartFont::B));
    EXPECT_EQ(bytesOf("  .chart 0x00 A   # Font A"), codePageChart(0, ChartFont::A));
    EXPECT_EQ(bytesOf(".raster 64 64"), rasterCommand(drawTestPicture(64, 64)));

    EXPECT_EQ(errorOf(".chart 256 A"), ".chart TABLE must be a number from 0 to 255, not '256'");
    EXPECT_EQ(errorOf(".chart 1 a"), "usage: .chart TABLE FONT (TABLE 0 to 255, FONT A or B)");
    EXPECT_EQ(errorOf(".chart 1"), "usage: .chart TABLE FONT (TABLE 0 to 255, FONT A or B)");
    EXPECT_EQ(errorOf(".chart 1 A LF"), "usage: .chart TABLE FONT (TABLE 0 to 255, FONT A or B)");
    EXPECT_EQ(errorOf(".raster 100 64"), ".raster WIDTH must be a multiple of 8, not 100");
    EXPECT_EQ(errorOf(".raster 2048 64"),
              ".raster WIDTH must be a number from 64 to 2040, not '2048'");
    EXPECT_EQ(errorOf(".raster 576 63"),
              ".raster HEIGHT must be a number from 64 to 2303, not '63'");
    EXPECT_EQ(errorOf(".raster 576"), "usage: .raster WIDTH HEIGHT");
}

TEST(TestPageDirectives, APageReachesTheLongestFileTheProgramSendsAndNoFurther) {
    // 65535 x 10 = 655,350 bytes, one short of the limit.
    const std::string full = ".repeat 65535 \"0123456789\"\n";
    EXPECT_EQ(assemble(full + "\"A\"").bytes.size(), kMaxPageSize);

    const Assembly over = assemble(full + "\"AB\"\n\"C\"\nFOO\n");
    EXPECT_THAT(over.bytes, IsEmpty());
    ASSERT_EQ(over.errors.size(), 1u); // nothing after it is worth reporting
    EXPECT_EQ(over.errors[0].line, 2);
    EXPECT_EQ(over.errors[0].message,
              "the page grows past 655351 bytes, the longest test page the program sends");

    EXPECT_EQ(assemble(".repeat 65535 \"0123456789AB\"").errors.at(0).message,
              "the page grows past 655351 bytes, the longest test page the program sends");
}

} // namespace
} // namespace ordalia::testpages
