#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ordalia {

// A whole number in the form status captions use: a blank before a
// non-negative number, a minus sign before a negative one (5 -> " 5").
std::string signedNumberText(long long value);

// Rounds to the nearest whole number, a half going to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
long long roundHalfEven(double value);

// The decimal number at the start of `text` after leading blanks ("12abc" ->
// 12, "2.5" -> 2.5, "-1" -> -1); 0 when the text does not start with one.
double leadingNumber(std::string_view text);

// Upper-case hexadecimal without prefix or leading zeros (26 -> "1A").
std::string hexText(std::uint64_t value);

// The text with ASCII letters in lower case, for comparing typed words.
std::string lowerAscii(std::string_view text);

// The text without the blanks before and after it.
std::string_view trimBlanks(std::string_view text);

} // namespace ordalia
