// The test page sources are hand-written text read at build time: any text
// must give either bytes or line-numbered errors, never a crash, and a page
// never grows past what the program can send.

#include "testpage_source.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const auto assembly = ordalia::testpages::assemble(source);
    if (assembly.bytes.size() > ordalia::testpages::kMaxPageSize)
        __builtin_trap();
    if (!assembly.ok()) {
        if (!assembly.bytes.empty() || assembly.errors.size() > 20)
            __builtin_trap();
        const auto lines = std::count(source.begin(), source.end(), '\n') + 1;
        for (const auto& error : assembly.errors) {
            if (error.line < 1 || error.line > lines || error.message.empty())
                __builtin_trap();
            if (ordalia::testpages::describeError("f", error).empty())
                __builtin_trap();
        }
    }
    return 0;
}
