#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"
#include "logos/bmp_raster.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

class ProgressBar;

inline constexpr std::string_view kNoLogoListMessage = "no BMP files list on the AP !!";
inline constexpr std::string_view kLogoChoosePortMessage = "Please choice Port select !!";
inline constexpr std::string_view kTransmitDoneMessage = "Transmit Done!!";

// FS q: define the NV bit images; n and the image blocks follow.
inline constexpr std::array<std::uint8_t, 2> kDefineNvImages = {0x1C, 0x71};
// Sent after the blocks on the serial link only.
inline constexpr std::array<std::uint8_t, 3> kLogoStreamTail = {0x00, 0x00, 0x00};

// FS p i 0 (print NV bit image i in normal size), then GS V 66 0 (feed to the
// cutting position and cut partially).
std::array<std::uint8_t, 8> logoPrintCommand(std::uint8_t number);

// The blocks of every listed logo, assembled in LogoSendBuffer.
struct LogoStream {
    enum class Status {
        Ready,   // `length` bytes in LogoSendBuffer for `count` images
        Empty,   // Logo_Path holds no record
        Silent,  // a record numbered 0: the download ends without a word
        Refused, // `message` says which logo or line is at fault
    };
    Status status = Status::Empty;
    std::uint8_t count = 0; // LogoCount: the number of the last record read
    std::size_t length = 0; // L
    std::string message;
};

// Reads Logo_Path and converts each listed bitmap, as it is now, into its
// block: xL xH yL yH and the column data. Every bitmap must still be a
// readable monochrome BMP whose header fits and converts, and all blocks
// together must fit LogoSendBuffer; otherwise the stream is refused.
LogoStream buildLogoStream(const std::filesystem::path& programFolder, LogoBuffers& buffers);

// One bitmap converted on its own, as its block in FS q: xL xH yL yH and the
// column data. The same conversion and checks as a download.
struct LogoBlock {
    Outcome outcome = Outcome::Refused; // Done, or Refused with `message`
    std::vector<std::uint8_t> bytes;
    std::string message;
};
LogoBlock convertLogoBitmap(const std::filesystem::path& bitmap, LogoBuffers& buffers);

// The progress bar's value after byte i of L has been sent: i * 100 / (L - 1)
// in single precision, shown whole.
int logoProgressValue(std::size_t i, std::size_t length);

// "Download  Logo  to  Printer": the whole stream is built before the port is
// opened, then sent byte by byte. Sets LogoCount to the number of the last
// record read (left as it was when the stream is refused). The bar
// LogoProgressBar1 is visible only while the bytes go out.
Outcome Download_Logo_Click(const Services& services, const LinkChoice& choice,
                            LogoBuffers& buffers, std::uint8_t& LogoCount,
                            ProgressBar& LogoProgressBar1);

// Texts typed into logo_text for "Select :" are rounded half to even; numbers
// that are not a byte are refused with this message.
inline constexpr std::string_view kLogoNumberRangeMessage =
    "Please type the number of a logo from 0 to 255.";

// The logo number in the text, rounded half to even (a text without a number
// gives 0); nothing when it is outside 0 to 255.
std::optional<std::uint8_t> logoSelectNumber(std::string_view logo_text);

// "Print": FS p and a cut for each logo 1 to LogoCount ("All", logo_all set)
// or for the number typed in logo_text ("Select :"). With no port chosen it
// does nothing; an empty text opens and closes the port and sends nothing.
Outcome Print_Logo_Click(const Services& services, const LinkChoice& choice, std::uint8_t LogoCount,
                         bool logo_all, std::string_view logo_text);

} // namespace ordalia
