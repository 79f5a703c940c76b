// A fleet reads three texts a user or a program wrote: the profile, the
// printer list and, for a retry, a report. Any text gives steps, printers or
// a refusal with a reason; never a crash, and never a step or a printer
// without what it needs.

#include "fleet/fleet.h"
#include "fleet/fleet_report.h"
#include "fleet/profile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ordalia::ProfileRead read = ordalia::parseProfileText(text, "profile");
    if (!read.profile || (read.problems.empty() && read.profile->steps.empty()))
        __builtin_trap();
    for (const ordalia::ProfileStep& step : read.profile->steps)
        if (step.text.empty())
            __builtin_trap();

    const ordalia::PrinterListRead list = ordalia::parsePrinterList(text, "", {}, "9600,n,8,1");
    if (list.printers.empty() && list.problems.empty())
        __builtin_trap();
    for (const ordalia::FleetPrinter& p : list.printers)
        if (p.port.empty() || (p.choice.device.empty() && p.choice.host.empty()))
            __builtin_trap();

    std::string error;
    const auto retry = ordalia::printersToRetry(text, 4, &error);
    if (!retry && error.empty())
        __builtin_trap();
    if (retry)
        for (const ordalia::FleetPrinter& p : *retry)
            if (p.firstStep > 4)
                __builtin_trap();
    return 0;
}
