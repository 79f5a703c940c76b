#include "support/bytes.h"
#include "support/harness.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>

namespace ordalia {
namespace {

using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;
using enum Outcome;

// "testpage/rec1.p" holds `size` bytes, -1 meaning no such file. Port 0 is the
// blank entry of the port list, -1 the parallel link. A send that is Done puts
// exactly its bytes on its port, one drained write a byte between the open and
// the close; any other opens nothing and sends nothing.
struct Case {
    const char* name;
    bool testPage; // the "Test Page" button rather than a page button
    long size;
    int port;
    Outcome outcome;
    const char* message; // a part of the one message shown; "": none
};

const Case kCases[] = {
    {"page", false, 300, 1, Done, ""},
    {"empty page: open and close", false, 0, 1, Done, ""},
    {"longest page goes whole", false, 655351, 1, Done, ""},
    {"one byte more is refused", false, 655352, 1, Refused, "longer than 655351 bytes"},
    {"missing page", false, -1, 1, Refused, "rec1.p does not exist."},
    {"blank port entry: read, then refused", false, 10, 0, Refused, "Please Choose the com port !"},
    {"parallel link", false, 3, -1, Done, ""},
    {"Test Page", true, -1, 1, Done, ""},
    {"Test Page, blank port entry", true, -1, 0, Refused, "Please Choose the com port !"},
    {"Test Page has no parallel side", true, -1, -1, Nothing, ""},
};

TEST(TestPages, WhatReachesThePortAndWhatIsShown) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.choice.serialSelected = c.port >= 0;
        h.choice.portIndex = std::max(c.port, 0);
        const Bytes page = pseudoRandomBytes(std::max(c.size, 0L), 7);
        if (c.size >= 0)
            h.folder.write("testpage/rec1.p", page);

        EXPECT_EQ(c.testPage ? SendSelfTestRequest(h.services(), h.choice)
                             : SendTestPage(h.services(), h.choice, "testpage/rec1.p"),
                  c.outcome);
        const Bytes sent = c.testPage ? Bytes{0x1B /*ESC*/, 0x88 /*own test page*/} : page;
        const bool done = c.outcome == Done;
        EXPECT_EQ(c.port < 0 ? h.parallel.data(0x378) : h.serial.written, done ? sent : Bytes{});
        EXPECT_EQ(h.serial.events.size(), done && c.port > 0 ? sent.size() + 2 : 0);
        EXPECT_THAT(h.dialogs.texts(),
                    ::testing::AllOf(::testing::SizeIs(*c.message ? 1 : 0),
                                     ::testing::Each(::testing::HasSubstr(c.message))));
    }
}

TEST(TestPages, CompareFilesShowsEachDifferingOffsetInHex) {
    Harness h;
    const std::string one = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    h.folder.write("1", one);
    for (const std::string& two :
         {one, "x" + one.substr(1, 25) + "x" + one.substr(27), one.substr(0, 30)}) {
        h.folder.write("2", two);
        CompareFiles(h.services());
    }
    EXPECT_EQ(h.dialogs.texts(),
              (std::vector<std::string>{"0", "1A", "File 2 ends at offset 1E; file 1 is longer."}));
}

} // namespace
} // namespace ordalia
