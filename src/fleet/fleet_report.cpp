#include "fleet/fleet_report.h"

#include "common/files.h"
#include "common/path_text.h"
#include "ports/network_address.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace ordalia {

namespace {

using nlohmann::json;

std::string linkText(const FleetPrinter& p) {
    return p.choice.networkSelected ? std::string(kNetworkScheme) + p.choice.host : p.choice.device;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string number(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A report's text field, or "" when it is missing or of another kind.
std::string textOf(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string timeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* t = std::localtime(&now))
        local = *t;
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

} // namespace

FleetReport fleetReport(const Fleet& fleet, std::vector<FleetPrinter> links, std::string started,
                        double seconds) {
    FleetReport report;
    report.profile = pathForMessage(fleet.profile().folder);
    report.started = std::move(started);
    report.seconds = seconds;
    for (const ProfileStep& step : fleet.profile().steps)
        report.stepNames.push_back(step.text);
    report.printers = fleet.records();
    report.links = std::move(links);
    return report;
}

std::string localTimeText() {
    return timeText("%Y-%m-%d %H:%M:%S");
}

std::string reportJson(const FleetReport& report) {
    json printers = json::array();
    for (std::size_t i = 0; i < report.printers.size(); ++i) {
        const PrinterRecord& r = report.printers[i];
        json steps = json::array();
        for (const StepRecord& s : r.steps) {
            json step = {{"step", s.step},
                         {"outcome", s.outcome},
                         {"message", s.message},
                         {"bytes", s.bytes},
                         {"seconds", s.seconds}};
            if (!s.lines.empty())
                step["answers"] = s.lines;
            steps.push_back(step);
        }
        json printer = {
            {"port", r.port},     {"model", r.model},           {"serial_number", r.serialNumber},
            {"status", r.status}, {"succeeded", r.succeeded()}, {"first_step", r.firstStep},
            {"steps", steps}};
        if (i < report.links.size()) {
            printer["link"] = linkText(report.links[i]);
            printer["settings"] = report.links[i].choice.settings;
        }
        printers.push_back(printer);
    }
    std::size_t succeeded = 0;
    for (const PrinterRecord& r : report.printers)
        succeeded += r.succeeded() ? 1 : 0;
    const json out = {{"profile", report.profile},
                      {"started", report.started},
                      {"seconds", report.seconds},
                      {"steps", report.stepNames},
                      {"printers_total", report.printers.size()},
                      {"printers_succeeded", succeeded},
                      {"succeeded", fleetSucceeded(report.printers)},
                      {"printers", printers}};
    return out.dump(2) + "\n";
}

std::string reportHtml(const FleetReport& report) {
    std::size_t succeeded = 0;
    for (const PrinterRecord& r : report.printers)
        succeeded += r.succeeded() ? 1 : 0;
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Printers provisioned "
        "</title>\n<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse}"
        "td,th{border:1px solid #999;padding:.3em .6em;text-align:left}"
        ".done{background:#c8f0c8}.failed,.refused{background:#f6c4c4}"
        ".notrun{background:#eee;color:#777}</style></head><body>\n"
        "<h1>Printers provisioned</h1>\n<p>Profile <b>" +
        escaped(report.profile) + "</b>, started " + escaped(report.started) + ", " +
        number(report.seconds, 1) + " s. <b>" + std::to_string(succeeded) + " of " +
        std::to_string(report.printers.size()) + "</b> printers got every step.</p>\n" +
        "<table>\n<tr><th>Port</th><th>Model</th><th>Serial number</th><th>identify</th>";
    for (const std::string& step : report.stepNames)
        html += "<th>" + escaped(step) + "</th>";
    html += "<th>Result</th></tr>\n";
    for (const PrinterRecord& r : report.printers) {
        html += "<tr><td>" + escaped(r.port) + "</td><td>" + escaped(r.model) + "</td><td>" +
                escaped(r.serialNumber) + "</td>";
        // A retried printer's steps before its first are not in this run.
        for (std::size_t i = 0; i < r.firstStep; ++i)
            html += "<td class=\"notrun\">earlier run</td>";
        for (const StepRecord& s : r.steps) {
            const std::string kind = s.outcome == "not run" ? "notrun" : s.outcome;
            html += "<td class=\"" + kind + "\" title=\"" + escaped(s.message) + "\">" +
                    escaped(s.outcome) +
                    (s.bytes ? " <small>" + std::to_string(s.bytes) + " bytes, " +
                                   number(s.seconds, 1) + " s</small>"
                             : "") +
                    "</td>";
        }
        html += std::string("<td class=\"") + (r.succeeded() ? "done\">ok" : "failed\">failed") +
                "</td></tr>\n";
    }
    html += "</table>\n<p>A cell's tool tip is what the printer's step said.</p>\n</body></html>\n";
    return html;
}

std::optional<std::string> writeFleetReport(const FleetReport& report,
                                            const std::filesystem::path& out) {
    for (const auto& [extension, text] :
         {std::pair{".json", reportJson(report)}, std::pair{".html", reportHtml(report)}}) {
        auto path = out;
        path += extension;
        if (auto error = replaceFileAtomically(
                path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())))
            return error;
    }
    return std::nullopt;
}

std::optional<std::vector<FleetPrinter>>
printersToRetry(std::string_view text, std::size_t profileSteps, std::string* error) {
    const json report = json::parse(text, nullptr, false);
    const auto printers = report.is_object() ? report.find("printers") : report.end();
    if (!report.is_object() || printers == report.end() || !printers->is_array()) {
        if (error)
            *error = "it is not a fleet report (no list of printers).";
        return std::nullopt;
    }
    std::vector<FleetPrinter> retry;
    for (const json& p : *printers) {
        if (!p.is_object())
            continue;
        PrinterRecord record;
        record.port = textOf(p, "port");
        const auto first = p.find("first_step");
        if (first != p.end() && first->is_number_unsigned())
            record.firstStep = std::min<std::size_t>(first->get<std::size_t>(), profileSteps);
        const auto steps = p.find("steps");
        if (steps != p.end() && steps->is_array())
            for (const json& s : *steps)
                if (s.is_object())
                    record.steps.push_back({textOf(s, "step"), textOf(s, "outcome"), {}, 0, 0, {}});
        if (record.succeeded())
            continue;
        const std::string link = textOf(p, "link");
        if (link.empty()) {
            if (error)
                *error = "the printer " + record.port + " has no link in the report.";
            return std::nullopt;
        }
        FleetPrinter printer;
        printer.port = record.port;
        printer.choice.settings = textOf(p, "settings");
        if (printer.choice.settings.empty())
            printer.choice.settings = "115200,n,8,1";
        if (link.starts_with(kNetworkScheme)) {
            printer.choice.networkSelected = true;
            printer.choice.host = link.substr(kNetworkScheme.size());
        } else {
            printer.choice.device = link;
        }
        printer.firstStep = record.firstUnfinished(profileSteps);
        retry.push_back(std::move(printer));
    }
    return retry;
}

std::string defaultReportName() {
    return timeText("fleet-report-%Y-%m-%d");
}

} // namespace ordalia
