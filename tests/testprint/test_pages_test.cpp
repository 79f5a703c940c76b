#include "support/bytes.h"
#include "support/harness.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>

namespace ordalia {
namespace {

using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;
using enum Outcome;

// "testpage/rec1.p" holds `size` bytes. Port 0 is the blank entry of the port
// list, -1 the parallel link. A send that is Done puts exactly its bytes on its
// port, one drained write a byte between the open and the close; any other
// opens nothing and sends nothing.
struct Case {
    const char* name;
    const char* file; // the page button's file; nullptr: the "Test Page" button
    std::size_t size;
    int port;
    Outcome outcome;
    const char* message; // a part of the one message shown; "": none
};

const Case kCases[] = {
    {"page", "testpage/rec1.p", 300, 1, Done, ""},
    {"empty page: open and close", "testpage/rec1.p", 0, 1, Done, ""},
    {"longest page goes whole", "testpage/rec1.p", 655351, 1, Done, ""},
    {"one byte more is refused", "testpage/rec1.p", 655352, 1, Refused, "than 655351 bytes"},
    {"missing page", "testpage/rec2.p", 3, 1, Refused, "rec2.p does not exist."},
    {"blank port entry", "testpage/rec1.p", 3, 0, Refused, "Please Choose the com port !"},
    {"missing page, blank port: file first", "testpage/rec2.p", 3, 0, Refused, "rec2.p does not"},
    {"parallel link", "testpage/rec1.p", 3, -1, Done, ""},
    {"Test Page", nullptr, 0, 1, Done, ""},
    {"Test Page, blank port entry", nullptr, 0, 0, Refused, "Please Choose the com port !"},
    {"Test Page has no parallel side", nullptr, 0, -1, Nothing, ""},
};

TEST(TestPages, WhatReachesThePortAndWhatIsShown) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.choice.serialSelected = c.port >= 0;
        h.choice.portIndex = std::max(c.port, 0);
        const Bytes page = pseudoRandomBytes(c.size, 7);
        h.folder.write("testpage/rec1.p", page);
        EXPECT_EQ(c.file ? SendTestPage(h.services(), h.choice, c.file)
                         : SendSelfTestRequest(h.services(), h.choice),
                  c.outcome);
        Bytes sent = c.file ? page : Bytes{0x1B /*ESC*/, 0x88 /*own test page*/};
        sent.resize(c.outcome == Done ? sent.size() : 0);
        EXPECT_EQ(c.port < 0 ? h.parallel.data(0x378) : h.serial.written, sent);
        const std::size_t runs = (sent.size() + 57) / 58; // 5 ms of line at 115200 a write
        EXPECT_EQ(h.serial.events.size(), c.outcome == Done && c.port > 0 ? runs + 2 : 0);
        EXPECT_THAT(h.dialogs.texts(),
                    ::testing::AllOf(::testing::SizeIs(*c.message ? 1 : 0),
                                     ::testing::Each(::testing::HasSubstr(c.message))));
    }
}

// File 1 against itself, against one that differs at offsets 0 and 26, and
// against a shorter one.
TEST(TestPages, CompareFilesShowsEachDifferingOffsetInHex) {
    Harness h;
    h.folder.write("1", "abcdefghijklmnopqrstuvwxyz!");
    for (const char* two :
         {"abcdefghijklmnopqrstuvwxyz!", "Xbcdefghijklmnopqrstuvwxyz?", "abcdefghij"}) {
        h.folder.write("2", two);
        CompareFiles(h.services());
    }
    EXPECT_EQ(h.dialogs.texts(),
              (std::vector<std::string>{"0", "1A", "File 2 ends at offset A; file 1 is longer."}));
}

} // namespace
} // namespace ordalia
