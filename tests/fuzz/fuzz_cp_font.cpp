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

    // Short inputs rarely get past the Font A lines; repeating them behind a
    // proper heading reaches the "[FONT B]" check and the Font B rows.
    if (size > 0 && size < 4096) {
        std::string deep = "[FONT A]\r\n";
        while (deep.size() < 70000)
            deep.append(text);
        (void)ordalia::parseCodePageFont(deep);
    }
    return 0;
}
