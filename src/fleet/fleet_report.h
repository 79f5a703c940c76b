#pragma once

// The fleet's report: OUT.json for programs (and for a retry), OUT.html for a
// shop manager, a standalone page with a row per printer and a cell per step.

#include "fleet/fleet.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

struct FleetReport {
    std::string profile;                // the profile folder as given
    std::string started;                // "2026-12-07 14:30:05" local time
    double seconds = 0;                 // the whole run
    std::vector<std::string> stepNames; // the profile's steps, in order
    std::vector<PrinterRecord> printers;
    // The link each printer was reached by ("COM 3"'s device, tcp://HOST) and
    // the speed it started at, in the printers' order: what a retry opens.
    std::vector<FleetPrinter> links;
};

// The report of a fleet that has run: its records, and the links it was
// given (what a retry opens).
FleetReport fleetReport(const Fleet& fleet, std::vector<FleetPrinter> links, std::string started,
                        double seconds);

// "2026-12-07 14:30:05", local time: when a fleet started.
std::string localTimeText();

std::string reportJson(const FleetReport& report);
std::string reportHtml(const FleetReport& report);

// Writes OUT.json and OUT.html (each whole or not at all); the error, if any.
std::optional<std::string> writeFleetReport(const FleetReport& report,
                                            const std::filesystem::path& out);

// The printers of a report to run again: each one that did not succeed,
// starting at its first step that did not end done. Nothing, with `error`
// set, for a text that is no report.
std::optional<std::vector<FleetPrinter>>
printersToRetry(std::string_view json, std::size_t profileSteps, std::string* error);

// "fleet-report-2026-12-07": the report's name when none is given.
std::string defaultReportName();

} // namespace ordalia
