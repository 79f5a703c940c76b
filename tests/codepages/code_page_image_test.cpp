#include "codepages/code_page_font.h"
#include "codepages/code_page_image.h"
#include "codepages_fixture.h"
#include "support/harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace ordalia::testing;

std::string bytesAt(const CodePageImage& image, std::size_t offset, std::size_t length) {
    return std::string(image.begin() + static_cast<std::ptrdiff_t>(offset),
                       image.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

std::string blanks(std::size_t n) {
    return std::string(n, ' ');
}

bool allZero(const CodePageImage& image, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i <= to; ++i)
        if (image[i] != 0)
            return false;
    return true;
}

class CodePageImageTest : public CodePagesFixture {};

TEST_F(CodePageImageTest, FontRegionsStartAndEndOnTheRightCharacters) {
    const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    const CodePageImage& image = build.image;

    // Slot 0, Font A: all 256 characters, each row low byte first.
    EXPECT_EQ(image[0x0000], patternA(0, 0) & 0xFF);
    EXPECT_EQ(image[0x0001], patternA(0, 0) >> 8);
    EXPECT_EQ(image[0x2FFE], patternA(0, 6143) & 0xFF);
    EXPECT_EQ(image[0x2FFF], patternA(0, 6143) >> 8);
    // Slots 1 to 5, Font A: characters 0x80 to 0xFF (lines 3,072 to 6,143).
    for (std::size_t i = 1; i < 6; ++i) {
        const std::size_t start = 0x3000 + (i - 1) * 0x1800;
        EXPECT_EQ(image[start], patternA(i, 3072) & 0xFF) << i;
        EXPECT_EQ(image[start + 1], patternA(i, 3072) >> 8) << i;
        EXPECT_EQ(image[start + 0x17FE], patternA(i, 6143) & 0xFF) << i;
        EXPECT_EQ(image[start + 0x17FF], patternA(i, 6143) >> 8) << i;
    }
    EXPECT_TRUE(allZero(image, 0xA800, 0xAFFF));

    // Font B: slot 0 whole, then the upper halves.
    EXPECT_EQ(image[0xB000], patternB(0, 0));
    EXPECT_EQ(image[0xC0FF], patternB(0, 4351));
    for (std::size_t i = 1; i < 6; ++i) {
        const std::size_t start = 0xC100 + (i - 1) * 0x880;
        EXPECT_EQ(image[start], patternB(i, 2176)) << i;
        EXPECT_EQ(image[start + 0x87F], patternB(i, 4351)) << i;
    }
    EXPECT_TRUE(allZero(image, 0xEB80, 0xEFFF));
}

TEST_F(CodePageImageTest, EveryFontByteComesFromItsSlotAndLine) {
    const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    for (std::size_t k = 0; k < 6144; ++k) {
        ASSERT_EQ(build.image[2 * k], patternA(0, k) & 0xFF);
        ASSERT_EQ(build.image[2 * k + 1], patternA(0, k) >> 8);
    }
    for (std::size_t i = 1; i < 6; ++i)
        for (std::size_t k = 3072; k < 6144; ++k)
            ASSERT_EQ(build.image[0x3000 + (i - 1) * 0x1800 + 2 * (k - 3072) + 1],
                      patternA(i, k) >> 8);
    for (std::size_t i = 1; i < 6; ++i)
        for (std::size_t k = 2176; k < 4352; ++k)
            ASSERT_EQ(build.image[0xC100 + (i - 1) * 0x880 + (k - 2176)], patternB(i, k));
}

// The image as the layout table describes it, written region by region and
// independently of the build, so every byte of the build is checked.
CodePageImage expectedImage(const CodePageSlots& slots, const std::array<std::uint8_t, 6>& numbers,
                            const std::string& model) {
    CodePageImage image{};
    const auto text = [&](std::size_t at, const std::string& bytes) {
        std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    };
    for (std::size_t k = 0; k < 6144; ++k) { // slot 0, Font A: 0x0000-0x2FFF
        image[2 * k] = patternA(0, k) & 0xFF;
        image[2 * k + 1] = patternA(0, k) >> 8;
    }
    for (std::size_t i = 1; i < 6; ++i) // slots 1-5, Font A upper halves: 0x3000-0xA7FF
        for (std::size_t k = 0; k < 3072; ++k) {
            image[0x3000 + (i - 1) * 0x1800 + 2 * k] = patternA(i, 3072 + k) & 0xFF;
            image[0x3000 + (i - 1) * 0x1800 + 2 * k + 1] = patternA(i, 3072 + k) >> 8;
        }
    for (std::size_t k = 0; k < 4352; ++k) // slot 0, Font B: 0xB000-0xC0FF
        image[0xB000 + k] = patternB(0, k);
    for (std::size_t i = 1; i < 6; ++i) // slots 1-5, Font B upper halves: 0xC100-0xEB7F
        for (std::size_t k = 0; k < 2176; ++k)
            image[0xC100 + (i - 1) * 0x880 + k] = patternB(i, 2176 + k);
    for (std::size_t i = 0; i < 6; ++i) {
        std::string row = "    CodePage" + std::to_string(i) + " : " + slots.Text_CP[i];
        row.resize(30, ' ');
        text(0xF000 + 32 * i, row);
        image[0xF0C0 + i] = numbers[i];
    }
    std::string field = model.substr(0, std::min<std::size_t>(model.size(), 15));
    field.resize(15, ' ');
    text(0xFC00, "   " + field + " SELF-TEST   ");
    text(0xFC20, "         " + field + " SELF-TEST ");
    text(0xFFF0, "Kovir Technology");
    return image;
}

TEST_F(CodePageImageTest, WholeImageMatchesTheLayoutByteForByte) {
    slots.Pos_CP = {"0", "32", "7", "200", "19.5", "255"};
    slots.model_name = "RT-80";
    const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    const CodePageImage expected = expectedImage(slots, {0, 32, 7, 200, 20, 255}, "RT-80");
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(build.image[i], expected[i]) << "at offset 0x" << std::hex << i;
    // The bytes on each side of every region boundary, spelled out.
    EXPECT_EQ(build.image[0x2FFF], patternA(0, 6143) >> 8);   // last byte of slot 0's Font A
    EXPECT_EQ(build.image[0x3000], patternA(1, 3072) & 0xFF); // slot 1, character 0x80, row 0
    EXPECT_EQ(build.image[0xA7FF], patternA(5, 6143) >> 8);   // slot 5's last Font A byte
    EXPECT_EQ(build.image[0xA800], 0);                        // gap
    EXPECT_EQ(build.image[0xAFFF], 0);
    EXPECT_EQ(build.image[0xB000], patternB(0, 0));
    EXPECT_EQ(build.image[0xC0FF], patternB(0, 4351));
    EXPECT_EQ(build.image[0xC100], patternB(1, 2176));
    EXPECT_EQ(build.image[0xEB7F], patternB(5, 4351));
    EXPECT_EQ(build.image[0xEB80], 0);
    EXPECT_EQ(build.image[0xEFFF], 0);
    EXPECT_EQ(build.image[0xF000], ' ');
    EXPECT_EQ(build.image[0xF01D], ' '); // row 0, byte 30 of 30
    EXPECT_EQ(build.image[0xF01E], 0);   // the two unused bytes of the row
    EXPECT_EQ(build.image[0xF01F], 0);
    EXPECT_EQ(build.image[0xF0BF], 0); // end of row 5
    EXPECT_EQ(build.image[0xF0C0], 0); // table numbers
    EXPECT_EQ(build.image[0xF0C5], 255);
    EXPECT_EQ(build.image[0xF0C6], 0);
    EXPECT_EQ(build.image[0xFBFF], 0);
    EXPECT_EQ(build.image[0xFC00], ' ');
    EXPECT_EQ(build.image[0xFC03], 'R');
    EXPECT_EQ(build.image[0xFC1E], ' ');
    EXPECT_EQ(build.image[0xFC1F], 0);
    EXPECT_EQ(build.image[0xFC29], 'R');
    EXPECT_EQ(build.image[0xFC42], ' ');
    EXPECT_EQ(build.image[0xFC43], 0);
    EXPECT_EQ(build.image[0xFFEF], 0);
    EXPECT_EQ(build.image[0xFFF0], 'K');
    EXPECT_EQ(build.image[0xFFFF], 'y');
}

TEST_F(CodePageImageTest, NameRowsNumbersAndMakerText) {
    slots.Text_CP[1] = "fourteen_chars"; // exactly fills its row
    slots.Text_CP[2] = "a_name_longer_than_fourteen";
    slots.Pos_CP = {"0", "7", "255", "3.5", "2.5", "12"};
    writeFonts();
    const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    const CodePageImage& image = build.image;

    const std::string zeros(2, '\0');
    EXPECT_EQ(bytesAt(image, 0xF000, 32), "    CodePage0 : PC437" + blanks(9) + zeros);
    EXPECT_EQ(bytesAt(image, 0xF020, 32), "    CodePage1 : fourteen_chars" + zeros);
    EXPECT_EQ(bytesAt(image, 0xF040, 32), "    CodePage2 : a_name_longer_" + zeros);
    EXPECT_EQ(bytesAt(image, 0xF0A0, 32), "    CodePage5 : PC865" + blanks(9) + zeros);
    EXPECT_EQ(bytesAt(image, 0xF0C0, 6), std::string("\x00\x07\xFF\x04\x02\x0C", 6));
    EXPECT_TRUE(allZero(image, 0xF0C6, 0xFBFF));
    EXPECT_EQ(image[0xFC1F], 0);
    EXPECT_TRUE(allZero(image, 0xFC43, 0xFFEF));
    EXPECT_EQ(bytesAt(image, 0xFFF0, 16), "Kovir Technology");
}

TEST_F(CodePageImageTest, HeadingLinesCarryTheModelNameField) {
    const auto headings = [&](const std::string& model) {
        slots.model_name = model;
        const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
        EXPECT_EQ(build.outcome, Outcome::Done) << build.message;
        return std::make_pair(bytesAt(build.image, 0xFC00, 32), bytesAt(build.image, 0xFC20, 36));
    };
    const std::string zero(1, '\0');
    // From 0xFC00: three blanks, the field, a blank, SELF-TEST, three blanks, 0.
    // From 0xFC20: nine blanks, the field, a blank, SELF-TEST, a blank, 0.
    auto [first, second] = headings("T80");
    EXPECT_EQ(first, blanks(3) + "T80" + blanks(12) + " SELF-TEST" + blanks(3) + zero);
    EXPECT_EQ(second, blanks(9) + "T80" + blanks(12) + " SELF-TEST " + zero);

    std::tie(first, second) = headings("");
    EXPECT_EQ(first, blanks(3) + blanks(15) + " SELF-TEST" + blanks(3) + zero);
    EXPECT_EQ(second, blanks(9) + blanks(15) + " SELF-TEST " + zero);

    std::tie(first, second) = headings("ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(first, blanks(3) + "ABCDEFGHIJKLMNO SELF-TEST" + blanks(3) + zero);
    EXPECT_EQ(second, blanks(9) + "ABCDEFGHIJKLMNO SELF-TEST " + zero);
}

TEST_F(CodePageImageTest, CharactersWithoutASingleByteCodeBecomeQuestionMarks) {
    EXPECT_EQ(singleByteText("Caf\xC3\xA9 \xE3\x82\xAB!"), "Caf? ?!");
    EXPECT_EQ(singleByteText("a\tb\xFF\x80"), "a?b??");
    EXPECT_EQ(modelNameField("\xE2\x82\xAC"
                             "80"),
              "?80" + blanks(12));
    EXPECT_EQ(nameRow(3, "PC\xC3\xBC"), "    CodePage3 : PC?" + blanks(11));
}

TEST_F(CodePageImageTest, TestFileHoldsTheWholeImage) {
    // A longer leftover file must not keep bytes past the image.
    h.folder.write("Codepage Table/test", std::vector<std::uint8_t>(70000, 0x55));
    const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    const auto test = h.folder.read("Codepage Table/test");
    ASSERT_EQ(test.size(), 65536u);
    EXPECT_TRUE(std::equal(test.begin(), test.end(), build.image.begin()));
}

TEST_F(CodePageImageTest, ExtensionInAnotherCaseIsFound) {
    std::filesystem::rename(h.folder.path() / "Codepage Table" / "PC860.CP",
                            h.folder.path() / "Codepage Table" / "PC860.cp");
    EXPECT_EQ(buildCodePageImage(h.folder.path(), slots).outcome, Outcome::Done);
}

TEST_F(CodePageImageTest, TailMatchesTheGoldenFile) {
    // Regenerate after a deliberate layout change with
    //   ORDALIA_WRITE_GOLDEN=1 build/tests/codepages_image_test --gtest_filter='*Golden*'
    slots.model_name = "KV-80 Printer";
    slots.Text_CP[4] = "fourteen_chars";
    slots.Pos_CP = {"0", "1", "2", "16", "17", "255"};
    writeFonts();
    const CodePageBuild build = buildCodePageImage(h.folder.path(), slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    std::ostringstream dump;
    for (std::size_t row = 0xF000; row < 0x10000; row += 16) {
        char line[80];
        int n = std::snprintf(line, sizeof line, "%04zX:", row);
        for (std::size_t k = 0; k < 16; ++k)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %02X",
                               static_cast<unsigned>(build.image[row + k]));
        dump << line << '\n';
    }
    const std::string golden = std::string(ORDALIA_CODEPAGES_DATA) + "/image_tail.txt";
    if (std::getenv("ORDALIA_WRITE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary) << dump.str();
        GTEST_SKIP() << "wrote " << golden;
    }
    std::ifstream in(golden, std::ios::binary);
    ASSERT_TRUE(in) << golden;
    const std::string expected((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    EXPECT_EQ(dump.str(), expected);
}

class FailedBuildTest : public CodePagesFixture {
protected:
    // Builds through the shown entry point; "test" must not appear and the
    // one message must name the font file.
    void expectRefused(const std::string& file, const std::string& problem) {
        const CodePageBuild build = BuildCodePageImage(h.services(), slots);
        EXPECT_EQ(build.outcome, Outcome::Refused);
        ASSERT_EQ(h.dialogs.messages.size(), 1u);
        EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr(file));
        EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr(problem));
        EXPECT_EQ(build.message, h.dialogs.messages[0].text);
        EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "test"));
    }
};

TEST_F(FailedBuildTest, MissingFontFile) {
    std::filesystem::remove(h.folder.path() / "Codepage Table" / "PC863.CP");
    expectRefused("PC863.CP", "does not exist");
}

TEST_F(FailedBuildTest, NoFontAHeading) {
    h.folder.write("Codepage Table/PC850.CP", "[FONT C]\r\n0000\r\n");
    expectRefused("PC850.CP", "does not start with the line \"[FONT A]\"");
}

TEST_F(FailedBuildTest, FontBHeadingNotAfterTheFontALines) {
    std::string text = formatCodePageFont(font(2));
    text.replace(text.find("[FONT B]"), 8, "0000\r\n[FONT B]");
    h.folder.write("Codepage Table/PC850.CP", text);
    expectRefused("PC850.CP", "at line 6146 where \"[FONT B]\" belongs");
}

TEST_F(FailedBuildTest, TooFewFontALines) {
    std::string text = formatCodePageFont(font(0));
    text.resize(text.find("[FONT B]") - 6 * 10); // ten rows short
    h.folder.write("Codepage Table/PC437.CP", text);
    expectRefused("PC437.CP", "ends after 6134 of the 6144 Font A lines");
}

TEST_F(FailedBuildTest, TooFewFontBLines) {
    std::string text = formatCodePageFont(font(5));
    text.resize(text.size() - 4); // the last row
    h.folder.write("Codepage Table/PC865.CP", text);
    expectRefused("PC865.CP", "ends after 4351 of the 4352 Font B lines");
}

TEST_F(FailedBuildTest, OldTestFileIsLeftAlone) {
    h.folder.write("Codepage Table/test", std::string("old"));
    h.folder.write("Codepage Table/katakana.CP", "");
    const CodePageBuild build = BuildCodePageImage(h.services(), slots);
    EXPECT_EQ(build.outcome, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts().at(0), HasSubstr("katakana.CP is empty"));
    const auto test = h.folder.read("Codepage Table/test");
    EXPECT_EQ(std::string(test.begin(), test.end()), "old");
}

TEST_F(FailedBuildTest, CheckAndBuildStopsAtEitherStep) {
    slots.Pos_CP[3] = "1";
    EXPECT_FALSE(checkAndBuildCodePageImage(h.services(), slots));
    EXPECT_THAT(h.dialogs.texts(),
                ::testing::ElementsAre("Error !! 2nd & 4th Position is repeated !!"));
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "test"));

    slots.Pos_CP[3] = "3";
    EXPECT_TRUE(checkAndBuildCodePageImage(h.services(), slots));
    std::filesystem::remove(h.folder.path() / "Codepage Table" / "PC437.CP");
    EXPECT_FALSE(checkAndBuildCodePageImage(h.services(), slots));
    EXPECT_EQ(h.dialogs.messages.size(), 2u);
}

TEST_F(FailedBuildTest, BuildFromFilesNeedsTheList) {
    CodePageBuild build = buildCodePageImageFromFiles(h.services());
    EXPECT_EQ(build.outcome, Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("Codepage"));
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Codepage Table" / "test"));

    h.folder.write("Codepage Table/Codepage", formatCodepageList(slots));
    h.folder.write("Codepage Table/model_name", std::string("\"KV80\"\r\n"));
    build = buildCodePageImageFromFiles(h.services());
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    EXPECT_EQ(bytesAt(build.image, 0xFC03, 4), "KV80");
}

TEST(CodePageFontTest, FormatAndParseRoundTrip) {
    CodePageFont font;
    for (std::size_t k = 0; k < font.fontA.size(); ++k)
        font.fontA[k] = static_cast<std::uint16_t>(k * 0x9E37u);
    for (std::size_t k = 0; k < font.fontB.size(); ++k)
        font.fontB[k] = static_cast<std::uint8_t>(k * 13u);
    const std::string text = formatCodePageFont(font);
    EXPECT_EQ(text.substr(0, 16), "[FONT A]\r\n0000\r\n");
    const CodePageFontRead read = parseCodePageFont(text);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.font.fontA, font.fontA);
    EXPECT_EQ(read.font.fontB, font.fontB);
}

TEST(CodePageFontTest, DataLinesAreReadAsFields) {
    std::string text = "  [FONT A]  \n";
    text += "  12AB,ignored\n"; // leading blanks skipped, cut at the comma
    text += "1\n";              // "1" then no digit: 0x10, 0x00
    text += "zz9f\n";           // non-digits count as 0
    text += "\n";               // an empty line is a row of zeros
    for (std::size_t k = 4; k < kFontALines; ++k)
        text += "FFFF\r\n";
    text += "[FONT B]\r\n";
    text += "A\r\n";
    for (std::size_t k = 1; k < kFontBLines; ++k)
        text += "0102\r\n";
    text += "lines after the last row are not read\r\n";
    const CodePageFontRead read = parseCodePageFont(text);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.font.fontA[0], 0x12AB);
    EXPECT_EQ(read.font.fontA[1], 0x1000);
    EXPECT_EQ(read.font.fontA[2], 0x009F);
    EXPECT_EQ(read.font.fontA[3], 0x0000);
    EXPECT_EQ(read.font.fontA[4], 0xFFFF);
    EXPECT_EQ(read.font.fontB[0], 0xA0);
    EXPECT_EQ(read.font.fontB[1], 0x01);
}

} // namespace
} // namespace ordalia
