#include "codepages/code_page_table.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

using Numbers = std::array<std::string, kCodePageSlotCount>;

std::string fault(const Numbers& numbers) {
    return codePageTableFault(numbers).value_or("(none)");
}

TEST(CodePageCheck, SoundTablesPass) {
    EXPECT_EQ(fault({"0", "1", "2", "3", "4", "5"}), "(none)");
    EXPECT_EQ(fault({"0", "255", "17", "3", "40", "5"}), "(none)");
    EXPECT_EQ(fault({"0", " 7", "8abc", "9.4", "10", "11"}), "(none)");
}

TEST(CodePageCheck, RepeatNamesTheLowerSlotFirst) {
    EXPECT_EQ(fault({"0", "1", "1", "3", "4", "5"}), "Error !! 2nd & 3rd Position is repeated !!");
    // An empty box counts as 0 and so repeats slot 0.
    EXPECT_EQ(fault({"0", "1", "2", "", "4", "5"}), "Error !! 1st & 4th Position is repeated !!");
    EXPECT_EQ(fault({"0", "1", "2", "3", "4", "abc"}),
              "Error !! 1st & 6th Position is repeated !!");
    EXPECT_EQ(fault({"0", "9", "2", "3", "4", "9"}), "Error !! 2nd & 6th Position is repeated !!");
}

TEST(CodePageCheck, RangeIsZeroTo255) {
    EXPECT_EQ(fault({"0", "256", "2", "3", "4", "5"}),
              "2nd Position Error ! The Table No. Should be 0 ~ 255.");
    EXPECT_EQ(fault({"0", "1", "-1", "3", "4", "5"}),
              "3rd Position Error ! The Table No. Should be 0 ~ 255.");
    EXPECT_EQ(fault({"0", "1", "2", "3", "4", "99999999999999999999999"}),
              "6th Position Error ! The Table No. Should be 0 ~ 255.");
    // 255.5 rounds to 256 (even), 254.5 to 254.
    EXPECT_EQ(fault({"0", "1", "2", "3", "4", "255.5"}),
              "6th Position Error ! The Table No. Should be 0 ~ 255.");
    EXPECT_EQ(fault({"0", "1", "2", "3", "4", "254.5"}), "(none)");
}

TEST(CodePageCheck, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(tableNumber("2.5"), 2);
    EXPECT_EQ(tableNumber("3.5"), 4);
    EXPECT_EQ(tableNumber("-0.5"), 0);
    EXPECT_EQ(tableNumber("  12abc"), 12);
    EXPECT_EQ(tableNumber("x12"), 0);
    // 2.5 repeats slot 2's 2; 3.5 repeats slot 4's 4.
    EXPECT_EQ(fault({"0", "2.5", "2", "3", "7", "5"}),
              "Error !! 2nd & 3rd Position is repeated !!");
    EXPECT_EQ(fault({"0", "1", "3.5", "3", "4", "5"}),
              "Error !! 3rd & 5th Position is repeated !!");
}

TEST(CodePageCheck, OnlyTheFirstFaultInCheckOrderIsReported) {
    // Slot 1 both out of range and repeated by slot 5: its range comes first.
    EXPECT_EQ(fault({"0", "300", "2", "3", "4", "300"}),
              "2nd Position Error ! The Table No. Should be 0 ~ 255.");
    // Slot 1 repeats slot 3, slot 4 is out of range: the earlier repeat wins.
    EXPECT_EQ(fault({"0", "3", "2", "3", "256", "5"}),
              "Error !! 2nd & 4th Position is repeated !!");
    // Slot 2 repeats a later slot before slot 3's range is looked at.
    EXPECT_EQ(fault({"0", "1", "7", "-4", "7", "5"}), "Error !! 3rd & 5th Position is repeated !!");
}

TEST(CodePageCheck, SlotZeroThatDoesNotFitItsByteIsRefused) {
    EXPECT_EQ(fault({"300", "1", "2", "3", "4", "5"}),
              "1st Position Error ! The Table No. Should be 0 ~ 255.");
    EXPECT_EQ(fault({"9", "1", "2", "3", "4", "5"}), "(none)");
    // It is looked at last: the faults of slots 1 to 5 come first.
    EXPECT_EQ(fault({"300", "1", "1", "3", "4", "5"}),
              "Error !! 2nd & 3rd Position is repeated !!");
    EXPECT_EQ(fault({"-7", "1", "2", "3", "4", "256"}),
              "6th Position Error ! The Table No. Should be 0 ~ 255.");
    EXPECT_EQ(fault({"-7", "1", "2", "3", "4", "5"}),
              "1st Position Error ! The Table No. Should be 0 ~ 255.");
}

TEST(CodePageCheck, CpCheckShowsOneUntitledMessageAndSetsTheFlag) {
    RecordingDialogs dialogs;
    CodePageSlots slots = defaultCodePageSlots();
    EXPECT_EQ(CP_Check(dialogs, slots), 0);
    EXPECT_TRUE(dialogs.messages.empty());
    slots.Pos_CP[2] = "1";
    slots.Pos_CP[4] = "1000";
    EXPECT_EQ(CP_Check(dialogs, slots), 1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], (Shown{"Error !! 2nd & 3rd Position is repeated !!", ""}));
}

TEST(StrToValTest, TwoHexDigitsAnythingElseCountsAsZero) {
    EXPECT_EQ(StrToVal("4A"), 0x4A);
    EXPECT_EQ(StrToVal("fF"), 0xFF);
    EXPECT_EQ(StrToVal("G1"), 0x01);
    EXPECT_EQ(StrToVal("1"), 0x10);
    EXPECT_EQ(StrToVal(""), 0x00);
    EXPECT_EQ(StrToVal("00"), 0x00);
    EXPECT_EQ(StrToVal("9z"), 0x90);
    EXPECT_EQ(StrToVal("a0FF"), 0xA0); // characters after the second are ignored
    EXPECT_EQ(StrToVal(" 1"), 0x01);   // a blank is not a digit
    EXPECT_EQ(StrToVal(std::string_view("\xC4\x41", 2)), 0x0A);
}

TEST(FieldTest, FirstFieldRule) {
    EXPECT_EQ(firstField("  abc,def"), "abc");
    EXPECT_EQ(firstField("\"a,b\",c"), "a,b");
    EXPECT_EQ(firstField("xy,z"), "xy");
    EXPECT_EQ(firstField(""), "");
    EXPECT_EQ(firstField("\"open"), "open");
    std::optional<std::string_view> rest;
    EXPECT_EQ(firstField("\"3\" ,\"PC860\"", &rest), "3");
    ASSERT_TRUE(rest);
    EXPECT_EQ(firstField(*rest), "PC860");
    firstField("\"3\"", &rest);
    EXPECT_FALSE(rest);
}

class CodePageFilesTest : public ::testing::Test {
protected:
    Harness h;
    const std::string kDefaultList = "\"0\",\"PC437\"\r\n\"1\",\"katakana\"\r\n\"2\",\"PC850\"\r\n"
                                     "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"5\",\"PC865\"\r\n";
};

TEST_F(CodePageFilesTest, ListIsSixLinesOfTwoQuotedFieldsWithCrLf) {
    EXPECT_EQ(formatCodepageList(defaultCodePageSlots()), kDefaultList);
    CodePageSlots slots = defaultCodePageSlots();
    slots.Pos_CP[3] = "1\"7"; // a quote cannot be written in this format
    slots.Text_CP[5] = "WPC1252";
    ASSERT_FALSE(writeCodepageList(h.folder.path(), slots));
    const auto bytes = h.folder.read("Codepage Table/Codepage");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_THAT(text, HasSubstr("\"17\",\"PC860\"\r\n"));
    EXPECT_THAT(text, HasSubstr("\"5\",\"WPC1252\"\r\n"));

    const CodepageListRead read = readCodepageList(h.folder.path());
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(read.Pos_CP[3], "17");
    EXPECT_EQ(read.Text_CP[5], "WPC1252");
}

TEST_F(CodePageFilesTest, LoadPutsBothFilesOnThePage) {
    h.folder.write("Codepage Table/Codepage", "\"0\",\"PC437\"\n\"12\",\"PC852\"\n\"2\",\"PC850\"\n"
                                              "\"3\",\"PC860\"\n\"4\",\"PC863\"\n\"9\",\"PC866\"");
    h.folder.write("Codepage Table/model_name", "  KV80,second field\r\nnext line\r\n");
    const CodePageTabLoad load = SSTab3_Click(h.services(), 0);
    ASSERT_EQ(load.outcome, Outcome::Done) << load.message;
    EXPECT_THAT(load.slots.Pos_CP, ElementsAre("0", "12", "2", "3", "4", "9"));
    EXPECT_THAT(load.slots.Text_CP,
                ElementsAre("PC437", "PC852", "PC850", "PC860", "PC863", "PC866"));
    EXPECT_EQ(load.slots.model_name, "KV80");
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(CodePageFilesTest, ModelNameIsTheFirstField) {
    h.folder.write("Codepage Table/Codepage", kDefaultList);
    const auto modelName = [&](const std::string& text) {
        h.folder.write("Codepage Table/model_name", text);
        return readModelName(h.folder.path()).model_name;
    };
    EXPECT_EQ(modelName("AB,CDEF"), "AB");
    EXPECT_EQ(modelName("\"Model, 80\",x"), "Model, 80");
    EXPECT_EQ(modelName("   T-80 II\r\n"), "T-80 II");
    EXPECT_EQ(modelName(""), "");
    EXPECT_TRUE(readModelName(h.folder.path()).ok);
}

TEST_F(CodePageFilesTest, OtherTabsDoNothing) {
    const CodePageTabLoad load = SSTab3_Click(h.services(), 1);
    EXPECT_EQ(load.outcome, Outcome::Nothing);
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(CodePageFilesTest, MissingOrMalformedFilesAreNamedAndNothingIsLoaded) {
    CodePageTabLoad load = SSTab3_Click(h.services(), 0);
    EXPECT_EQ(load.outcome, Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("Codepage"));
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("does not exist"));

    h.folder.write("Codepage Table/Codepage", "\"0\",\"PC437\"\r\n\"1\",\"katakana\"\r\n");
    load = loadCodePageTab(h.folder.path());
    EXPECT_EQ(load.outcome, Outcome::Refused);
    EXPECT_THAT(load.message, HasSubstr("has 2 lines"));

    h.folder.write("Codepage Table/Codepage",
                   "\"0\",\"PC437\"\r\n\"1\"\r\n\"2\",\"PC850\"\r\n"
                   "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"5\",\"PC865\"");
    load = loadCodePageTab(h.folder.path());
    EXPECT_EQ(load.outcome, Outcome::Refused);
    EXPECT_THAT(load.message, HasSubstr("Line 2"));

    // A sound list with no model name file still loads nothing.
    h.folder.write("Codepage Table/Codepage", kDefaultList);
    load = loadCodePageTab(h.folder.path());
    EXPECT_EQ(load.outcome, Outcome::Refused);
    EXPECT_THAT(load.message, HasSubstr("model_name"));
}

TEST_F(CodePageFilesTest, ChangeTableKeepsTheNameWithoutDotCp) {
    h.dialogs.files.push_back(FileChoice{"/elsewhere/PC858.CP", "PC858.CP"});
    const CodePageChoice choice = Change_Cp_Click(h.services());
    EXPECT_EQ(choice.outcome, Outcome::Done);
    EXPECT_EQ(choice.Text_CP, "PC858");
    ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(h.dialogs.fileRequests[0].dialog, FileDialogId::CommonDialog1);
    EXPECT_EQ(h.dialogs.fileRequests[0].filter, "CodePage Files(*.CP) | *.CP");
    EXPECT_EQ(h.dialogs.fileRequests[0].initialFolder, h.folder.path() / "Codepage Table");
    EXPECT_THAT(h.dialogs.questions, ElementsAre(Shown{"Are you sure to Load ?", "Load File"}));
}

TEST_F(CodePageFilesTest, ChangeTableCancelledAtEitherStepChangesNothing) {
    EXPECT_EQ(Change_Cp_Click(h.services()).outcome, Outcome::Nothing);
    EXPECT_TRUE(h.dialogs.questions.empty());

    h.dialogs.files.push_back(FileChoice{"/x/PC866.CP", "PC866.CP"});
    h.dialogs.answers.push_back(false);
    const CodePageChoice choice = Change_Cp_Click(h.services());
    EXPECT_EQ(choice.outcome, Outcome::Nothing);
    EXPECT_EQ(choice.Text_CP, "");
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(CodePageFilesTest, ChangeTableRefusesFilesThatAreNotCodePages) {
    h.dialogs.files.push_back(FileChoice{"/x/notes.txt", "notes.txt"});
    h.dialogs.files.push_back(FileChoice{"/x/.CP", ".CP"});
    EXPECT_EQ(Change_Cp_Click(h.services()).outcome, Outcome::Refused);
    EXPECT_EQ(Change_Cp_Click(h.services()).outcome, Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 2u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("notes.txt"));
    EXPECT_TRUE(h.dialogs.questions.empty());
    // The extension in another case is still a code page file.
    h.dialogs.files.push_back(FileChoice{"/x/mine.cp", "mine.cp"});
    EXPECT_EQ(Change_Cp_Click(h.services()).Text_CP, "mine");
}

} // namespace
} // namespace ordalia
