// Logo_Path lies beside the program and may be edited by hand: its reader
// must take any bytes, and every record it reads that can be written again
// must read back the same.

#include "logos/logo_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const LogoListRead read = parseLogoList(text, "Logo_Path");
    if (read.status == LogoListRead::Status::Damaged &&
        (read.damagedLine == 0 || read.message.empty()))
        std::abort();

    for (const LogoRecord& record : read.records) {
        (void)logoListRow(record).subItem("Logo_FileName");
        (void)logoPreview(record);
        if (!logoRecordWritable(record))
            continue;
        const LogoListRead again = parseLogoList(formatLogoRecord(record), "Logo_Path");
        if (again.status != LogoListRead::Status::Ok || again.records.size() != 1 ||
            !(again.records[0] == record))
            std::abort();
    }
    return 0;
}
