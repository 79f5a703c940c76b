// The logo page's operations over the fake ports: what they write to
// Logo_Path, what they send, and what they say.

#include "link/transfer_gate.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

// Bytes in hexadecimal; "FF80*20" is FF 80 twenty times.
Bytes hex(const std::string& text) {
    Bytes out;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const auto star = word.find('*');
        const std::size_t times = star == std::string::npos ? 1 : std::stoul(word.substr(star + 1));
        for (std::size_t n = 0; n < times; ++n)
            for (std::size_t i = 0; i + 1 < std::min(star, word.size()); i += 2)
                out.push_back(std::uint8_t(std::stoul(word.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// The bytes with a little-endian 32-bit value put at `at`.
Bytes withLe32(Bytes bytes, std::size_t at, std::uint32_t value) {
    putLe32(bytes, at, value);
    return bytes;
}

// A path as an earlier tool wrote it, in the system code page: not UTF-8.
const std::string kCodePagePath = "C:\\logos\\caf\xE9, \xFF.bmp";

class LogosTest : public ::testing::Test {
protected:
    FileChoice bitmap(const std::string& name, const Bytes& bytes) {
        return {h.folder.write("pictures/" + name, bytes), name};
    }
    Outcome add(const FileChoice& chosen) {
        return AddLogoFile(services, library, *buffers, chosen);
    }
    // Adds the files as logo1.bmp, logo2.bmp ...
    void list(const std::vector<Bytes>& files) {
        for (const Bytes& file : files)
            ASSERT_EQ(add(bitmap("logo" + std::to_string(library.LogoCount + 1) + ".bmp", file)),
                      Outcome::Done);
    }
    std::string listFile() const {
        const Bytes bytes = h.folder.read("Logo_Path");
        return {bytes.begin(), bytes.end()};
    }
    Outcome download() { return Download_Logo_Click(services, h.choice, *buffers, LogoCount, bar); }

    Harness h;
    Services services = h.services();
    LogoLibrary library;
    std::unique_ptr<LogoBuffers> buffers = makeLogoBuffers();
    std::uint8_t LogoCount = 7;
    RecordingProgressBar bar;
    const Bytes eight = monochromeBmp(filledPicture(8, 8, '#')); // 94 bytes
};

// --- the library and Logo_Path ---

TEST_F(LogosTest, LogoPathIsQuotedFieldsAndCrLfWrittenAnewThenAppended) {
    h.folder.write("Logo_Path", "left over from an earlier library\r\n");
    const std::string shop = "1,\"" + h.folder.path().string() +
                             "/pictures/shop, front.bmp\",\"shop, front.bmp\",2862,200,100\r\n";
    h.dialogs.files.push_back(
        bitmap("shop, front.bmp", monochromeBmp(filledPicture(200, 100, '#'))));
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Done);
    EXPECT_EQ(h.dialogs.fileRequests[0].initialFolder, h.folder.path());
    EXPECT_EQ(listFile(), shop);
    const auto b = bitmap("b.bmp", eight);
    const std::string second = "2,\"" + b.fullPath.string() + "\",\"b.bmp\",94,8,8\r\n";
    EXPECT_EQ(add(b), Outcome::Done);
    EXPECT_EQ(listFile(), shop + second);
    EXPECT_EQ(library.Label3() + " " + library.Label4(), "2/255 3k/128k"); // 2956 bytes
    // A hand-edited list without its last line end: the record starts a line.
    h.folder.write("Logo_Path", shop.substr(0, shop.size() - 2));
    LoadLogoList(services, library);
    EXPECT_EQ(add(b), Outcome::Done);
    EXPECT_EQ(listFile(), shop + second);
    // After a damaged list the next add writes what was read, byte for byte.
    const std::string first = "1,\"" + kCodePagePath + "\",\"caf\xE9.bmp\",1000,8,8\r\n";
    h.folder.write("Logo_Path", first + "2,\"x\"\r\n");
    LoadLogoList(services, library);
    EXPECT_EQ(add(b), Outcome::Done);
    EXPECT_EQ(listFile(), first + second);
}

TEST_F(LogosTest, LoadListsTheLogosUpToTheFirstDamagedLine) {
    // Blanks around fields, a comma inside quotes, a bare LF and blank lines.
    const std::string first = " 1 , \"/p/a, b.bmp\" , \"a\" , 2560 , 8 , 8\n\r\n\n";
    const std::string number = "its number, size, width or height is not a whole number in range";
    const std::pair<std::string, std::string> cases[] = {
        {"2,\"b\",\"b\",5,6\r\n", "it has 5 fields instead of 6"},
        {"2,\"b,\"b\",5,6,7\r\n", "a quoted field is not closed properly"},
        {"256,\"b\",\"b\",5,6,7\r\n", number},
        {"2,\"b\",\"b\",-5,6,7\r\n", number},
        {"2,\"b\",\"b\",5,2147483648,7\r\n", number},
        {"2,\"b\",\"b\",5,6,7.5\r\n", number},
        {"3,\"b\",\"b\",5,6,7\r\n", "the logo there is numbered 3 instead of 2"},
    };
    for (const auto& [line, problem] : cases) {
        SCOPED_TRACE(line);
        h.folder.write("Logo_Path", first + line + "3,\"/c\",\"c\",0,1,1");
        h.dialogs.messages.clear();
        LoadLogoList(services, library);
        EXPECT_THAT(library.rows(), ElementsAre(LogoListRow{"1", "a", "2560"}));
        EXPECT_EQ(library.records[0].path, "/p/a, b.bmp");
        EXPECT_EQ(library.Label3() + " " + library.Label4(), "1/255 2k/128k"); // 2.5 goes to 2
        EXPECT_THAT(h.dialogs.texts(),
                    ElementsAre("The logo list " + (h.folder.path() / "Logo_Path").string() +
                                " is damaged at line 4: " + problem +
                                ". The logos before it are listed; adding a logo writes the list "
                                "anew without the damaged part."));
        // Merely starting the program loses nothing.
        EXPECT_EQ(listFile(), first + line + "3,\"/c\",\"c\",0,1,1");
    }
}

TEST_F(LogosTest, AddRefusesWhatCannotBeSentAndSaysWhy) {
    const auto sized = [](std::uint32_t size) { // 32 pixels wide, rows of 4 bytes
        BmpBuilder b{filledPicture(32, (size - 62) / 4, '#')};
        b.gapBytes = (size - 62) % 4;
        return b.build();
    };
    const std::string total = "Total Logo sizes must under 128K Bytes!!!!";
    // The name holds a double quote, which is checked last.
    const std::string cannot = "The bitmap say \"x\".bmp cannot be a logo: ";
    const std::string mismatch = "its file size field does not match its width and height.";
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes(200001, 'x'), "File too large"},
        {sized(200000), total}, // 200000 bytes are read
        {{}, "This is not a BMP file !!"},
        {BmpBuilder{filledPicture(8, 8, '#'), 1, 24}.build(), "This is not a 2-bit BMP file !!"},
        {BmpBuilder{filledPicture(8, 8, '#'), 2, 1}.build(), "This is not a 2-bit BMP file !!"},
        {withLe32(eight, 22, 0xFFFFFFF8), "File too large"}, // a negative height
        {withLe32(eight, 2, 0x80000000), "File too large"},
        // Bytes 26 and 28 of the file before were 1; only this file counts.
        {{'B', 'M', 0, 0, 0}, "This is not a 2-bit BMP file !!"},
        {withLe32(eight, 18, 0x80000000), "File too large"},
        {withLe32(eight, 10, 0x8000), "File too large"}, // a data offset of 32768
        {withLe32(eight, 2, 0x7FFFFFFF), total},         // the largest size that fits
        {sized(40315), total},                           // one byte over 131071 with 90,757 listed
        {withLe32(eight, 22, 0), cannot + "its height is 0."},
        {withLe32(eight, 18, 0), cannot + "its width is 0."},
        {monochromeBmp(filledPicture(2017, 1, '#')),
         cannot + "it is wider than 2016 pixels, the widest a logo can be."},
        {withLe32(eight, 2, 40000), cannot + mismatch}, // rows of 4992 bytes by the size field
        {withLe32(eight, 18, 40), cannot + mismatch},   // 5 bytes of pixels a row in rows of 4
        {withLe32(eight, 2, 62 + 7),
         cannot + "its file size field leaves no room for picture rows after "
                  "the picture data offset."},
        {eight, "The name or folder of the bitmap " + h.folder.path().string() +
                    "/pictures/say \"x\".bmp" +
                    " holds a double quote, a line break or a character that the logo list "
                    "cannot record. Please rename it and add it again."},
    };
    const std::string listed = "1,\"/p/big.bmp\",\"big.bmp\",90757,8,8\r\n";
    h.folder.write("Logo_Path", listed);
    LoadLogoList(services, library);
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        h.dialogs.messages.clear();
        EXPECT_EQ(add(bitmap("say \"x\".bmp", bytes)), Outcome::Refused);
        EXPECT_THAT(h.dialogs.messages, ElementsAre(Shown{message, ""}));
        EXPECT_EQ(library.LogoTotalSize, 90757);
        EXPECT_EQ(listFile(), listed);
    }
    // The widest logo, then a size field of 40000 (40 9C 00 00) up to 131071.
    EXPECT_EQ(add(bitmap("wide.bmp", monochromeBmp(filledPicture(2016, 1, '#')))), Outcome::Done);
    EXPECT_EQ(add(bitmap("tall.bmp", sized(40000))), Outcome::Done);
    EXPECT_EQ(library.Label4(), "128k/128k");
}

TEST_F(LogosTest, AddDoesNothingWhenFullAndRefusesWhenTheListCannotBeWritten) {
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Nothing);   // cancelled
    h.dialogs.files.push_back(FileChoice{bitmap("a.bmp", eight).fullPath, ""}); // no name
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Nothing);
    EXPECT_EQ(Logo_Clear_Click(services, library), Outcome::Nothing);
    std::filesystem::create_directories(h.folder.path() / "Logo_Path" / "in the way");
    EXPECT_EQ(add(bitmap("a.bmp", eight)), Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(::testing::MatchesRegex(
                                       "The logo list cannot be written \\(cannot replace .*\\)\\. "
                                       "The logo was not added\\.")));
    EXPECT_THAT(library.records, IsEmpty());
    std::filesystem::remove_all(h.folder.path() / "Logo_Path");
    std::string full;
    for (int n = 1; n <= 255; ++n)
        full += std::to_string(n) + ",\"/p/a.bmp\",\"a.bmp\",10,8,8\r\n";
    h.folder.write("Logo_Path", full);
    LoadLogoList(services, library);
    // The 256th is not even read: no word about a file that is not there.
    h.dialogs.files.push_back(FileChoice{h.folder.path() / "no such.bmp", "no such.bmp"});
    EXPECT_EQ(Logo_Add_Click(services, library, *buffers), Outcome::Nothing);
    EXPECT_EQ(h.dialogs.fileRequests.size(), 3u);
    EXPECT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(listFile(), full);
}

// --- the download: raster conversion and FS q ---

TEST_F(LogosTest, OneFsQWithTheColumnDataOfEveryListedLogo) {
    // FS q (1C 71), n (the last number), then each logo's xL xH yL yH and its
    // dot columns from the left, bands from the top (bit 7 the band's top
    // row), then three zeros.
    BmpBuilder gap{{"########", "....####"}};
    gap.gapBytes = 1;
    const std::pair<std::vector<Bytes>, std::string> cases[] = {
        // The bottom row is stored first; bytes 12 and 13, the upper half of
        // the data offset, are never read.
        {{withLe32(monochromeBmp({"########........", "........########"}), 10, 0xFF01003E)},
         "1C71 01 02000100 80*8 40*8 000000"},
        {{monochromeBmp(filledPicture(20, 9, '#'))}, "1C71 01 03000200 FF80*20 00*8 000000"},
        {{monochromeBmp(filledPicture(8, 2048, '#'))}, "1C71 01 01000001 FF*2048 000000"},
        // Padding bits of 0 in the file would print; columns 13 to 15 stay blank.
        {{monochromeBmp(filledPicture(13, 1, '#'))}, "1C71 01 02000100 80*13 00*3 000000"},
        // A 1 bit is blank though the palette makes colour 1 black, colour 0 white.
        {{withLe32(withLe32(monochromeBmp(filledPicture(8, 8, '.')), 54, 0xFFFFFF), 58, 0)},
         "1C71 01 01000100 00*8 000000"},
        // H 2 and a size field that ends a row before the file: the row
        // stored last is not used.
        {{withLe32(withLe32(monochromeBmp({"########", "##..##..", "....####"}), 22, 2), 2, 70)},
         "1C71 01 01000100 80800000 C0C04040 000000"},
        // S - O = 9 over H 2: rows of 4, the byte at O left out.
        {{gap.build()}, "1C71 01 01000100 80*4 C0*4 000000"},
        // The later logos read raster rows the first one filled: each starts clean.
        {{eight, monochromeBmp(filledPicture(16, 1, '#')), monochromeBmp({"#"})},
         "1C71 03 01000100 FF*8 02000100 80*16 01000100 80 00*7 000000"},
    };
    for (const auto& [files, wire] : cases) {
        SCOPED_TRACE(wire);
        Logo_Clear_Click(services, library);
        list(files);
        h.serial.written.clear();
        EXPECT_EQ(download(), Outcome::Done);
        EXPECT_EQ(h.serial.written, hex(wire));
        EXPECT_EQ(LogoCount, files.size());
    }
}

TEST_F(LogosTest, DownloadSendsByteByByteThenClosesThenSaysSo) {
    list({eight});
    h.dialogs.onMessage = [&](const Shown&) { EXPECT_FALSE(h.serial.isOpen() || bar.visible); };
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_EQ(h.serial.events.size(), 1 + 1 + 1u); // open, 18 bytes in one run, close
    EXPECT_THAT(bar.values, ElementsAre(0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 90, 100));
    EXPECT_THAT(bar.visibility, ElementsAre(true, false));
    // The parallel link: no port, no zeros after the data. The bitmap is
    // sent as it is now, not at the size it was added with.
    h.choice.serialSelected = false;
    h.choice.portIndex = 0;
    h.folder.write("pictures/logo1.bmp", monochromeBmp(filledPicture(16, 8, '#')));
    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_EQ(h.parallel.data(0x378), hex("1C71 01 02000100 FF*16"));
    EXPECT_EQ(h.serial.events.size(), 3u);
    EXPECT_EQ(h.dialogs.texts(), std::vector<std::string>(2, "Transmit Done!!"));
}

TEST_F(LogosTest, DownloadRefusalsNameTheLogoAndSendNothing) {
    const std::string p2 = (h.folder.path() / "pictures" / "logo2.bmp").string();
    const std::string again = " Nothing was sent. Please clear the list and add the logos again.";
    const auto redraw = [&](const Bytes& now) { h.folder.write("pictures/logo2.bmp", now); };
    struct Case {
        std::function<void()> edit;
        std::string message;        // empty: none
        std::uint8_t LogoCount = 7; // left as it was
    };
    const Case cases[] = {
        {[&] { std::filesystem::remove(p2); },
         "The file " + p2 + " does not exist. It is logo 2 of the list." + again},
        {[&] { redraw(Bytes(94, 'X')); },
         "The file " + p2 + " (logo 2) is no longer a monochrome BMP file." + again},
        {[&] { redraw(withLe32(eight, 22, 0xFF000008)); },
         "The header of the bitmap " + p2 + " (logo 2) no longer fits." + again},
        {[&] { redraw(withLe32(eight, 2, 40030)); }, // rows of 4996 bytes by the size field
         "The bitmap " + p2 +
             " (logo 2) has changed since it was added: its file size field "
             "does not match its width and height." +
             again},
        {[&] { h.folder.write("Logo_Path", formatLogoRecord(library.records[0]) + "2,\"x\"\r\n"); },
         "The logo list " + (h.folder.path() / "Logo_Path").string() +
             " is damaged at line 2: it has 2 fields instead of 6. Nothing was sent."},
        // 2016 x 1 logos take 314 bytes as files but 4 + 2016 in the stream.
        {[&] { list(std::vector(99, monochromeBmp(filledPicture(2016, 1, '#')))); },
         "The logos need more than the 200001 bytes one download can hold (flat, wide logos take "
         "the most room). Nothing was sent; please remove some logos from the list."},
        {[&] { h.folder.write("Logo_Path", "0,\"/p/a.bmp\",\"a.bmp\",94,8,8\r\n"); }, "", 0},
        {[&] { h.choice.portIndex = 0; }, "Please choice Port select !!", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Logo_Clear_Click(services, library);
        list({eight, eight});
        h.dialogs.messages.clear();
        c.edit();
        EXPECT_EQ(download(), c.message.empty() ? Outcome::Nothing : Outcome::Refused);
        EXPECT_EQ(h.dialogs.texts(), c.message.empty() ? std::vector<std::string>{}
                                                       : std::vector<std::string>{c.message});
        EXPECT_EQ(LogoCount, c.LogoCount);
    }
    EXPECT_THAT(h.serial.events, IsEmpty());
    EXPECT_THAT(bar.visibility, IsEmpty());
}

// --- the print ---

TEST_F(LogosTest, PrintSendsFsPAndACutPerLogo) {
    // FS p n 0 (normal size), then GS V 66 0 (feed and cut partially).
    h.choice.serialSelected = false; // printing takes the serial port all the same
    EXPECT_EQ(Print_Logo_Click(services, h.choice, 3, true, "2"), Outcome::Done);
    EXPECT_EQ(Print_Logo_Click(services, h.choice, 0, true, ""), Outcome::Nothing);
    EXPECT_EQ(h.serial.written, hex("1C700100 1D564200 1C700200 1D564200 1C700300 1D564200"));
    // "Select :" takes the number the text starts with, a half going to even.
    const std::pair<const char*, const char*> typed[] = {
        {"2", "02"},      {"2.5", "02"},  {"3.5", "04"}, {"2.51", "03"}, {" 7 logos", "07"},
        {"logo 7", "00"}, {"-0.5", "00"}, {"255", "FF"}, {"", ""}};
    for (const auto& [text, logo] : typed) {
        h.serial.written.clear();
        Print_Logo_Click(services, h.choice, 9, false, text);
        EXPECT_EQ(h.serial.written, hex(*logo ? "1C70" + std::string(logo) + "00 1D564200" : ""))
            << text;
    }
    // Each print opened and closed the port, "All" of none too; its bytes went in one run.
    EXPECT_EQ(h.serial.events.size(), (2 + 1) + 2 + 8 * (2 + 1) + 2u);
    for (const char* text : {"255.5", "-1", "99999999999999999999999"})
        EXPECT_EQ(Print_Logo_Click(services, h.choice, 9, false, text), Outcome::Refused) << text;
    h.choice.portIndex = 0; // no port chosen: nothing, not a word
    EXPECT_EQ(Print_Logo_Click(services, h.choice, 3, true, ""), Outcome::Nothing);
    EXPECT_EQ(Print_Logo_Click(services, h.choice, 3, false, "999"), Outcome::Nothing);
    TransferLock running(h.gate); // a click while another transfer pumps events
    EXPECT_EQ(Print_Logo_Click(services, h.choice, 1, true, ""), Outcome::Refused);
    EXPECT_EQ(download(), Outcome::Refused);
    EXPECT_EQ(h.serial.events.size(), 31u);
    const std::string range = "Please type the number of a logo from 0 to 255.";
    EXPECT_THAT(h.dialogs.texts(),
                ElementsAre(range, range, range, kTransferBusyMessage, kTransferBusyMessage));
}

} // namespace
} // namespace ordalia
