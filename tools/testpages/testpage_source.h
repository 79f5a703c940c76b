#pragma once

// The test page source language: one line of readable text per piece of a
// raw ESC/POS stream, assembled into the bytes the printer is sent.
//
// A line holds items separated by blanks; `#` starts a comment that runs to
// the line end (outside strings). Items:
//
//   ESC GS FS DLE LF CR HT ...  control code names, upper case: NUL SOH STX
//                               ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI
//                               DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN EM SUB
//                               ESC FS GS RS US, and SP (0x20), DEL (0x7F)
//   27  0x1B                    one byte, decimal or hexadecimal, 0 to 255
//   "Total\n"                   the string's bytes; escapes \\ \" \n \r \t
//                               \0 and \xHH; only printable ASCII may stand
//                               unescaped, so sources stay plain ASCII
//
// Directives start with a dot and take the rest of their line:
//
//   .chart TABLE FONT           a code page chart: ESC t TABLE, ESC M for
//                               FONT (A or B), a column heading, then the
//                               characters 0x20 to 0xFF in 14 rows of 16,
//                               each row led by its hexadecimal label ("20 "
//                               to "F0 "), a blank after the eighth (20
//                               columns, one line on either paper); leaves
//                               ESC t 0 and Font A
//   .raster WIDTH HEIGHT        GS v 0 with the drawn test picture (a frame,
//                               a radial star and rings, a dithered grey
//                               ramp); WIDTH a multiple of 8 from 64 to 2040
//                               dots, HEIGHT 64 to 2303 dots
//   .columns WIDTH "L" "R"      L and R padded apart with blanks to exactly
//                               WIDTH characters, then LF (prices aligned on
//                               the right edge)
//   .repeat COUNT items...      the items that follow, COUNT times (1 to
//                               65535)
//   .counted items...           one byte holding the number of bytes of the
//                               items that follow, then those bytes (the n
//                               of GS k m n d1...dn)
//
// `.repeat` and `.counted` may follow other items on their line and may not
// hold another directive. A whole page is at most kMaxPageSize bytes, the
// largest file the program sends. Errors name their line; assembling goes on
// to report every faulty line, and a page with any error has no bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::testpages {

// The longest test page file the program can send.
inline constexpr std::size_t kMaxPageSize = 655'351;

struct SourceError {
    int line = 0; // 1-based
    std::string message;
};

struct Assembly {
    std::vector<std::uint8_t> bytes;
    std::vector<SourceError> errors;

    bool ok() const { return errors.empty(); }
};

// Assembles a whole source text. Lines may end in LF or CR LF.
Assembly assemble(std::string_view source);

// "file:line: message", the form compilers use, so an editor or the build log
// leads straight to the line.
std::string describeError(std::string_view fileName, const SourceError& error);

} // namespace ordalia::testpages
