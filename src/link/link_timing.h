#pragma once

// How the printer link paces itself. These belong to the link alone (and to
// its tests); an operation goes by what PrinterLink's calls promise.

#include <cstddef>
#include <cstdint>

namespace ordalia {

// RS_ACK: a reply whose first byte is kAckByte accepts; none within
// kReplyWaitMs is none.
inline constexpr std::uint8_t kAckByte = 0xAA;
inline constexpr std::uint32_t kReplyWaitMs = 10000;
inline constexpr std::uint32_t kReplyPollUs = 200; // between looks at the input queue
// Where the port cannot tell what the printer has taken, a transfer ends by
// asking its status; the answer must come within this.
inline constexpr std::uint32_t kConfirmWaitMs = kReplyWaitMs;

// Parallel port registers and handshake.
inline constexpr std::uint16_t kLptBase[2] = {0x378, 0x278};
inline constexpr std::uint8_t kParallelReadyMask = 0x80;
inline constexpr std::uint8_t kStrobeOn = 9;
inline constexpr std::uint8_t kStrobeOff = 8;
// The ready wait gets a limit: a printer that is off line or out of
// paper for this long is reported instead of waited for forever.
inline constexpr std::uint32_t kParallelReadyLimitMs = 10000;

// Byte-at-a-time sending is written in runs: the link holds the bytes it is
// given until they would take kRunLineUs on the line (never more than
// kRunMaxBytes, at least one byte), then writes and drains them as one block.
inline constexpr std::uint64_t kRunLineUs = 5000;
inline constexpr std::size_t kRunMaxBytes = 256;

// The output-queue drain sleeps between polls, between these bounds. While
// its own reckoning says the line has more than kDrainLeadUs (or two byte
// times, if longer) still to send, it sleeps on; within that lead it returns
// as soon as the port's count is 0.
inline constexpr std::uint64_t kDrainMinSleepUs = 20;
inline constexpr std::uint64_t kDrainMaxSleepUs = 10000;
inline constexpr std::uint64_t kDrainLeadUs = 2000;
// Far ahead of the line the drain still looks at the count once a USB frame.
inline constexpr std::uint64_t kDrainLookUs = 1000;
// With no line behind the port the count is all there is to go by.
inline constexpr std::uint64_t kNoLineLookUs = 200;
// ... and, while the count does not fall, ever less often, down to this.
inline constexpr std::uint64_t kNoLineSlowLookUs = 3200;
// With no line a run of byte-at-a-time data is not drained to empty: up to
// this many bytes may stay unacknowledged, so a network printer that delays
// its acknowledgements does not hold a page up between runs. Every other
// operation of the link drains to empty first.
inline constexpr std::size_t kNoLineRunWindow = 16384;

// Every wait of the link lets the window process its events this often, so
// the window repaints and shows its progress through a 10 s reply wait or a
// minute of byte-at-a-time sending. A second transfer started from one of
// these pumps is refused by the transfer gate.
inline constexpr std::uint32_t kPumpIntervalMs = 50;

} // namespace ordalia
