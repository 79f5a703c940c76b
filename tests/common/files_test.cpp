#include "common/files.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace ordalia {
namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        m_dir =
            std::filesystem::temp_directory_path() / ("ordalia-files-" + std::to_string(random()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

TEST_F(FilesTest, ProgramFileJoinsTheRelativePathPartByPart) {
    EXPECT_EQ(programFile("/opt/o", "testpage/rec1.p"),
              std::filesystem::path("/opt/o/testpage/rec1.p"));
    EXPECT_EQ(programFile("/opt/o", "Codepage Table/Codepage"),
              std::filesystem::path("/opt/o/Codepage Table/Codepage"));
    EXPECT_EQ(programFile("/opt/o", "user_setting"), std::filesystem::path("/opt/o/user_setting"));
}

TEST_F(FilesTest, ReadWholeFileHonoursTheLimitExactly) {
    const auto path = m_dir / "f";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(10, 'x');
    }
    auto read = readWholeFile(path, 10);
    EXPECT_EQ(read.status, FileRead::Status::Ok);
    EXPECT_EQ(read.bytes.size(), 10u);
    read = readWholeFile(path, 9);
    EXPECT_EQ(read.status, FileRead::Status::TooLarge);
    EXPECT_TRUE(read.bytes.empty());
    EXPECT_EQ(readWholeFile(m_dir / "none", 9).status, FileRead::Status::Missing);
    EXPECT_EQ(readWholeFile(m_dir, 9).status, FileRead::Status::Unreadable);
}

TEST_F(FilesTest, ReadWholeFileReadsPastItsPiecesAndUpToTheLimit) {
    // Longer than the pieces it is read in, and not a whole number of them.
    std::vector<std::uint8_t> bytes(200003);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    const auto path = m_dir / "long";
    ASSERT_FALSE(writeFileBytes(path, bytes));
    EXPECT_EQ(readWholeFile(path, bytes.size()).bytes, bytes);
    EXPECT_EQ(readWholeFile(path, bytes.size() - 1).status, FileRead::Status::TooLarge);
    // A limit far above the file gives the file, no more.
    const auto generous = readWholeFile(path, std::size_t{64} << 20);
    EXPECT_EQ(generous.status, FileRead::Status::Ok);
    EXPECT_EQ(generous.bytes, bytes);
    // A limit that falls on a piece's end.
    const std::vector<std::uint8_t> piece(bytes.begin(), bytes.begin() + 65536);
    ASSERT_FALSE(writeFileBytes(path, piece));
    EXPECT_EQ(readWholeFile(path, 65536).bytes, piece);
    EXPECT_EQ(readWholeFile(path, 65535).status, FileRead::Status::TooLarge);
}

TEST_F(FilesTest, WritingWithoutTruncateKeepsTheTail) {
    const auto path = m_dir / "123.bin";
    const std::vector<std::uint8_t> longer(8, 0xEE);
    const std::vector<std::uint8_t> shorter = {1, 2, 3};
    ASSERT_FALSE(writeFileBytes(path, longer));
    ASSERT_FALSE(writeFileBytes(path, shorter, false));
    auto read = readWholeFile(path, 100);
    EXPECT_EQ(read.bytes, (std::vector<std::uint8_t>{1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    ASSERT_FALSE(writeFileBytes(path, shorter, true));
    EXPECT_EQ(readWholeFile(path, 100).bytes, shorter);
}

TEST_F(FilesTest, AtomicReplaceLeavesNoTemporary) {
    const auto path = m_dir / "Logo_Path";
    const std::vector<std::uint8_t> bytes = {'a', 'b'};
    ASSERT_FALSE(replaceFileAtomically(path, bytes));
    EXPECT_EQ(readWholeFile(path, 10).bytes, bytes);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "Logo_Path.new"));
    EXPECT_TRUE(replaceFileAtomically(m_dir / "no-such-folder" / "x", bytes).has_value());
}

} // namespace
} // namespace ordalia
