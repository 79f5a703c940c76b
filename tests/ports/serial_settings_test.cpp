#include "ports/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

TEST(SerialSettings, ParsesTheFourFieldsOrSaysWhy) {
    // What parses is shown as "baud parity data stop / bits on the line".
    const std::pair<const char*, const char*> kCases[] = {
        {"9600,n,8,1", "9600 n 8 1 / 10"},         {"115200,n,8,1", "115200 n 8 1 / 10"},
        {" 4800 , O , 7 , 2 ", "4800 o 7 2 / 11"}, // typed by hand
        {"9600.n.8,1", "there are 2 fields"},      {"", "there are 1 fields"},
        {"9600,n,8,1,0", "there are 5 fields"},    {"fast,n,8,1", "the speed \"fast\""},
        {"-9600,n,8,1", "the speed \"-9600\""},    {"9600,x,8,1", "the parity \"x\""},
        {"9600,n,9,1", "the data bits \"9\""},     {"9600,n,8,3", "the stop bits \"3\""},
    };
    for (const auto& [text, expected] : kCases) {
        SCOPED_TRACE(text);
        std::string error;
        const auto s = parseSerialSettings(text, &error);
        if (!s) {
            EXPECT_THAT(error, ::testing::HasSubstr(expected));
            continue;
        }
        EXPECT_EQ(std::to_string(s->baud) + " " + s->parity + " " + std::to_string(s->dataBits) +
                      " " + std::to_string(s->stopBits) + " / " + std::to_string(s->bitsPerByte()),
                  expected);
    }
}

} // namespace
} // namespace ordalia
