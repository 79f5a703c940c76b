// Code page font files and the "Codepage" / "model_name" texts come from
// beside the program and may be edited by hand; their readers must take any
// bytes without crashing or reading out of bounds.

#include "codepages/code_page_font.h"
#include "codepages/code_page_table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)ordalia::parseCodePageFont(text);
    (void)ordalia::parseCodepageList(text, "Codepage");
    (void)ordalia::firstField(text);

    // Random inputs seldom hold the 6,144 Font A lines that come before the
    // "[FONT B]" check. An input that names that heading anywhere is also read
    // behind that many empty rows (which read as 0): it stands where the
    // heading belongs and gives the Font B rows, with empty rows after it so
    // that a short input still reaches the end of the font. Reading those 10
    // thousand lines is most of a run's time, so inputs that cannot pass the
    // heading are spared it.
    if (text.find(ordalia::kFontBHeading) != std::string_view::npos) {
        static const std::string fontA = "[FONT A]\r\n" + std::string(ordalia::kFontALines, '\n');
        std::string deep = fontA;
        deep.append(text);
        deep.append(ordalia::kFontBLines, '\n');
        (void)ordalia::parseCodePageFont(deep);
    }
    return 0;
}
