#include "common/program_folder.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

// An installation laid out as the package lays it: the programs in usr/bin,
// the shipped files in usr/share/ordalia; the user's data folder in home/.
TEST(ProgramFolderTest, TheExecutablesFolderOrTheUsersFilledFromTheInstallation) {
    struct Case {
        const char* name;
        bool shippedBeside, share, readOnly, home;
        const char* userSettingBefore; // already in home/ordalia
        bool perUser;
        const char* userSettingAfter; // in the folder chosen
    };
    const Case kCases[] = {
        {"build tree or unpacked archive", true, false, false, true, nullptr, false, "beside"},
        {"installed: first start fills the user's folder", false, true, false, true, nullptr, true,
         "shipped"},
        {"installed: the user's own file is kept", false, true, false, true, "mine", true, "mine"},
        {"installed beside shipped files it cannot write", true, true, true, true, nullptr, true,
         "shipped"},
        {"archive unpacked where it cannot write", true, false, true, true, nullptr, true,
         "beside"},
        {"installed with no home to go to", false, true, false, false, nullptr, false, "(missing)"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const testing::TempFolder root;
        const fs::path bin = root.path() / "usr/bin", home = root.path() / "home";
        root.write("usr/bin/ordalia-cli", "program");
        if (c.share) {
            root.write("usr/share/ordalia/user_setting", "shipped");
            root.write("usr/share/ordalia/Codepage Table/Codepage", "list");
        }
        if (c.shippedBeside) {
            root.write("usr/bin/flash3", "ff");
            root.write("usr/bin/user_setting", "beside");
            root.write("usr/bin/Codepage Table/Codepage", "list");
        }
        if (c.userSettingBefore)
            root.write("home/ordalia/user_setting", c.userSettingBefore);
        const auto writeBits = fs::perms::owner_write | fs::perms::group_write;
        fs::permissions(bin, writeBits,
                        c.readOnly ? fs::perm_options::remove : fs::perm_options::add);
        if (c.readOnly && folderIsWritable(bin))
            continue; // root, or no permission bits: nothing is read-only
        const ProgramFolder chosen = chooseProgramFolder(bin, c.home ? home : fs::path());
        fs::permissions(bin, writeBits, fs::perm_options::add);

        EXPECT_EQ(chosen.perUser, c.perUser);
        EXPECT_EQ(chosen.path, c.perUser ? home / "ordalia" : bin);
        EXPECT_EQ(fileText(chosen.path / "user_setting"), c.userSettingAfter);
        EXPECT_EQ(fileText(home / "ordalia/Codepage Table/Codepage"),
                  c.perUser ? "list" : "(missing)");
        EXPECT_FALSE(fs::exists(home / "ordalia/ordalia-cli"));
    }
}

// Two versions of the package in turn: a shipped file the user left as it was
// follows the newer version; one the user changed is kept, the newer one laid
// beside it with a note; a start with nothing newer changes nothing.
TEST(ProgramFolderTest, ANewerVersionReplacesWhatTheUserLeftAndLaysItBesideWhatTheyChanged) {
    const testing::TempFolder root;
    const fs::path bin = root.path() / "usr/bin", home = root.path() / "home";
    const fs::path mine = home / "ordalia";
    root.write("usr/bin/ordalia-cli", "program");
    const auto install = [&](const std::string& version) {
        root.write("usr/share/ordalia/user_setting", version + " record");
        root.write("usr/share/ordalia/testpage/rec1.p", version + " page");
        EXPECT_EQ(chooseProgramFolder(bin, home).path, mine);
    };
    install("v1");
    root.write("home/ordalia/user_setting", "downloaded"); // the user's own settings
    install("v2");
    EXPECT_EQ(fileText(mine / "testpage/rec1.p"), "v2 page");
    EXPECT_EQ(fileText(mine / "user_setting"), "downloaded");
    EXPECT_EQ(fileText(mine / "user_setting.new"), "v2 record");
    const std::string notes = fileText(mine / "UPDATES.txt");
    EXPECT_EQ(notes, "user_setting: you changed this file, so it was kept; the version this "
                     "release ships lies beside it as user_setting.new.\n");
    install("v2");
    EXPECT_EQ(fileText(mine / "UPDATES.txt"), notes);
    std::vector<std::string> files; // no temporary left behind
    for (const auto& entry : fs::recursive_directory_iterator(mine))
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), mine).generic_string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{".shipped", "UPDATES.txt", "testpage/rec1.p",
                                               "user_setting", "user_setting.new"}));
}

} // namespace
} // namespace ordalia
