#include "common/text.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(1.4999), 1);
    EXPECT_EQ(roundHalfEven(1.5001), 2);
    // Kilobyte counters: 1536 and 2560 bytes both show 2.
    EXPECT_EQ(roundHalfEven(1536 / 1024.0), 2);
    EXPECT_EQ(roundHalfEven(2560 / 1024.0), 2);
    EXPECT_EQ(roundHalfEven(2561 / 1024.0), 3);
    EXPECT_EQ(roundHalfEven(65536 / 100.0), 655);
}

TEST(LeadingNumber, TakesTheDecimalNumberAtTheStart) {
    EXPECT_DOUBLE_EQ(leadingNumber("2"), 2.0);
    EXPECT_DOUBLE_EQ(leadingNumber("  2.5"), 2.5);
    EXPECT_DOUBLE_EQ(leadingNumber("3.5abc"), 3.5);
    EXPECT_DOUBLE_EQ(leadingNumber("-1"), -1.0);
    EXPECT_DOUBLE_EQ(leadingNumber("256 "), 256.0);
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("abc"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("-"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("1,5"), 1.0); // a comma is not a decimal point
}

TEST(NumberTexts, CaptionAndHexForms) {
    EXPECT_EQ(signedNumberText(5), " 5");
    EXPECT_EQ(signedNumberText(0), " 0");
    EXPECT_EQ(signedNumberText(100), " 100");
    EXPECT_EQ(signedNumberText(-3), "-3");
    EXPECT_EQ(hexText(0), "0");
    EXPECT_EQ(hexText(26), "1A");
    EXPECT_EQ(hexText(0xABCDEF), "ABCDEF");
}

} // namespace
} // namespace ordalia
