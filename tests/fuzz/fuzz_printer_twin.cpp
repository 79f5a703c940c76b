// A printer twin is a file a user may edit or mix up with another: any text
// gives a twin or a refusal with a reason, never a crash, and a twin written
// out again reads back as the same answers and paper.

#include "link/printer_twin.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    const TwinRead read = parseTwin(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.twin) {
        if (read.problem.empty())
            std::abort();
        return 0;
    }
    const TwinRead again = parseTwin(twinJson(read.twin->info, read.twin->paperDots));
    if (!again.twin || again.twin->paperDots != read.twin->paperDots ||
        printerInfoLines(again.twin->info) != printerInfoLines(read.twin->info))
        std::abort();
    return 0;
}
