#pragma once

// Many printers at once: one profile run on each printer of a list, each on
// its own link and thread, at most `jobs` at a time, and a record per printer
// of what was written.

#include "common/outcome.h"
#include "fleet/profile.h"
#include "link/printer_link.h"
#include "ports/port_finder.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

class SerialPort;

// One printer as the list names it, and the link that reaches it.
struct FleetPrinter {
    std::string port; // "COM 3 (/dev/ttyUSB0)", "/dev/usb/lp0", "tcp://10.0.0.7:9100"
    LinkChoice choice;
    // The first step to run; the retry of a printer starts at its failed one.
    std::size_t firstStep = 0;
};

struct PrinterListRead {
    std::vector<FleetPrinter> printers;
    std::vector<std::string> problems; // by line
};

// A printer list: one printer a line, "COM n" (mapped as the port list maps
// it with the program folder's "ports" and the ports `found`), a device path,
// tcp://HOST[:PORT], or "found" for every port found; '#' starts a comment.
// Every printer starts at `settings` ("115200,n,8,1"). A port named twice is
// a problem: two links cannot share it.
PrinterListRead parsePrinterList(std::string_view text, const std::filesystem::path& programFolder,
                                 const std::vector<FoundPort>& found, const std::string& settings);

// What became of one step on one printer. The identification comes first,
// as the step "identify".
struct StepRecord {
    std::string step;        // "identify", "settings", "compound ex_Korean.code"
    std::string outcome;     // "done", "failed", "refused", "not run"
    std::string message;     // what the operation said, joined
    std::uint64_t bytes = 0; // written to the printer
    double seconds = 0;
    std::vector<std::string> lines; // an info step's answers
};

struct PrinterRecord {
    std::string port;
    std::string model;         // GS I 67, empty when not answered
    std::string serialNumber;  // GS I 68
    std::string status;        // "on line", "off line", "no answer"
    std::size_t firstStep = 0; // the profile step the run started at
    std::vector<StepRecord> steps;
    bool succeeded() const;
    // The first step (counted in the profile's steps, after identify) that
    // did not end done; the profile's length when all did.
    std::size_t firstUnfinished(std::size_t profileSteps) const;
};

// How a printer stands while the fleet runs, for a live line or a row.
struct PrinterView {
    std::string port;
    std::string identity; // "VIRTUAL-80 00000001" once known
    std::string step;     // the step running, or the last one
    int percent = 0;      // of the running step
    double bytesPerSecond = 0;
    enum class State { Waiting, Running, Succeeded, Failed } state = State::Waiting;
};

struct FleetOptions {
    std::size_t jobs = 0; // at most this many printers at once; 0: all
    // Makes the port a printer's operations use (the system's).
    std::function<std::unique_ptr<SerialPort>()> makePort;
};

class Fleet {
public:
    Fleet(Profile profile, std::vector<FleetPrinter> printers, FleetOptions options);
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Runs every printer and returns when all have ended. Each printer works
    // in a folder of its own, a copy of the profile, so no two printers share
    // a file.
    void run();
    // From any thread (a Ctrl+C handler, the window): no step starts after
    // this; a running one ends as it would, so no image is cut mid-write.
    void stop() { m_stop = true; }
    bool stopping() const { return m_stop; }

    std::vector<PrinterView> view() const;
    // Called on the printer's thread as each step ends.
    std::function<void(std::size_t printer, const StepRecord&)> onStep;

    // One record per printer, in the list's order; whole once run() returned.
    const std::vector<PrinterRecord>& records() const { return m_records; }
    const Profile& profile() const { return m_profile; }

private:
    struct Live;
    void runPrinter(std::size_t index);

    Profile m_profile;
    std::vector<FleetPrinter> m_printers;
    FleetOptions m_options;
    std::vector<PrinterRecord> m_records;
    std::vector<std::unique_ptr<Live>> m_live;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_stop{false};
};

// Exit status and totals: true when every printer did every step.
bool fleetSucceeded(const std::vector<PrinterRecord>& records);

} // namespace ordalia
