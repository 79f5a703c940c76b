// The saved settings record: any bytes at all must load into a page whose
// every list position is either a real item or "nothing selected".

#include "settings/printer_settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    const auto record = parseSettingsRecord(std::span(data, size));
    if (!record)
        return 0;
    const SettingsLoad load = applySettingsRecord(*record, SettingsPage{});
    const auto check = [](int position, std::size_t items) {
        if (position < -1 || position >= static_cast<int>(items))
            std::abort();
    };
    check(load.page.EEPROM_Mode, kPrinterModeItems.size());
    check(load.page.EPPROM_Compound, kCompoundItems.size());
    check(load.page.EEPROM_RSBuf, kGraphicBufferItems.size());
    check(load.page.EEPROM_Density, kDensityItems.size());
    check(load.page.EEPROM_CD, kCutDistanceItems.size());
    if (load.Sbaud && (*load.Sbaud < 0 || *load.Sbaud >= static_cast<int>(kNewBaudItems.size())))
        std::abort();
    // A page that loaded completely goes back into the same record.
    if (load.problems.empty() && !load.selectParallel) {
        SettingsPage page = load.page;
        page.NewBaud = *load.Sbaud;
        const SettingsRecord back = collectSettingsRecord(*record, page);
        for (std::size_t i : {1u, 2u, 8u, 9u, 11u, 12u})
            if (back[i] != (*record)[i])
                std::abort();
    }
    return 0;
}
