#include "link/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

TEST(SerialSettings, OfferedStringsParse) {
    for (const char* text : {"9600,n,8,1", "19200,n,8,1", "38400,n,8,1", "115200,n,8,1"}) {
        std::string error;
        const auto s = parseSerialSettings(text, &error);
        ASSERT_TRUE(s) << text << ": " << error;
        EXPECT_EQ(s->parity, 'n');
        EXPECT_EQ(s->dataBits, 8);
        EXPECT_EQ(s->stopBits, 1);
        EXPECT_EQ(s->bitsPerByte(), 10);
    }
    EXPECT_EQ(parseSerialSettings("115200,n,8,1", nullptr)->baud, 115200u);
    const auto odd = parseSerialSettings(" 4800 , O , 7 , 2 ", nullptr);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->parity, 'o');
    EXPECT_EQ(odd->bitsPerByte(), 11);
}

TEST(SerialSettings, MalformedStringsSayWhy) {
    struct Case {
        const char* text;
        const char* why;
    };
    for (const Case& c : {Case{"9600.n.8,1", "2 fields"}, Case{"", "1 fields"},
                          Case{"fast,n,8,1", "speed"}, Case{"9600,x,8,1", "parity"},
                          Case{"9600,n,9,1", "data bits"}, Case{"9600,n,8,3", "stop bits"},
                          Case{"9600,n,8,1,0", "5 fields"}, Case{"-9600,n,8,1", "speed"}}) {
        std::string error;
        EXPECT_FALSE(parseSerialSettings(c.text, &error)) << c.text;
        EXPECT_THAT(error, ::testing::HasSubstr(c.why)) << c.text;
    }
}

} // namespace
} // namespace ordalia
