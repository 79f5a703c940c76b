#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "support/bytes.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

using testing::TempFolder;

TEST(TextTest, NumbersAsTypedAndAsShown) {
    const std::pair<double, long long> rounded[] = {{0.5, 0},    {-0.5, 0},   {-1.5, -2},
                                                    {1.4999, 1}, {1.5001, 2}, {65536 / 100.0, 655}};
    for (const auto& [value, whole] : rounded)
        EXPECT_EQ(roundHalfEven(value), whole) << value;
    // Typed text: the decimal number at its start, a point (never a comma).
    const std::pair<const char*, double> typed[] = {
        {"  2.5", 2.5}, {"3.5abc", 3.5}, {".5", 0.5}, {"-", 0.0}, {"1,5", 1.0}};
    for (const auto& [text, value] : typed)
        EXPECT_DOUBLE_EQ(leadingNumber(text), value) << text;
    EXPECT_EQ(signedNumberText(5) + signedNumberText(0) + signedNumberText(-3), " 5 0-3");
    EXPECT_EQ(hexText(0) + " " + hexText(26) + " " + hexText(0xABCDEF), "0 1A ABCDEF");
}

TEST(FilesTest, WholeFilesUpToTheLimitAndWritesFromTheFirstByte) {
    const TempFolder folder;
    EXPECT_EQ(programFile("/opt/o", "Codepage Table/Codepage"), "/opt/o/Codepage Table/Codepage");
    // Longer than the 64 KB pieces it is read in and not a whole number of
    // them, then exactly one piece.
    for (const std::size_t size : {200003, 65536}) {
        const auto bytes = testing::pseudoRandomBytes(size, 1);
        EXPECT_EQ(readWholeFile(folder.write("f", bytes), size).bytes, bytes);
        EXPECT_EQ(readWholeFile(folder.path() / "f", size - 1).status, FileRead::Status::TooLarge);
    }
    const auto path = folder.path() / "f";
    EXPECT_EQ(describeReadFailure(readWholeFile(path, 9), path, 9),
              "The file " + path.string() + " is longer than 9 bytes and cannot be sent.");
    EXPECT_EQ(readWholeFile(folder.path() / "none", 9).status, FileRead::Status::Missing);
    EXPECT_EQ(readWholeFile(folder.path(), 9).status, FileRead::Status::Unreadable);
    // Without truncating, the bytes beyond the written ones stay.
    auto kept = testing::pseudoRandomBytes(65536, 1);
    std::fill_n(kept.begin(), 3, 7);
    ASSERT_FALSE(writeFileBytes(path, std::vector<std::uint8_t>(3, 7), false));
    EXPECT_EQ(folder.read("f"), kept);
    ASSERT_FALSE(replaceFileAtomically(path, kept));
    EXPECT_EQ(folder.read("f"), kept);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "f.new"));
    EXPECT_TRUE(replaceFileAtomically(folder.path() / "none" / "x", kept).has_value());
}

TEST(PathTextTest, AnyBytesAreAPathAndComeBackTheSame) {
    // The lowest and highest of each length, then overlong forms, surrogates,
    // past U+10FFFF, cut short, a system code page's byte, stray bytes.
    const char* const utf8[] = {
        "C:\\logos\\shop.bmp", "caf\xC3\xA9",      "\xC2\x80",         "\xE0\xA0\x80",
        "\xED\x9F\xBF",        "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", ""};
    const char* const other[] = {
        "caf\xE9",          "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80", "\xE2\x82", "\xC3\x28",     "\x80",         "\xFF"};
    for (const char* text : utf8)
        EXPECT_TRUE(isUtf8(text)) << text;
    for (const std::string text : other) {
        EXPECT_FALSE(isUtf8(text)) << text;
        // Here a path is its bytes, and so is every text of it.
        EXPECT_EQ(pathToFileText(pathFromFileText(text)), text);
        EXPECT_EQ(pathForMessage(pathFromUtf8(text)), text);
    }
}

} // namespace
} // namespace ordalia
