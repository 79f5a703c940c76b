#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace ordalia::testing;

std::string text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// --- the record line and the list file ---

TEST(LogoRecordTest, IsWrittenAsQuotedFieldsWithCrLf) {
    const LogoRecord record{1, "C:\\logos\\shop, front.bmp", "shop, front.bmp", 2862, 200, 100};
    EXPECT_EQ(formatLogoRecord(record),
              "1,\"C:\\logos\\shop, front.bmp\",\"shop, front.bmp\",2862,200,100\r\n");
}

TEST(LogoRecordTest, QuotesAndLineEndsCannotBeWritten) {
    EXPECT_TRUE(logoRecordWritable({1, "/a/b.bmp", "b.bmp", 1, 1, 1}));
    EXPECT_FALSE(logoRecordWritable({1, "/a/\"b\".bmp", "\"b\".bmp", 1, 1, 1}));
    EXPECT_FALSE(logoRecordWritable({1, "/a\n/b.bmp", "b.bmp", 1, 1, 1}));
    EXPECT_FALSE(logoRecordWritable({1, "/a/b.bmp", "b\r.bmp", 1, 1, 1}));
}

TEST(LogoListParseTest, SplitsAtCommasOutsideQuotes) {
    const auto read = parseLogoList("1,\"C:\\a, b\\x.bmp\",\"x.bmp\",2862,200,100\r\n"
                                    "2,\"C:\\y.bmp\",\"y.bmp\",94,8,8\r\n",
                                    "Logo_Path");
    EXPECT_EQ(read.status, LogoListRead::Status::Ok);
    EXPECT_THAT(read.records, ElementsAre(LogoRecord{1, "C:\\a, b\\x.bmp", "x.bmp", 2862, 200, 100},
                                          LogoRecord{2, "C:\\y.bmp", "y.bmp", 94, 8, 8}));
}

TEST(LogoListParseTest, TakesBareLineFeedsBlanksAndAMissingLastLineEnd) {
    const auto read = parseLogoList(
        " 1 , \"a.bmp\" , \"a\" , 5 , 6 , 7\n\r\n\n2,\"b.bmp\",\"b\",1,2,3", "Logo_Path");
    EXPECT_EQ(read.status, LogoListRead::Status::Ok);
    EXPECT_THAT(read.records, ElementsAre(LogoRecord{1, "a.bmp", "a", 5, 6, 7},
                                          LogoRecord{2, "b.bmp", "b", 1, 2, 3}));
}

TEST(LogoListParseTest, EmptyTextIsAnEmptyList) {
    const auto read = parseLogoList("", "Logo_Path");
    EXPECT_EQ(read.status, LogoListRead::Status::Ok);
    EXPECT_THAT(read.records, IsEmpty());
}

TEST(LogoListParseTest, ADamagedLineStopsReadingAndIsNamed) {
    const std::string good = "1,\"a.bmp\",\"a\",5,6,7\r\n";
    struct Case {
        std::string line;
        std::string problem;
    };
    for (const Case& c : {
             Case{"2,\"b.bmp\",\"b\",5,6\r\n", "5 fields"},
             Case{"2,\"b.bmp\",\"b\",5,6,7,\r\n", "7 fields"},
             Case{"2,\"b.bmp,\"b\",5,6,7\r\n", "not closed"},
             Case{"2,\"b.bmp\"x,\"b\",5,6,7\r\n", "not closed"},
             Case{"256,\"b.bmp\",\"b\",5,6,7\r\n", "whole number"},
             Case{"2,\"b.bmp\",\"b\",-5,6,7\r\n", "whole number"},
             Case{"2,\"b.bmp\",\"b\",5,2147483648,7\r\n", "whole number"},
             Case{"2,\"b.bmp\",\"b\",5,6,7.5\r\n", "whole number"},
             Case{"two,\"b.bmp\",\"b\",5,6,7\r\n", "whole number"},
         }) {
        SCOPED_TRACE(c.line);
        const auto read = parseLogoList(good + c.line + good, "/x/Logo_Path");
        EXPECT_EQ(read.status, LogoListRead::Status::Damaged);
        EXPECT_EQ(read.damagedLine, 2u);
        EXPECT_THAT(read.records, ElementsAre(LogoRecord{1, "a.bmp", "a", 5, 6, 7}));
        EXPECT_THAT(read.message, HasSubstr("/x/Logo_Path is damaged at line 2"));
        EXPECT_THAT(read.message, HasSubstr(c.problem));
    }
}

TEST(LogoListParseTest, WrittenRecordsReadBackTheSame) {
    std::vector<LogoRecord> records;
    for (int n = 1; n <= 255; ++n)
        records.push_back({static_cast<std::uint8_t>(n),
                           "/logos/dir, " + std::to_string(n) + "/ü" + std::to_string(n) + ".bmp",
                           "ü" + std::to_string(n) + ".bmp", n * 100, n, 2 * n});
    std::string file;
    for (const auto& r : records)
        file += formatLogoRecord(r);
    EXPECT_EQ(parseLogoList(file, "Logo_Path").records, records);
}

// --- rows and counters ---

TEST(LogoRowsTest, ColumnsAndTheirKeys) {
    ASSERT_EQ(kLogoListColumns.size(), 3u);
    EXPECT_EQ(kLogoListColumns[0].text, "No.");
    EXPECT_EQ(kLogoListColumns[0].key, "Logo_No");
    EXPECT_EQ(kLogoListColumns[0].widthTwips, 500);
    EXPECT_EQ(kLogoListColumns[1].text, "File Name");
    EXPECT_EQ(kLogoListColumns[1].key, "Logo_FileName");
    EXPECT_EQ(kLogoListColumns[1].widthTwips, 2100);
    EXPECT_EQ(kLogoListColumns[2].text, "Size");
    EXPECT_EQ(kLogoListColumns[2].key, "Logo_FileSize");
    EXPECT_EQ(kLogoListColumns[2].widthTwips, 900);
}

TEST(LogoRowsTest, ARowShowsNumberNameAndSizeUnderTheirKeys) {
    const auto row = logoListRow({7, "/a/shop.bmp", "shop.bmp", 2862, 200, 100});
    EXPECT_EQ(row.text, "7");
    EXPECT_EQ(row.subItem("Logo_No"), "7");
    EXPECT_EQ(row.subItem("Logo_FileName"), "shop.bmp");
    EXPECT_EQ(row.subItem("Logo_FileSize"), "2862");
    EXPECT_EQ(row.subItem("Logo_Width"), "");
}

TEST(LogoCountersTest, CountOutOf255) {
    EXPECT_EQ(logoCountText(0), "0/255");
    EXPECT_EQ(logoCountText(3), "3/255");
    EXPECT_EQ(logoCountText(255), "255/255");
}

TEST(LogoCountersTest, KilobytesRoundHalfToEven) {
    EXPECT_EQ(logoTotalText(0), "0k/128k");
    EXPECT_EQ(logoTotalText(512), "0k/128k"); // half: to the even 0
    EXPECT_EQ(logoTotalText(1535), "1k/128k");
    EXPECT_EQ(logoTotalText(1536), "2k/128k");
    EXPECT_EQ(logoTotalText(2560), "2k/128k");
    EXPECT_EQ(logoTotalText(2561), "3k/128k");
    EXPECT_EQ(logoTotalText(12 * 1024), "12k/128k");
    EXPECT_EQ(logoTotalText(131071), "128k/128k");
    EXPECT_EQ(kInitialLogoCountText, "0/255");
    EXPECT_EQ(kInitialLogoTotalText, "0/128K");
}

// --- the page's handlers ---

class LogoLibraryTest : public ::testing::Test {
protected:
    // A bitmap in the folder "pictures" beside the program.
    FileChoice bitmap(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        return {h.folder.write("pictures/" + name, bytes), name};
    }
    FileChoice bitmap(const std::string& name, std::size_t w, std::size_t hgt) {
        return bitmap(name, monochromeBmp(filledPicture(w, hgt, '#')));
    }
    Outcome add(const FileChoice& choice) {
        return AddLogoFile(services, library, *buffers, choice);
    }
    std::string listFile() const { return text(h.folder.read("Logo_Path")); }
    std::string line(std::uint8_t n, const FileChoice& c, std::int32_t size, std::int32_t w,
                     std::int32_t hgt) const {
        return formatLogoRecord({n, c.fullPath, c.name, size, w, hgt});
    }

    Harness h;
    Services services = h.services();
    LogoLibrary library;
    std::unique_ptr<LogoBuffers> buffers = makeLogoBuffers();
};

TEST_F(LogoLibraryTest, MissingListIsAnEmptyLibraryWithoutAMessage) {
    LoadLogoList(services, library);
    EXPECT_EQ(library.LogoCount, 0);
    EXPECT_EQ(library.LogoTotalSize, 0);
    EXPECT_THAT(library.rows(), IsEmpty());
    EXPECT_EQ(library.Label3(), "0/255");
    EXPECT_EQ(library.Label4(), "0k/128k");
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoLibraryTest, LoadFillsRowsCountAndTotal) {
    h.folder.write("Logo_Path", "1,\"/p/a.bmp\",\"a.bmp\",1000,8,8\r\n"
                                "2,\"/p/b.bmp\",\"b.bmp\",1560,16,9\r\n"
                                "3,\"/p/c.bmp\",\"c.bmp\",0,1,1\r\n");
    library.LogoCount = 9; // whatever it held is replaced
    LoadLogoList(services, library);
    EXPECT_EQ(library.LogoCount, 3);
    EXPECT_EQ(library.LogoTotalSize, 2560);
    EXPECT_THAT(library.rows(),
                ElementsAre(LogoListRow{"1", "a.bmp", "1000"}, LogoListRow{"2", "b.bmp", "1560"},
                            LogoListRow{"3", "c.bmp", "0"}));
    EXPECT_EQ(library.Label3(), "3/255");
    EXPECT_EQ(library.Label4(), "2k/128k");
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoLibraryTest, DamagedListIsReportedKeepingTheLogosBeforeIt) {
    const std::string damaged = "1,\"/p/a.bmp\",\"a.bmp\",1000,8,8\r\n"
                                "2,\"/p/b.bmp\",\"b.bmp\"\r\n"
                                "3,\"/p/c.bmp\",\"c.bmp\",10,1,1\r\n";
    h.folder.write("Logo_Path", damaged);
    LoadLogoList(services, library);
    EXPECT_EQ(library.LogoCount, 1);
    EXPECT_EQ(library.LogoTotalSize, 1000);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("is damaged at line 2"));
    EXPECT_EQ(listFile(), damaged); // starting the program loses nothing

    // The next add writes the list anew from what was read.
    const auto c = bitmap("d.bmp", 8, 8);
    EXPECT_EQ(add(c), Outcome::Done);
    EXPECT_EQ(listFile(), "1,\"/p/a.bmp\",\"a.bmp\",1000,8,8\r\n" + line(2, c, 94, 8, 8));
}

TEST_F(LogoLibraryTest, NumbersOutOfStepAreDamage) {
    h.folder.write("Logo_Path", "1,\"/p/a.bmp\",\"a.bmp\",1000,8,8\r\n"
                                "3,\"/p/b.bmp\",\"b.bmp\",10,8,8\r\n");
    LoadLogoList(services, library);
    EXPECT_EQ(library.LogoCount, 1);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("numbered 3 instead of 2"));
}

TEST_F(LogoLibraryTest, AddAsksForABitmapInTheProgramFolder) {
    h.dialogs.files.push_back(std::nullopt);
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Nothing);
    ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(h.dialogs.fileRequests[0].dialog, FileDialogId::CommonDialog);
    EXPECT_EQ(h.dialogs.fileRequests[0].filter, "(*.bmp)|*.bmp");
    EXPECT_EQ(h.dialogs.fileRequests[0].initialFolder, h.folder.path());
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Logo_Path"));
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoLibraryTest, AChoiceWithoutANameIsNoChoice) {
    const auto c = bitmap("a.bmp", 8, 8);
    h.dialogs.files.push_back(FileChoice{c.fullPath, ""});
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Nothing);
    EXPECT_EQ(library.LogoCount, 0);
}

TEST_F(LogoLibraryTest, AddedLogosGoToTheListTheFileAndTheCounters) {
    const auto a = bitmap("a.bmp", 200, 100); // rows of 28 bytes
    const auto b = bitmap("b.bmp", 8, 8);
    h.dialogs.files.push_back(a);
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Done);
    EXPECT_EQ(listFile(), line(1, a, 2862, 200, 100));
    EXPECT_EQ(add(b), Outcome::Done);
    EXPECT_EQ(listFile(), line(1, a, 2862, 200, 100) + line(2, b, 94, 8, 8));
    EXPECT_EQ(library.LogoCount, 2);
    EXPECT_EQ(library.LogoTotalSize, 2956);
    EXPECT_THAT(library.rows(),
                ElementsAre(LogoListRow{"1", "a.bmp", "2862"}, LogoListRow{"2", "b.bmp", "94"}));
    EXPECT_EQ(library.Label3(), "2/255");
    EXPECT_EQ(library.Label4(), "3k/128k");
    EXPECT_THAT(h.dialogs.messages, IsEmpty());

    // Restarting shows the same library.
    LogoLibrary restarted;
    LoadLogoList(services, restarted);
    EXPECT_EQ(restarted.LogoCount, library.LogoCount);
    EXPECT_EQ(restarted.LogoTotalSize, library.LogoTotalSize);
    EXPECT_EQ(restarted.records, library.records);
}

TEST_F(LogoLibraryTest, TheSizeFieldIsRecordedNotTheFileLength) {
    auto bytes = monochromeBmp(filledPicture(8, 8, '#'));
    putLe32(bytes, 2, 90); // declares 4 bytes less: the first row is then unused
    EXPECT_EQ(add(bitmap("a.bmp", bytes)), Outcome::Done);
    EXPECT_EQ(library.LogoTotalSize, 90);
    EXPECT_EQ(library.records[0].size, 90);
}

TEST_F(LogoLibraryTest, TheFirstAddCreatesTheFileAnew) {
    h.folder.write("Logo_Path", "left over from an earlier library\r\n");
    const auto a = bitmap("a.bmp", 8, 8);
    EXPECT_EQ(add(a), Outcome::Done);
    EXPECT_EQ(listFile(), line(1, a, 94, 8, 8));
}

TEST_F(LogoLibraryTest, AppendingStartsANewLineAfterAHandEditedEnd) {
    const auto a = bitmap("a.bmp", 8, 8);
    h.folder.write("Logo_Path", line(1, a, 94, 8, 8).substr(0, line(1, a, 94, 8, 8).size() - 2));
    LoadLogoList(services, library);
    const auto b = bitmap("b.bmp", 8, 8);
    EXPECT_EQ(add(b), Outcome::Done);
    EXPECT_EQ(listFile(), line(1, a, 94, 8, 8) + line(2, b, 94, 8, 8));
}

TEST_F(LogoLibraryTest, ChecksComeInTheirOrderWithTheirMessages) {
    struct Case {
        std::string what;
        std::vector<std::uint8_t> bytes;
        std::string message;
    };
    auto bmp = [](auto edit) {
        auto b = monochromeBmp(filledPicture(8, 8, '#'));
        edit(b);
        return b;
    };
    std::vector<std::uint8_t> tooLong(200001, 'x'); // not a BMP either: read first
    std::vector<std::uint8_t> textFile = {'h', 'e', 'l', 'l', 'o'};
    const std::vector<Case> cases = {
        {"longer than 200000 bytes", tooLong, "File too large"},
        {"a text file", textFile, "This is not a BMP file !!"},
        {"one byte", {'B'}, "This is not a BMP file !!"},
        {"empty", {}, "This is not a BMP file !!"},
        {"BM and nothing else", {'B', 'M'}, "This is not a 2-bit BMP file !!"},
        {"4-bit", BmpBuilder{filledPicture(8, 8, '#'), 1, 4}.build(),
         "This is not a 2-bit BMP file !!"},
        {"24-bit", BmpBuilder{filledPicture(8, 8, '#'), 1, 24}.build(),
         "This is not a 2-bit BMP file !!"},
        {"two planes", BmpBuilder{filledPicture(8, 8, '#'), 2, 1}.build(),
         "This is not a 2-bit BMP file !!"},
        {"negative height", bmp([](auto& b) { putLe32(b, 22, 0xFFFFFFF8); }), "File too large"},
        {"size byte 5", bmp([](auto& b) { b[5] = 0x80; }), "File too large"},
        {"width byte 21", bmp([](auto& b) { b[21] = 0x80; }), "File too large"},
        {"offset of 32768", bmp([](auto& b) { b[11] = 0x80; }), "File too large"},
        {"height 0", bmp([](auto& b) { putLe32(b, 22, 0); }),
         "The bitmap x.bmp has a height of 0 and cannot be used as a logo."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        h.dialogs.messages.clear();
        EXPECT_EQ(add(bitmap("x.bmp", c.bytes)), Outcome::Refused);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre(c.message));
        EXPECT_EQ(library.LogoCount, 0);
        EXPECT_EQ(library.LogoTotalSize, 0);
        EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "Logo_Path"));
    }
}

TEST_F(LogoLibraryTest, MessagesHaveTheApplicationTitle) {
    add(bitmap("x.bmp", std::vector<std::uint8_t>{'h', 'i'}));
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].title, "");
}

TEST_F(LogoLibraryTest, AFileOfExactly200000BytesIsRead) {
    // Its size field then breaks the total, which is checked after reading.
    auto bytes = monochromeBmp(filledPicture(32, 49984, '#')); // 62 + 4 * 49984 bytes
    bytes.resize(200000, 0xFF);
    putLe32(bytes, 2, 200000);
    EXPECT_EQ(add(bitmap("big.bmp", bytes)), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Total Logo sizes must under 128K Bytes!!!!"));
}

TEST_F(LogoLibraryTest, EarlierFilesLeaveNothingBehindForTheChecks) {
    EXPECT_EQ(add(bitmap("a.bmp", 8, 8)), Outcome::Done);
    // Shorter than the depth bytes; the earlier file's bytes 26 and 28 were 1.
    EXPECT_EQ(add(bitmap("b.bmp", std::vector<std::uint8_t>{'B', 'M', 0, 0, 0})), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("This is not a 2-bit BMP file !!"));
}

TEST_F(LogoLibraryTest, WidthsOf2017PixelsAndMoreAreRefused) {
    EXPECT_EQ(add(bitmap("wide.bmp", 2017, 1)), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("at most 2016 pixels wide"));
    h.dialogs.messages.clear();
    EXPECT_EQ(add(bitmap("ok.bmp", 2016, 1)), Outcome::Done);
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoLibraryTest, ASizeFieldOf40000IsAccepted) {
    BmpBuilder b{filledPicture(32, 9984, '#')};
    b.gapBytes = 2; // 62 + 2 + 4 * 9984 = 40000
    const auto bytes = b.build();
    ASSERT_EQ(bytes[2], 0x40);
    ASSERT_EQ(bytes[3], 0x9C);
    EXPECT_EQ(add(bitmap("tall.bmp", bytes)), Outcome::Done);
    EXPECT_EQ(library.LogoTotalSize, 40000);

    // Taken as declared even when the file is far shorter.
    auto patched = monochromeBmp(filledPicture(8, 8, '#'));
    putLe32(patched, 2, 40000);
    EXPECT_EQ(add(bitmap("patched.bmp", patched)), Outcome::Done);
    EXPECT_EQ(library.LogoTotalSize, 80000);
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoLibraryTest, TheTotalMayReach131071ButNotMore) {
    // A listed total of 130,000 bytes, then bitmaps of 1,072 and 1,071 bytes.
    h.folder.write("Logo_Path", "1,\"/p/a.bmp\",\"a.bmp\",130000,8,8\r\n");
    LoadLogoList(services, library);
    const auto sized = [&](const std::string& name, std::uint32_t size) {
        BmpBuilder b{filledPicture(8, 8, '#')};
        b.gapBytes = size - 94;
        return bitmap(name, b.build());
    };
    const std::string before = listFile();
    EXPECT_EQ(add(sized("big.bmp", 1072)), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Total Logo sizes must under 128K Bytes!!!!"));
    EXPECT_EQ(library.LogoTotalSize, 130000);
    EXPECT_EQ(library.LogoCount, 1);
    EXPECT_EQ(library.Label4(), "127k/128k");
    EXPECT_EQ(listFile(), before);

    EXPECT_EQ(add(sized("fits.bmp", 1071)), Outcome::Done);
    EXPECT_EQ(library.LogoTotalSize, 131071);
    EXPECT_EQ(library.LogoCount, 2);
    EXPECT_EQ(library.Label4(), "128k/128k");
}

TEST_F(LogoLibraryTest, The256thLogoIsRefusedSilentlyWithoutReadingTheFile) {
    std::string file;
    for (int n = 1; n <= 255; ++n)
        file += std::to_string(n) + ",\"/p/a.bmp\",\"a.bmp\",10,8,8\r\n";
    h.folder.write("Logo_Path", file);
    LoadLogoList(services, library);
    ASSERT_EQ(library.LogoCount, 255);
    h.dialogs.files.push_back(FileChoice{h.folder.path() / "no such.bmp", "no such.bmp"});
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Nothing);
    EXPECT_EQ(h.dialogs.fileRequests.size(), 1u); // the dialog is shown
    EXPECT_THAT(h.dialogs.messages, IsEmpty());   // the file was not even read
    EXPECT_EQ(library.LogoCount, 255);
    EXPECT_EQ(listFile(), file);
}

TEST_F(LogoLibraryTest, PathsWithQuotesAreRefusedWithAClearMessage) {
    const auto c = bitmap("say \"hi\".bmp", 8, 8);
    EXPECT_EQ(add(c), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("double quote"));
    EXPECT_EQ(library.LogoCount, 0);
}

TEST_F(LogoLibraryTest, AListThatCannotBeWrittenLeavesTheLibraryAsItWas) {
    std::filesystem::create_directories(h.folder.path() / "Logo_Path" / "in the way");
    EXPECT_EQ(add(bitmap("a.bmp", 8, 8)), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("The logo list cannot be written"));
    EXPECT_EQ(library.LogoCount, 0);
    EXPECT_EQ(library.LogoTotalSize, 0);
    EXPECT_THAT(library.records, IsEmpty());
}

// --- preview ---

TEST(LogoPreviewTest, LargeLogosAreStretchedToTwelveTwipsAPixel) {
    const auto p = logoPreview({1, "/p/a.bmp", "a.bmp", 500, 281, 10});
    EXPECT_EQ(p.outcome, Outcome::Done);
    EXPECT_TRUE(p.stretch);
    EXPECT_EQ(p.widthTwips, 3372);
    EXPECT_EQ(p.heightTwips, 120);
    EXPECT_EQ(p.picture, "/p/a.bmp");
    EXPECT_EQ(p.Label7, "281");
    EXPECT_EQ(p.Label8, "10");
    EXPECT_TRUE(logoPreview({1, "a", "a", 1, 10, 351}).stretch);
}

TEST(LogoPreviewTest, OthersAreShownAtTheirOwnSize) {
    const auto p = logoPreview({1, "/p/a.bmp", "a.bmp", 500, 280, 350});
    EXPECT_FALSE(p.stretch);
    EXPECT_EQ(p.Label7, "280");
    EXPECT_EQ(p.Label8, "350");
}

TEST_F(LogoLibraryTest, ItemClickReadsTheRecordFromTheListFile) {
    const auto a = bitmap("a.bmp", 8, 8);
    const auto b = bitmap("b.bmp", 8, 8);
    // The record's width and height are shown, not the file's.
    h.folder.write("Logo_Path", line(1, a, 94, 8, 8) + line(2, b, 94, 300, 20));
    const auto p = ListView1_ItemClick(services, "2");
    EXPECT_EQ(p.outcome, Outcome::Done);
    EXPECT_EQ(p.picture, b.fullPath);
    EXPECT_TRUE(p.stretch);
    EXPECT_EQ(p.widthTwips, 3600);
    EXPECT_EQ(p.heightTwips, 240);
    EXPECT_EQ(p.Label7, "300");
    EXPECT_EQ(p.Label8, "20");
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(LogoLibraryTest, ItemClickOnAGoneBitmapSaysSo) {
    const auto a = bitmap("a.bmp", 8, 8);
    h.folder.write("Logo_Path", line(1, a, 94, 8, 8));
    std::filesystem::remove(a.fullPath);
    const auto p = ListView1_ItemClick(services, "1");
    EXPECT_EQ(p.outcome, Outcome::Refused);
    EXPECT_TRUE(p.picture.empty());
    EXPECT_EQ(p.Label7, "8");
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text,
                HasSubstr(a.fullPath.string() + " of logo 1 cannot be found"));
}

TEST_F(LogoLibraryTest, ItemClickBeyondTheListFileSaysSo) {
    const auto a = bitmap("a.bmp", 8, 8);
    h.folder.write("Logo_Path", line(1, a, 94, 8, 8));
    EXPECT_EQ(ListView1_ItemClick(services, "2").outcome, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("Logo 2 is no longer in the logo list")));
    h.dialogs.messages.clear();
    EXPECT_EQ(ListView1_ItemClick(services, "").outcome, Outcome::Nothing);
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

// --- clear ---

TEST_F(LogoLibraryTest, ClearEmptiesLibraryAndFileButKeepsTheBitmaps) {
    const auto a = bitmap("a.bmp", 8, 8);
    const auto b = bitmap("b.bmp", 16, 16);
    add(a);
    add(b);
    EXPECT_EQ(Logo_Clear_Click(services, library), Outcome::Done);
    EXPECT_EQ(library.LogoCount, 0);
    EXPECT_EQ(library.LogoTotalSize, 0);
    EXPECT_THAT(library.rows(), IsEmpty());
    EXPECT_EQ(library.Label3(), "0/255");
    EXPECT_EQ(library.Label4(), "0k/128k");
    ASSERT_TRUE(std::filesystem::exists(h.folder.path() / "Logo_Path"));
    EXPECT_EQ(listFile(), "");
    EXPECT_TRUE(std::filesystem::exists(a.fullPath));
    EXPECT_TRUE(std::filesystem::exists(b.fullPath));
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
    EXPECT_THAT(h.dialogs.questions, IsEmpty()); // no confirmation

    // The next add starts the file again with one line.
    EXPECT_EQ(add(b), Outcome::Done);
    EXPECT_EQ(listFile(), line(1, b, 126, 16, 16));
}

TEST_F(LogoLibraryTest, ClearOnAnEmptyListChangesNothing) {
    h.folder.write("Logo_Path", "not touched");
    EXPECT_EQ(Logo_Clear_Click(services, library), Outcome::Nothing);
    EXPECT_EQ(listFile(), "not touched");
    EXPECT_EQ(kPreviewEmptyWidthTwips, 4215);
    EXPECT_EQ(kPreviewEmptyHeightTwips, 4455);
}

} // namespace
} // namespace ordalia
