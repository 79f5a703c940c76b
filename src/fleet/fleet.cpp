#include "fleet/fleet.h"

#include "common/clock.h"
#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "fleet/fleet_services.h"
#include "link/printer_info.h"
#include "link/transfer_gate.h"
#include "logos/logo_list.h"
#include "ports/network_address.h"
#include "ports/port_names.h"
#include "ports/serial_port.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <thread>

namespace ordalia {

ProfileCopy::ProfileCopy(const std::filesystem::path& folder) {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("ordalia-profile-" + std::to_string(random()) + std::to_string(random()));
    std::error_code ec;
    std::filesystem::copy(folder, m_path, std::filesystem::copy_options::recursive, ec);
    if (ec) {
        error = "The profile folder " + pathForMessage(folder) +
                " could not be copied: " + ec.message() + ".";
        return;
    }
    // A profile's logo list names its bitmaps from the profile folder
    // ("logos/shop.bmp"), which the operations would take from wherever the
    // program was started: the copy's list names them whole.
    LogoListRead logos = readLogoList(m_path);
    if (logos.status != LogoListRead::Status::Ok)
        return; // the logos step says what is wrong with it
    std::string list;
    for (LogoRecord& record : logos.records) {
        if (record.path.is_relative())
            record.path = m_path / record.path;
        list += formatLogoRecord(record);
    }
    if (auto failure = replaceFileAtomically(
            programFile(m_path, kLogoListFile),
            std::span(reinterpret_cast<const std::uint8_t*>(list.data()), list.size())))
        error = "The profile's logo list could not be copied: " + *failure;
}

ProfileCopy::~ProfileCopy() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

namespace {

std::string trimmedLine(std::string_view line) {
    const auto hash = line.find('#');
    if (hash != std::string_view::npos)
        line = line.substr(0, hash);
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = line.find_last_not_of(" \t\r");
    return std::string(line.substr(first, last - first + 1));
}

const char* outcomeWord(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return "done";
    case Outcome::Refused:
    case Outcome::Nothing:
        return "refused";
    case Outcome::Failed:
        return "failed";
    }
    return "failed";
}

// The printer's port, counting what is written through it.
class CountingPort final : public SerialPort {
public:
    CountingPort(std::unique_ptr<SerialPort> port, std::atomic<std::uint64_t>& written)
        : m_port(std::move(port)), m_written(written) {}
    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        return m_port->open(device, settings);
    }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        auto error = m_port->write(bytes);
        if (!error)
            m_written += bytes.size();
        return error;
    }
    int outputQueueCount() override { return m_port->outputQueueCount(); }
    bool countsDelivery() const override { return m_port->countsDelivery(); }
    int inputQueueCount() override { return m_port->inputQueueCount(); }
    std::vector<std::uint8_t> readAll() override { return m_port->readAll(); }
    bool waitForInput(std::chrono::milliseconds limit) override {
        return m_port->waitForInput(limit);
    }
    void setWaitCallback(std::function<void()> callback) override {
        m_port->setWaitCallback(std::move(callback));
    }

private:
    std::unique_ptr<SerialPort> m_port;
    std::atomic<std::uint64_t>& m_written;
};

std::string joined(const std::vector<std::string>& messages) {
    std::string out;
    for (const std::string& m : messages)
        out += (out.empty() ? "" : " ") + m;
    return out;
}

} // namespace

// What a printer's thread shares with whoever looks at the fleet.
struct Fleet::Live {
    std::atomic<std::uint64_t> written{0};
    std::atomic<int> percent{0};
    std::atomic<PrinterView::State> state{PrinterView::State::Waiting};
    std::chrono::steady_clock::time_point stepStart;
    std::uint64_t stepStartBytes = 0;
    std::string step;     // under the fleet's mutex
    std::string identity; // under the fleet's mutex
};

namespace {

class LiveBar final : public HiddenBar {
public:
    explicit LiveBar(std::atomic<int>& percent) : m_percent(percent) {}
    void setValue(int value) override {
        HiddenBar::setValue(value);
        m_percent = value;
    }

private:
    std::atomic<int>& m_percent;
};

} // namespace

bool PrinterRecord::succeeded() const {
    return !steps.empty() && std::all_of(steps.begin(), steps.end(),
                                         [](const StepRecord& s) { return s.outcome == "done"; });
}

std::size_t PrinterRecord::firstUnfinished(std::size_t profileSteps) const {
    std::size_t at = firstStep;
    for (const StepRecord& s : steps) {
        if (s.step == "identify") {
            if (s.outcome != "done")
                return at;
            continue;
        }
        if (s.outcome != "done")
            return at;
        ++at;
    }
    return std::min(at, profileSteps);
}

bool fleetSucceeded(const std::vector<PrinterRecord>& records) {
    return !records.empty() && std::all_of(records.begin(), records.end(),
                                           [](const PrinterRecord& r) { return r.succeeded(); });
}

PrinterListRead parsePrinterList(std::string_view text, const std::filesystem::path& programFolder,
                                 const std::vector<FoundPort>& found, const std::string& settings) {
    PrinterListRead read;
    std::set<std::string> devices;
    const auto add = [&](FleetPrinter printer, const std::string& device, std::size_t line) {
        if (!devices.insert(device).second) {
            read.problems.push_back("line " + std::to_string(line) + ": " + device +
                                    " is named twice; one link cannot reach two printers.");
            return;
        }
        printer.choice.settings = settings;
        read.printers.push_back(std::move(printer));
    };
    std::size_t start = 0;
    for (std::size_t lineNumber = 1; start <= text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = trimmedLine(text.substr(start, end - start));
        start = end + 1;
        if (line.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        FleetPrinter printer;
        if (lowerAscii(line) == "found") {
            if (found.empty())
                read.problems.push_back(where + "no port was found on this computer.");
            for (const FoundPort& port : found) {
                FleetPrinter p;
                p.choice.device = port.device;
                p.port = port.device;
                add(p, port.device, lineNumber);
            }
            continue;
        }
        if (line.starts_with(kNetworkScheme)) {
            std::string why;
            const auto address = parseNetworkAddress(line, &why);
            if (!address) {
                read.problems.push_back(where + why);
                continue;
            }
            printer.choice.networkSelected = true;
            printer.choice.host = line.substr(kNetworkScheme.size());
            printer.port = line;
            add(printer, line, lineNumber);
            continue;
        }
        if (const auto entry = portEntryNumber(line)) {
            const PortName name = resolvePortName(*entry, programFolder, found);
            if (name.device.empty()) {
                read.problems.push_back(where + name.error);
                continue;
            }
            printer.choice.device = name.device;
            printer.port = line + " (" + name.device + ")";
            add(printer, name.device, lineNumber);
            continue;
        }
        printer.choice.device = line;
        printer.port = line;
        add(printer, line, lineNumber);
    }
    if (read.printers.empty() && read.problems.empty())
        read.problems.push_back("the list names no printer.");
    return read;
}

Fleet::Fleet(Profile profile, std::vector<FleetPrinter> printers, FleetOptions options)
    : m_profile(std::move(profile)), m_printers(std::move(printers)),
      m_options(std::move(options)) {
    m_records.resize(m_printers.size());
    for (std::size_t i = 0; i < m_printers.size(); ++i) {
        m_records[i].port = m_printers[i].port;
        m_records[i].firstStep = m_printers[i].firstStep;
        m_live.push_back(std::make_unique<Live>());
    }
}

Fleet::~Fleet() = default;

void Fleet::run() {
    const std::size_t jobs =
        m_options.jobs == 0 ? m_printers.size() : std::min(m_options.jobs, m_printers.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (std::size_t j = 0; j < jobs; ++j)
        workers.emplace_back([this, &next] {
            for (std::size_t i = next++; i < m_printers.size(); i = next++)
                runPrinter(i);
        });
    for (std::thread& worker : workers)
        worker.join();
}

std::vector<PrinterView> Fleet::view() const {
    std::vector<PrinterView> views;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_printers.size(); ++i) {
        const Live& live = *m_live[i];
        PrinterView v;
        v.port = m_printers[i].port;
        v.identity = live.identity;
        v.step = live.step;
        v.percent = live.percent;
        v.state = live.state;
        const double seconds = std::chrono::duration<double>(now - live.stepStart).count();
        if (v.state == PrinterView::State::Running && seconds > 0)
            v.bytesPerSecond = static_cast<double>(live.written - live.stepStartBytes) / seconds;
        views.push_back(v);
    }
    return views;
}

void Fleet::runPrinter(std::size_t index) {
    Live& live = *m_live[index];
    PrinterRecord& record = m_records[index];
    FleetPrinter printer = m_printers[index];
    live.state = PrinterView::State::Running;

    ProfileCopy folder(m_profile.folder);
    CountingPort port(m_options.makePort(), live.written);
    NoParallelPort parallel;
    NoPump events;
    TransferGate gate;

    // Runs one step, recorded as it ends; false when the printer goes no further.
    const auto step = [&](const std::string& name, auto&& body) {
        {
            std::lock_guard lock(m_mutex);
            live.step = name;
            live.percent = 0;
            live.stepStart = std::chrono::steady_clock::now();
            live.stepStartBytes = live.written;
        }
        KeptDialogs dialogs;
        const Services services{port,    parallel, systemClock(), events,
                                dialogs, gate,     folder.path()};
        StepRecord s;
        s.step = name;
        const std::uint64_t before = live.written;
        const auto start = std::chrono::steady_clock::now();
        const Outcome outcome = body(services, s);
        s.outcome = outcomeWord(outcome);
        s.message = joined(dialogs.messages);
        s.bytes = live.written - before;
        s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        {
            std::lock_guard lock(m_mutex);
            record.steps.push_back(s);
        }
        if (onStep)
            onStep(index, s);
        return outcome == Outcome::Done;
    };
    const auto notRun = [&](std::size_t from) {
        std::lock_guard lock(m_mutex);
        for (std::size_t i = from; i < m_profile.steps.size(); ++i)
            record.steps.push_back({m_profile.steps[i].text, "not run", {}, 0, 0, {}});
    };

    // Stopped before this printer's turn came: nothing starts on it.
    if (m_stop) {
        std::lock_guard lock(m_mutex);
        record.steps.push_back({"identify", "not run", {}, 0, 0, {}});
    }
    bool going = folder.error.empty() && !m_stop;
    if (!going && !m_stop) {
        std::lock_guard lock(m_mutex);
        record.steps.push_back({"identify", "failed", folder.error, 0, 0, {}});
    }
    going = going && step("identify", [&](const Services& services, StepRecord&) {
                const PrinterIdentity who = identifyPrinter(services, printer.choice);
                std::lock_guard lock(m_mutex);
                record.status = who.printer.state != AnswerState::Ok ? "no answer"
                                : who.offLine()                      ? "off line"
                                                                     : "on line";
                if (who.modelName.state == AnswerState::Ok)
                    record.model = who.modelName.text;
                if (who.serialNumber.state == AnswerState::Ok)
                    record.serialNumber = who.serialNumber.text;
                live.identity =
                    record.model + (record.serialNumber.empty() ? "" : " ") + record.serialNumber;
                return who.outcome;
            });
    std::size_t at = printer.firstStep;
    for (; going && at < m_profile.steps.size(); ++at) {
        if (m_stop)
            break;
        const ProfileStep& profileStep = m_profile.steps[at];
        going = step(profileStep.text, [&](const Services& services, StepRecord& s) {
            HiddenLabel label;
            LiveBar bar(live.percent);
            StepRun run = runProfileStep(services, printer.choice, profileStep, label, bar);
            s.lines = std::move(run.infoLines);
            return run.outcome;
        });
    }
    notRun(at);
    live.state = record.succeeded() ? PrinterView::State::Succeeded : PrinterView::State::Failed;
}

} // namespace ordalia
