#include "common/program_folder.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "(missing)";
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An installation laid out as the package lays it: the programs in usr/bin,
// the shipped files in usr/share/ordalia; the user's data folder in home/.
TEST(ProgramFolderTest, TheExecutablesFolderOrTheUsersFilledFromTheInstallation) {
    struct Case {
        const char* name;
        bool shippedBesideProgram; // flash3, testpage/ and user_setting in usr/bin
        bool programFolderReadOnly;
        bool userHome;
        const char* userSettingBefore; // already in home/ordalia; nullptr: none
        bool perUser;
        const char* userSettingAfter; // in the folder chosen
    };
    const Case kCases[] = {
        {"build tree or unpacked archive", true, false, true, nullptr, false, "beside"},
        {"installed: first start fills the user's folder", false, false, true, nullptr, true,
         "shipped"},
        {"installed: the user's own record is kept", false, false, true, "mine", true, "mine"},
        {"shipped files in a folder that cannot be written", true, true, true, nullptr, true,
         "shipped"},
        {"installed with no home to go to", false, false, false, nullptr, false, "(missing)"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const TempFolder root;
        const fs::path bin = root.path() / "usr/bin";
        const fs::path home = root.path() / "home";
        fs::create_directories(bin);
        root.write("usr/share/ordalia/user_setting", "shipped");
        root.write("usr/share/ordalia/testpage/rec1.p", "page");
        root.write("usr/share/ordalia/Codepage Table/Codepage", "list");
        if (c.shippedBesideProgram) {
            root.write("usr/bin/flash3", "ff");
            root.write("usr/bin/testpage/rec1.p", "page");
            root.write("usr/bin/user_setting", "beside");
        }
        if (c.userSettingBefore)
            root.write("home/ordalia/user_setting", c.userSettingBefore);
        const auto writeBits = fs::perms::owner_write | fs::perms::group_write;
        if (c.programFolderReadOnly)
            fs::permissions(bin, writeBits, fs::perm_options::remove);
        if (c.programFolderReadOnly && folderIsWritable(bin)) {
            // root, or a system without permission bits: nothing is read-only.
            fs::permissions(bin, writeBits, fs::perm_options::add);
            continue;
        }

        const ProgramFolder chosen = chooseProgramFolder(bin, c.userHome ? home : fs::path());
        fs::permissions(bin, writeBits, fs::perm_options::add);

        EXPECT_EQ(chosen.perUser, c.perUser);
        EXPECT_EQ(chosen.path, c.perUser ? home / "ordalia" : bin);
        EXPECT_EQ(fileText(chosen.path / "user_setting"), c.userSettingAfter);
        if (c.perUser) {
            EXPECT_EQ(fileText(chosen.path / "testpage/rec1.p"), "page");
            EXPECT_EQ(fileText(chosen.path / "Codepage Table/Codepage"), "list");
        } else {
            EXPECT_FALSE(fs::exists(home / "ordalia"));
        }
        EXPECT_EQ(fileText(root.path() / "usr/share/ordalia/user_setting"), "shipped");
    }
}

} // namespace
} // namespace ordalia
