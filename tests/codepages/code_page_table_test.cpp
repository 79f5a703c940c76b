#include "codepages/code_page_table.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

// What is said of six typed table numbers: the table check's first fault or,
// before the font download, a number with a double quote.
TEST(CodePageTable, TypedNumbersAndWhatIsSaidOfThem) {
    const std::string range = " Position Error ! The Table No. Should be 0 ~ 255.";
    const auto repeat = [](const char* a, const char* b) {
        return std::string("Error !! ") + a + " & " + b + " Position is repeated !!";
    };
    const std::pair<std::array<std::string, 6>, std::string> kCases[] = {
        {{"0", "1", "2", "3", "4", "5"}, ""},
        {{"0", "255", " 7", "8abc", "9.4", "254.5"}, ""}, // 254.5 is 254: halves go to even
        {{"9", "1", "2", "3", "4", "5"}, ""},             // slot 0 may hold any byte
        {{"0", "1", "1", "3", "4", "5"}, repeat("2nd", "3rd")},
        {{"0", "1", "2", "", "4", "5"}, repeat("1st", "4th")},       // an empty box is 0
        {{"0", "1", "-0.5", "3", "4", "x12"}, repeat("1st", "3rd")}, // -0.5 is 0, x12 too
        {{"0", "2.5", "2", "3", "7", "5"}, repeat("2nd", "3rd")},    // 2.5 is 2
        {{"0", "1", "3.5", "3", "4", "5"}, repeat("3rd", "5th")},    // 3.5 is 4
        {{"0", "256", "2", "3", "4", "5"}, "2nd" + range},
        {{"0", "1", "-1", "3", "4", "5"}, "3rd" + range},
        {{"0", "1", "2", "3", "4", "255.5"}, "6th" + range},
        {{"0", "1", "2", "3", "4", "99999999999999999999999"}, "6th" + range},
        {{"0", "300", "2", "3", "4", "300"}, "2nd" + range},      // its range before its repeat
        {{"0", "3", "2", "3", "256", "5"}, repeat("2nd", "4th")}, // an earlier slot's repeat first
        {{"300", "1", "2", "3", "4", "5"}, "1st" + range},
        {{"300", "1", "1", "3", "4", "5"}, repeat("2nd", "3rd")}, // slot 0 is looked at last
        {{"0", "1", "1\"7", "3", "4", "5"},
         "The table number of the 3rd position, 1\"7, contains a double quote, which the code page "
         "list cannot save: the printer would get one number and the list would keep another. "
         "Please type the number without it."},
    };
    for (const auto& [numbers, said] : kCases) {
        SCOPED_TRACE(numbers[0] + "," + numbers[1] + "," + numbers[2] + "," + numbers[3] + "," +
                     numbers[4] + "," + numbers[5]);
        EXPECT_EQ(unsavableTableNumber(numbers).value_or(codePageTableFault(numbers).value_or("")),
                  said);
    }
}

TEST(CodePageTable, StrToValTakesTwoHexDigitsAnyOtherCharacterIsZero) {
    const std::pair<std::string_view, int> kCases[] = {
        {"4A", 0x4A}, {"fF", 0xFF}, {"G1", 0x01},   {"1", 0x10},       {"", 0x00},
        {"9z", 0x90}, {" 1", 0x01}, {"a0FF", 0xA0}, {"\xC4\x41", 0x0A}};
    for (const auto& [text, value] : kCases)
        EXPECT_EQ(StrToVal(text), value) << text;
}

// Showing the tab loads the six rows and the model name, or nothing at all.
TEST(CodePageTable, ShowingTheTabLoadsTheListAndTheModelName) {
    const std::string rows =
        "\"2\",\"PC850\"\r\n\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"9\",\"PC866\"";
    const std::tuple<const char*, std::optional<std::string>, const char*> kCases[] = {
        {"", "\"0\",\"PC437\"\r\n \"12\" ,\"PC852\"\r\n" + rows, " \"KV, 80\",second\r\nnext\r\n"},
        {"does not exist", std::nullopt, "KV80"},
        {"has 2 lines", "\"0\",\"PC437\"\r\n\"1\",\"katakana\"\r\n", "KV80"},
        {"Line 2", "\"0\",\"PC437\"\r\n\"1\"\r\n" + rows, "KV80"}, // no name after the number
        {"model_name", "\"0\",\"PC437\"\r\n\"1\",\"x\"\r\n" + rows, nullptr},
    };
    for (const auto& [said, list, model] : kCases) {
        SCOPED_TRACE(said);
        Harness h;
        if (list)
            h.folder.write("Codepage Table/Codepage", *list);
        if (model)
            h.folder.write("Codepage Table/model_name", std::string(model));
        EXPECT_EQ(SSTab3_Click(h.services(), 1).outcome, Outcome::Nothing); // another tab
        const CodePageTabLoad load = SSTab3_Click(h.services(), 0);
        EXPECT_EQ(load.outcome, *said ? Outcome::Refused : Outcome::Done);
        EXPECT_THAT(h.dialogs.texts(), Each(HasSubstr(said)));
        EXPECT_EQ(h.dialogs.messages.size(), *said ? 1u : 0u);
        if (*said)
            continue;
        EXPECT_THAT(load.slots.Pos_CP, ElementsAre("0", "12", "2", "3", "4", "9"));
        EXPECT_THAT(load.slots.Text_CP,
                    ElementsAre("PC437", "PC852", "PC850", "PC860", "PC863", "PC866"));
        EXPECT_EQ(load.slots.model_name, "KV, 80"); // the first field of the first line
    }
}

TEST(CodePageTable, ChangeTableKeepsTheChosenFilesNameWithoutDotCp) {
    const std::tuple<std::optional<FileChoice>, bool, Outcome, std::string> kCases[] = {
        {FileChoice{"/elsewhere/PC858.CP", "PC858.CP"}, true, Outcome::Done, "PC858"},
        {FileChoice{"/x/mine.cp", "mine.cp"}, true, Outcome::Done, "mine"},
        {FileChoice{"/x/PC866.CP", "PC866.CP"}, false, Outcome::Nothing, ""}, // Cancel
        {std::nullopt, true, Outcome::Nothing, ""},
        {FileChoice{"/x/notes.txt", "notes.txt"}, true, Outcome::Refused, ""}, // named, not asked
        {FileChoice{"/x/.CP", ".CP"}, true, Outcome::Refused, ""},
    };
    for (const auto& [chosen, ok, outcome, Text_CP] : kCases) {
        SCOPED_TRACE(chosen ? chosen->name : "(no file)");
        Harness h;
        h.dialogs.files = {chosen};
        h.dialogs.answers = {ok};
        const CodePageChoice choice = Change_Cp_Click(h.services());
        EXPECT_EQ(choice.outcome, outcome);
        EXPECT_EQ(choice.Text_CP, Text_CP);
        EXPECT_EQ(h.dialogs.fileRequests.at(0).dialog, FileDialogId::CommonDialog1);
        EXPECT_EQ(h.dialogs.fileRequests.at(0).filter, "CodePage Files(*.CP) | *.CP");
        EXPECT_EQ(h.dialogs.fileRequests.at(0).initialFolder, h.folder.path() / "Codepage Table");
        EXPECT_EQ(h.dialogs.questions.size(), chosen && outcome != Outcome::Refused);
        EXPECT_THAT(h.dialogs.questions, Each(Shown{"Are you sure to Load ?", "Load File"}));
        EXPECT_EQ(h.dialogs.messages.size(), outcome == Outcome::Refused);
        EXPECT_THAT(h.dialogs.texts(), Each(HasSubstr(chosen ? chosen->name : "")));
    }
}

} // namespace
} // namespace ordalia
