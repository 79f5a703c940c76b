// Logo_Path lies beside the program and may be edited by hand or written by
// an earlier tool in the system code page: its reader must take any bytes,
// every record it reads that can be written again must read back the same,
// and turning any bytes into a path and back into text must never throw.

#include "common/path_text.h"
#include "logos/logo_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void roundTrip(const ordalia::LogoRecord& record) {
    using namespace ordalia;
    (void)logoListRow(record).subItem("Logo_FileName");
    (void)logoPreview(record);
    if (!logoRecordWritable(record))
        return;
    const LogoListRead again = parseLogoList(formatLogoRecord(record), "Logo_Path");
    if (again.status != LogoListRead::Status::Ok || again.records.size() != 1 ||
        !(again.records[0] == record))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The list's own path may hold any bytes too: it is named in messages.
    const LogoListRead read = parseLogoList(text, pathFromFileText(text.substr(0, 40)));
    if (read.status == LogoListRead::Status::Damaged &&
        (read.damagedLine == 0 || read.message.empty()))
        std::abort();
    if (read.lines.size() != read.records.size())
        std::abort();
    for (const LogoRecord& record : read.records)
        roundTrip(record);

    // The whole input as a path and as a file name.
    const auto path = pathFromFileText(text);
    const auto written = pathToFileText(path);
    if (written && pathFromFileText(*written) != path)
        std::abort();
    (void)pathFromUtf8(text);
    roundTrip({1, path, pathForMessage(path), 1, 2, 3});
    return 0;
}
