#include "compound/compound_font.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace ordalia::testing;

TEST(CompoundFontTableTest, NamesMatchExactlyAndOnlyExactly) {
    EXPECT_EQ(lookupCompoundFont("ex_SimplifiedChinese.code").languageCode, 1);
    EXPECT_EQ(lookupCompoundFont("ex_TraditionalChinese.code").languageCode, 2);
    EXPECT_EQ(lookupCompoundFont("ex_JISx0208.code").languageCode, 3);
    const CompoundFont korean = lookupCompoundFont("ex_Korean.code");
    EXPECT_EQ(korean.languageCode, 4);
    EXPECT_EQ(korean.dataLength, 622656u);
    for (const char* other :
         {"EX_KOREAN.CODE", "ex_korean.code", "ex_Korean.code ", "ex_Korean", "Korean.code", ""}) {
        EXPECT_EQ(lookupCompoundFont(other).languageCode, 0) << other;
        EXPECT_EQ(lookupCompoundFont(other).dataLength, 0u) << other;
    }
}

TEST(CompoundShuffleTest, OrderIsAFixedPermutationThatIsNotTheIdentity) {
    std::array<std::uint8_t, 16> sorted = CompoundShuffleOrder;
    std::sort(sorted.begin(), sorted.end());
    std::array<std::uint8_t, 16> identity{};
    std::iota(identity.begin(), identity.end(), 0);
    EXPECT_EQ(sorted, identity);
    EXPECT_NE(CompoundShuffleOrder, identity);
}

TEST(CompoundShuffleTest, TheTableItselfComesOutOfEveryGroupOfZeroToFifteen) {
    CompoundBlock block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i % 16);
    const CompoundBlock out = ShuffleCompoundBlock(block);
    for (std::size_t g = 0; g < 16; ++g)
        for (std::size_t j = 0; j < 16; ++j)
            ASSERT_EQ(out[16 * g + j], CompoundShuffleOrder[j]) << "group " << g << " byte " << j;
}

TEST(CompoundShuffleTest, GroupsKeepTheirPlacesAndOutputTakesFromTheOrder) {
    CompoundBlock block{};
    std::iota(block.begin(), block.end(), 0); // byte i holds i: its own position
    const CompoundBlock out = ShuffleCompoundBlock(block);
    // out[16g + j] = in[16g + order[j]]: this direction, not its inverse.
    for (std::size_t g = 0; g < 16; ++g)
        for (std::size_t j = 0; j < 16; ++j)
            ASSERT_EQ(out[16 * g + j], 16 * g + CompoundShuffleOrder[j]);
}

class CompoundLoadTest : public ::testing::Test {
protected:
    std::filesystem::path writeFile(const std::string& name, std::size_t size, std::uint8_t fill) {
        return folder.write("elsewhere/" + name, std::vector<std::uint8_t>(size, fill));
    }
    TempFolder folder;
    CompoundImage image;
};

TEST_F(CompoundLoadTest, ReadsPositionsZeroToSAndNothingAfter) {
    const std::uint32_t s = 562032;
    const auto path = writeFile("ex_JISx0208.code", s + 5000, 0xC3);
    const CompoundLoad load = loadCompoundImage(path, "ex_JISx0208.code", image);
    ASSERT_TRUE(load.loaded) << load.error;
    EXPECT_EQ(load.font.languageCode, 3);
    ASSERT_EQ(image.size(), kCompoundImageSize);
    EXPECT_EQ(image[0], 0xC3);
    EXPECT_EQ(image[s], 0xC3);
    EXPECT_EQ(image[s + 1], 0x00);
    EXPECT_TRUE(std::all_of(image.begin() + s + 1, image.end(), [](auto b) { return b == 0; }));
}

TEST_F(CompoundLoadTest, AShortFileLeavesTheMissingPositionsZero) {
    const auto path = writeFile("ex_Korean.code", 1000, 0x11);
    image.assign(kCompoundImageSize, 0xEE); // what an earlier download left
    const CompoundLoad load = loadCompoundImage(path, "ex_Korean.code", image);
    ASSERT_TRUE(load.loaded);
    EXPECT_EQ(image[999], 0x11);
    EXPECT_EQ(image[1000], 0x00);
    EXPECT_EQ(image[622656], 0x00);
}

TEST_F(CompoundLoadTest, AGoneFileIsNamedInTheError) {
    const CompoundLoad load =
        loadCompoundImage(folder.path() / "gone" / "ex_Korean.code", "ex_Korean.code", image);
    EXPECT_FALSE(load.loaded);
    EXPECT_THAT(load.error, HasSubstr("ex_Korean.code"));
    EXPECT_THAT(load.error, HasSubstr("no longer exists"));
}

TEST_F(CompoundLoadTest, TraditionalChineseLastBlockIsZeroBeyondS) {
    const std::uint32_t s = 1006056;
    const auto path = writeFile("ex_TraditionalChinese.code", kCompoundImageSize, 0xFF);
    ASSERT_TRUE(loadCompoundImage(path, "ex_TraditionalChinese.code", image).loaded);
    const CompoundBlock last = compoundStreamBlock(image, 3929);
    const std::size_t start = 3929 * 256;
    ASSERT_EQ(start, 1005824u);
    int zeros = 0;
    for (std::size_t g = 0; g < 16; ++g)
        for (std::size_t j = 0; j < 16; ++j) {
            const std::size_t from = start + 16 * g + CompoundShuffleOrder[j];
            ASSERT_EQ(last[16 * g + j], from <= s ? 0xFF : 0x00) << "file position " << from;
            zeros += last[16 * g + j] == 0;
        }
    EXPECT_EQ(zeros, 1006079 - 1006056); // positions 1,006,057 to 1,006,079
}

TEST_F(CompoundLoadTest, KoreanLastBlockHoldsPositionsUpToSThenZeros) {
    const std::uint32_t s = 622656;
    const auto path = writeFile("ex_Korean.code", s + 1000, 0x5A);
    ASSERT_TRUE(loadCompoundImage(path, "ex_Korean.code", image).loaded);
    ASSERT_EQ(compoundBlockCount(s), 2433u);
    const CompoundBlock last = compoundStreamBlock(image, 2432);
    ASSERT_EQ(2432u * 256u, 622592u);
    int data = 0;
    for (std::size_t g = 0; g < 16; ++g)
        for (std::size_t j = 0; j < 16; ++j) {
            const std::size_t from = 622592 + 16 * g + CompoundShuffleOrder[j];
            ASSERT_EQ(last[16 * g + j], from <= s ? 0x5A : 0x00) << "file position " << from;
            data += last[16 * g + j] != 0;
        }
    EXPECT_EQ(data, 622656 - 622592 + 1); // positions 622,592 to 622,656
}

TEST(CompoundBlockCountTest, FloorOfSOver256PlusOne) {
    EXPECT_EQ(compoundBlockCount(600048), 2344u);
    EXPECT_EQ(compoundBlockCount(1006056), 3930u);
    EXPECT_EQ(compoundBlockCount(562032), 2196u);
    EXPECT_EQ(compoundBlockCount(622656), 2433u);
    EXPECT_EQ(compoundBlockCount(0), 1u);
    EXPECT_EQ(compoundBlockCount(255), 1u);
    EXPECT_EQ(compoundBlockCount(256), 2u); // position 256 starts a block of its own
}

} // namespace
} // namespace ordalia
