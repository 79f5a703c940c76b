#pragma once

// A strict reader of the ESC/POS subset the shipped test pages use, written
// from the command reference independently of the assembler: it splits a
// stream into commands and text runs and refuses anything it does not know,
// any parameter out of range and any bar code whose data its symbology
// rejects, so a wrong byte in a page source fails a test.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ordalia::testpages::testing {

struct Command {
    std::size_t offset = 0;
    std::string name;                // "ESC a", "GS k", ... or "text" for printable bytes
    std::vector<std::uint8_t> bytes; // the whole command, or the text run
};

struct Walk {
    std::vector<Command> commands;
    std::string fault; // empty when the whole stream was read

    bool ok() const { return fault.empty(); }
    std::vector<const Command*> named(const std::string& name) const;
};

Walk walkEscPos(std::span<const std::uint8_t> stream);

// The widest printed line in dots, from the font (12 dots Font A, 9 Font B)
// and the width magnification of ESC ! and GS ! in force for each character.
int widestLineDots(const Walk& walk);

// The text runs printed while double height (ESC ! bit 4 or a GS ! height of
// 2 or more) was in force.
std::vector<std::string> tallText(const Walk& walk);

} // namespace ordalia::testpages::testing
