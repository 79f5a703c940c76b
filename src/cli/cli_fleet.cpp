// fleet, profile save, profile check: one profile on many printers at once.

#include "cli/cli_command.h"
#include "cli/program_location.h"
#include "common/path_text.h"
#include "fleet/fleet.h"
#include "fleet/fleet_report.h"
#include "ports/port_finder.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

namespace ordalia::cli {

namespace {

using namespace std::chrono_literals;

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) {
    g_interrupted = true;
}

std::string readText(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + pathForMessage(path) + ".";
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// "COM 3 (/dev/ttyUSB0)  VIRTUAL-80 00000001  logos  [#####     ]  48%  11.2 kB/s"
std::string liveLine(const PrinterView& v) {
    std::string line = v.port + "  " + (v.identity.empty() ? "?" : v.identity) + "  " + v.step;
    switch (v.state) {
    case PrinterView::State::Waiting:
        return v.port + "  waiting";
    case PrinterView::State::Succeeded:
        return line + "  ok";
    case PrinterView::State::Failed:
        return line + "  FAILED";
    case PrinterView::State::Running:
        break;
    }
    const int filled = std::clamp(v.percent, 0, 100) / 10;
    return line + "  [" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(10 - filled), ' ') + "] " +
           std::to_string(v.percent) + "%  " + fixed(v.bytesPerSecond / 1000.0, 1) + " kB/s";
}

// The profile named by the last word, read and checked: nothing when it does
// not hold, every problem written.
std::optional<Profile> checkedProfile(const Command& c) {
    const std::filesystem::path folder = fullPath(c.words().back());
    const ProfileRead read = readCheckedProfile(folder);
    if (read.problems.empty() && read.profile)
        return read.profile;
    std::string text =
        "The profile " + pathForMessage(folder) + " cannot be used; nothing was sent:";
    for (const std::string& p : read.problems)
        text += "\n  " + p;
    c.console.message(text);
    return std::nullopt;
}

Outcome profileCheck(const Command& c) {
    c.expectOperands(3);
    const auto profile = checkedProfile(c);
    if (!profile)
        return Outcome::Refused;
    for (const ProfileStep& step : profile->steps)
        c.out << step.text << '\n';
    return Outcome::Done;
}

Outcome profileSave(const Command& c) {
    c.expectOperands(3);
    const ProfileSave save = saveProfile(c.folder(), fullPath(c.words()[2]));
    c.console.message(save.message);
    return save.outcome;
}

Outcome fleet(const Command& c) {
    c.expectOperands(2);
    if (c.options.printers.has_value() == c.options.retry.has_value())
        throw UsageError("fleet needs --printers LIST or --retry REPORT.json (one of them).");
    std::size_t jobs = 0;
    if (c.options.jobs) {
        const std::string& text = *c.options.jobs;
        if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != text.npos ||
            std::stoi(text) == 0)
            throw UsageError("--jobs takes a number of printers, 1 or more, not \"" + text + "\".");
        jobs = static_cast<std::size_t>(std::stoi(text));
    }
    if (!c.makePort) {
        c.console.message("This program cannot open a port for each printer.");
        return Outcome::Refused;
    }
    const auto profile = checkedProfile(c);
    if (!profile)
        return Outcome::Refused;

    std::vector<FleetPrinter> printers;
    std::string error;
    if (c.options.printers) {
        const auto listPath = fullPath(*c.options.printers);
        const std::string text = readText(listPath, error);
        PrinterListRead list =
            error.empty() ? parsePrinterList(text, c.folder(), findSystemPorts(), c.choice.settings)
                          : PrinterListRead{{}, {error}};
        if (!list.problems.empty()) {
            std::string message = "The printer list " + pathForMessage(listPath) +
                                  " cannot be used; nothing was sent:";
            for (const std::string& p : list.problems)
                message += "\n  " + p;
            c.console.message(message);
            return Outcome::Refused;
        }
        printers = std::move(list.printers);
    } else {
        const auto reportPath = fullPath(*c.options.retry);
        const std::string text = readText(reportPath, error);
        auto retry =
            error.empty() ? printersToRetry(text, profile->steps.size(), &error) : std::nullopt;
        if (!retry) {
            c.console.message("The report " + pathForMessage(reportPath) +
                              " cannot be retried: " + error + " Nothing was sent.");
            return Outcome::Refused;
        }
        if (retry->empty()) {
            c.console.message("Every printer of " + pathForMessage(reportPath) +
                              " succeeded; there is nothing to retry.");
            return Outcome::Done;
        }
        printers = std::move(*retry);
    }

    const std::string started = localTimeText();
    Fleet run(*profile, printers, {jobs, c.makePort});
    std::mutex outputLock;
    const bool live = c.console.terminal() && !c.options.quiet;
    if (!live && !c.options.quiet)
        run.onStep = [&](std::size_t i, const StepRecord& s) {
            std::lock_guard lock(outputLock);
            c.console.note(printers[i].port + ": " + s.step + " " + s.outcome +
                           (s.bytes ? ", " + std::to_string(s.bytes) + " bytes in " +
                                          fixed(s.seconds, 1) + " s"
                                    : "") +
                           (s.outcome == "done" || s.message.empty() ? "" : ": " + s.message));
        };

    g_interrupted = false;
    const auto previous = std::signal(SIGINT, onInterrupt);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        run.run();
        finished = true;
    });
    if (live)
        enableTerminalControl();
    std::size_t drawn = 0;
    bool told = false;
    for (;;) {
        const bool last = finished;
        if (g_interrupted && !told) {
            run.stop();
            told = true;
        }
        if (live) {
            std::ostringstream frame;
            if (drawn)
                frame << "\x1b[" << drawn << "F";
            const auto views = run.view();
            for (const PrinterView& v : views)
                frame << "\x1b[2K" << liveLine(v) << '\n';
            drawn = views.size();
            c.console.raw(frame.str());
        }
        if (last)
            break;
        std::this_thread::sleep_for(200ms);
    }
    worker.join();
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    const FleetReport report = fleetReport(
        run, printers, started,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    const std::filesystem::path out = fullPath(c.options.report.value_or(defaultReportName()));
    if (auto failure = writeFleetReport(report, out))
        c.console.message("The report could not be written to " + pathForMessage(out) + ": " +
                          *failure);
    std::size_t succeeded = 0;
    for (const PrinterRecord& r : report.printers) {
        succeeded += r.succeeded() ? 1 : 0;
        c.out << r.port << "  " << (r.model.empty() ? "?" : r.model) << "  "
              << (r.serialNumber.empty() ? "?" : r.serialNumber) << "  ";
        const auto failed = std::find_if(r.steps.begin(), r.steps.end(),
                                         [](const StepRecord& s) { return s.outcome != "done"; });
        if (failed == r.steps.end())
            c.out << "ok\n";
        else
            c.out << failed->step << " " << failed->outcome
                  << (failed->message.empty() ? "" : ": " + failed->message) << '\n';
    }
    c.console.note(std::to_string(succeeded) + " of " + std::to_string(report.printers.size()) +
                   " printers got every step" + (g_interrupted ? " (stopped by Ctrl+C)" : "") +
                   ". Report: " + pathForMessage(out) + ".json and .html.");
    return fleetSucceeded(report.printers) ? Outcome::Done : Outcome::Failed;
}

const CommandRow kCommands[] = {
    {.name = "fleet",
     .run = fleet,
     .help = {{"fleet PROFILE --printers LIST", "run a profile's steps on every printer of LIST\n"
                                                "(a line each: COM n, a device, tcp://HOST,\n"
                                                "found), all at once or --jobs N at a time;\n"
                                                "writes --report OUT (.json, .html)"},
              {"fleet PROFILE --retry OUT.json", "run again the printers of a report that\n"
                                                 "failed, from the step that failed"}},
     .options = {CommandOption::Printers, CommandOption::Jobs, CommandOption::Report,
                 CommandOption::Retry}},
    {.name = "profile"},
    {.name = "profile save",
     .run = profileSave,
     .help = {{"profile save DIR", "write a profile of this program folder's\n"
                                   "settings, code pages, logos and Receipt 1"}}},
    {.name = "profile check",
     .run = profileCheck,
     .help = {{"profile check DIR", "check a profile as fleet does, sending nothing"}}},
};

} // namespace

std::span<const CommandRow> fleetCommands() {
    return kCommands;
}

} // namespace ordalia::cli
