#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <string_view>

namespace ordalia {

// The longest test file that can be sent (TestPageBuffer).
inline constexpr std::size_t kTestPageBufferSize = 655351;

inline constexpr std::string_view kChoosePortMessage = "Please Choose the com port !";

// The printer's own test page: ESC 0x88.
inline constexpr std::array<std::uint8_t, 2> kSelfTestRequest = {0x1B, 0x88};

struct TestPageButton {
    std::string_view control; // object name of the button
    std::string_view caption;
    std::string_view file; // relative to the program's folder
    bool shown;
};

inline constexpr std::array<TestPageButton, 11> kTestPageButtons = {{
    {"test_rec1", "Receipt 1", "testpage/rec1.p", true},
    {"test_rec2", "Receipt 2", "testpage/rec2.p", true},
    {"test_rec3", "Receipt 3", "testpage/rec3.p", true},
    {"test_rec4", "Receipt 4", "testpage/rec4.p", true},
    {"test_FontSize", "Font Size", "testpage/FontSize.p", true},
    {"test_BitMap", "Bitmap", "testpage/bmp1.p", true},
    {"test_codepageA", "Code Page (Font A)", "testpage/codepageA.p", true},
    {"test_codepageB", "Code Page (Font B)", "testpage/codepageB.p", true},
    {"test_barcode", "Barcode Test", "testpage/barpic-a.p", true},
    {"test_cashdrawer", "Cash Drawer Test", "testpage/cashdrawer.p", true},
    {"test_cutter", "Cutter Test", "testpage/cutter.p", false},
}};

// Copies the test file byte for byte to the printer. A missing, unreadable or
// oversized file is refused with a message before anything is opened.
Outcome SendTestPage(const Services& services, const LinkChoice& choice,
                     std::string_view relativeFile);
// The same for a file anywhere (the command line's FILE).
Outcome SendTestFile(const Services& services, const LinkChoice& choice,
                     const std::filesystem::path& path);

// "Test Page": asks the printer for its own test page.
Outcome SendSelfTestRequest(const Services& services, const LinkChoice& choice);

// The developer comparison of the files "1" and "2" in the program's folder:
// one message per differing offset, in upper-case hexadecimal.
void CompareFiles(const Services& services);

} // namespace ordalia
