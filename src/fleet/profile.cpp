#include "fleet/profile.h"

#include "codepages/code_page_table.h"
#include "codepages/font_download.h"
#include "common/clock.h"
#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "compound/compound_download.h"
#include "compound/compound_file.h"
#include "firmware/firmware_update.h"
#include "fleet/fleet_services.h"
#include "link/printer_info.h"
#include "link/transfer_gate.h"
#include "logos/bmp_raster.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "ports/parallel_port.h"
#include "ports/serial_port.h"
#include "settings/printer_settings.h"
#include "testprint/test_pages.h"

#include <array>
#include <fstream>
#include <random>
#include <system_error>

namespace ordalia {

namespace {

struct StepWord {
    std::string_view word;
    StepKind kind;
    std::size_t minArgs, maxArgs;
};

constexpr std::array<StepWord, 7> kStepWords = {{
    {"firmware", StepKind::Firmware, 0, 1},
    {"settings", StepKind::Settings, 0, 0},
    {"codepage", StepKind::Codepage, 0, 0},
    {"compound", StepKind::Compound, 1, 1},
    {"logos", StepKind::Logos, 0, 0},
    {"test-page", StepKind::TestPage, 1, 1},
    {"info", StepKind::Info, 0, 0},
}};

// The words of a line: blanks apart, a quoted word may hold blanks; '#'
// outside quotes ends the line. Nothing, with `problem` set, for an unclosed
// quote.
std::optional<std::vector<std::string>> splitWords(std::string_view line, std::string& problem) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                problem = "a quote is not closed";
                return std::nullopt;
            }
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' &&
                   line[end] != '\r' && line[end] != '#')
                ++end;
            words.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

std::string quotedIfBlank(const std::string& word) {
    return word.find_first_of(" \t") == std::string::npos ? word : "\"" + word + "\"";
}

// A test page given by its caption or name: the button's file.
std::string testPageFile(const std::string& given) {
    const std::string wanted = lowerAscii(given);
    for (const TestPageButton& button : kTestPageButtons) {
        const std::filesystem::path file(std::string(button.file));
        if (wanted == lowerAscii(button.caption) ||
            wanted == lowerAscii(pathForMessage(file.filename())) ||
            wanted == lowerAscii(pathForMessage(file.stem())))
            return std::string(button.file);
    }
    return given;
}

// What a check runs the operations against: a port that opens nothing.
inline constexpr std::string_view kCheckedOnly = "the profile is being checked";

class CheckingPort final : public SerialPort {
public:
    std::optional<PortError> open(const std::string&, const SerialSettings&) override {
        return PortError{std::string(kCheckedOnly)};
    }
    void close() override {}
    bool isOpen() const override { return false; }
    std::optional<PortError> write(std::span<const std::uint8_t>) override {
        return PortError{std::string(kCheckedOnly)};
    }
    int outputQueueCount() override { return -1; }
    int inputQueueCount() override { return -1; }
    std::vector<std::uint8_t> readAll() override { return {}; }
};

} // namespace

ProfileRead parseProfileText(std::string_view text, const std::filesystem::path& folder) {
    ProfileRead read;
    Profile profile;
    profile.folder = folder;
    std::size_t start = 0;
    for (std::size_t lineNumber = 1; start <= text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        std::string problem;
        const auto words = splitWords(line, problem);
        if (!words) {
            read.problems.push_back(where + problem + ".");
            continue;
        }
        if (words->empty())
            continue;
        const std::string word = lowerAscii((*words)[0]);
        const auto row = std::find_if(kStepWords.begin(), kStepWords.end(),
                                      [&](const StepWord& w) { return w.word == word; });
        if (row == kStepWords.end()) {
            read.problems.push_back(where + "\"" + (*words)[0] +
                                    "\" is no step (firmware, settings, codepage, compound FILE, "
                                    "logos, test-page NAME, info).");
            continue;
        }
        const std::size_t args = words->size() - 1;
        if (args < row->minArgs || args > row->maxArgs) {
            read.problems.push_back(where + std::string(row->word) +
                                    (row->maxArgs == 0 ? " takes nothing after it."
                                     : row->minArgs == 0
                                         ? " takes at most one file."
                                         : " takes one file or name (quote one with blanks)."));
            continue;
        }
        ProfileStep step;
        step.kind = row->kind;
        step.text = std::string(row->word);
        if (args == 1) {
            step.file = (*words)[1];
            step.text += " " + quotedIfBlank(step.file);
        }
        profile.steps.push_back(std::move(step));
    }
    if (read.problems.empty() && profile.steps.empty())
        read.problems.push_back("it names no step.");
    read.profile = std::move(profile);
    return read;
}

ProfileRead readProfile(const std::filesystem::path& folder) {
    const auto path = folder / std::string(kProfileFile);
    constexpr std::size_t kMaxProfileBytes = 64 * 1024;
    const FileRead file = readWholeFile(path, kMaxProfileBytes);
    ProfileRead read;
    if (file.status != FileRead::Status::Ok) {
        read.problems.push_back(describeReadFailure(file, path, kMaxProfileBytes));
        return read;
    }
    read = parseProfileText(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()),
        folder);
    for (std::string& problem : read.problems)
        problem = pathForMessage(path) + ", " + problem;
    if (!read.profile)
        return read;
    for (ProfileStep& step : read.profile->steps) {
        if (step.kind == StepKind::TestPage)
            step.file = testPageFile(step.file);
        if (step.kind != StepKind::Firmware || !step.file.empty())
            continue;
        std::vector<std::string> images;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.is_regular_file(ec) &&
                lowerAscii(pathForMessage(entry.path().extension())) == ".firm")
                images.push_back(pathForMessage(entry.path().filename()));
        if (images.size() == 1) {
            step.file = images.front();
        } else {
            read.problems.push_back(
                "The firmware step names no file and the profile folder " + pathForMessage(folder) +
                (images.empty() ? " holds no *.firm image."
                                : " holds " + std::to_string(images.size()) +
                                      " *.firm images: name the one to send (firmware FILE)."));
        }
    }
    return read;
}

StepRun runProfileStep(const Services& services, LinkChoice& choice, const ProfileStep& step,
                       StatusLabel& label, ProgressBar& bar) {
    const auto file = services.programFolder / step.file;
    StepRun run;
    switch (step.kind) {
    case StepKind::Firmware:
        run.outcome = updateFirmware(services, choice, {file, false}, label, bar);
        break;
    case StepKind::Settings: {
        std::error_code ec;
        if (!std::filesystem::exists(programFile(services.programFolder, kUserSettingFile), ec)) {
            services.dialogs.message("The profile holds no " + std::string(kUserSettingFile) +
                                     ": the settings step has nothing to send.");
            break;
        }
        const SettingsLoad load = loadSettingsPage(services, SettingsRecord{}, SettingsPage{});
        if (!load.loaded || !load.problems.empty())
            break; // the load said why
        if (!load.Sbaud) {
            services.dialogs.message("The profile's " + std::string(kUserSettingFile) +
                                     " holds no serial baud rate; nothing was sent.");
            break;
        }
        SettingsPage page = load.page;
        page.NewBaud = *load.Sbaud;
        const SettingsDownload result = downloadSettings(services, choice, load.record, page);
        run.outcome = result.outcome;
        if (result.outcome == Outcome::Done && result.Sbaud &&
            static_cast<std::size_t>(*result.Sbaud) < kSbaudItems.size())
            choice.settings = std::string(kSbaudItems[static_cast<std::size_t>(*result.Sbaud)]);
        break;
    }
    case StepKind::Codepage: {
        const CodePageTabLoad tab = loadCodePageTab(services.programFolder);
        if (tab.outcome != Outcome::Done) {
            services.dialogs.message(tab.message);
            break;
        }
        run.outcome = downloadFonts(services, choice, tab.slots, label, bar);
        break;
    }
    case StepKind::Compound: {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) {
            services.dialogs.message("The compound font file " + pathForMessage(file) +
                                     " does not exist. Nothing was sent.");
            break;
        }
        run.outcome =
            downloadCompound(services, choice, {file, pathForMessage(file.filename())}, label, bar);
        break;
    }
    case StepKind::Logos: {
        const auto buffers = makeLogoBuffers();
        std::uint8_t count = 0;
        run.outcome = Download_Logo_Click(services, choice, *buffers, count, bar);
        if (run.outcome == Outcome::Nothing) {
            services.dialogs.message("The logo list holds a logo numbered 0; nothing was sent.");
            run.outcome = Outcome::Refused;
        }
        break;
    }
    case StepKind::TestPage:
        run.outcome = SendTestFile(services, choice, file);
        break;
    case StepKind::Info: {
        const PrinterInfoResult result = askPrinterInfo(services, choice);
        run.outcome = result.outcome;
        if (result.outcome == Outcome::Done)
            run.infoLines = printerInfoLines(result.info);
        break;
    }
    }
    return run;
}

std::vector<std::string> checkProfile(const Profile& profile) {
    std::vector<std::string> problems;
    ProfileCopy copy(profile.folder);
    if (!copy.error.empty())
        return {copy.error};
    CheckingPort port;
    NoParallelPort parallel;
    NoPump events;
    TransferGate gate;
    for (const ProfileStep& step : profile.steps) {
        KeptDialogs dialogs;
        const Services services{port, parallel, systemClock(), events, dialogs, gate, copy.path()};
        LinkChoice choice;
        choice.device = "checking";
        HiddenLabel label;
        HiddenBar bar;
        (void)runProfileStep(services, choice, step, label, bar);
        // Went as far as opening the port: everything before it holds.
        bool reachedPort = false;
        std::string said;
        for (const std::string& message : dialogs.messages) {
            if (message.find(kCheckedOnly) != std::string::npos)
                reachedPort = true;
            else
                said += (said.empty() ? "" : " ") + message;
        }
        if (!reachedPort)
            problems.push_back(step.text + ": " + (said.empty() ? "it would send nothing." : said));
    }
    return problems;
}

ProfileRead readCheckedProfile(const std::filesystem::path& folder) {
    ProfileRead read = readProfile(folder);
    if (read.profile) {
        const auto more = checkProfile(*read.profile);
        read.problems.insert(read.problems.end(), more.begin(), more.end());
    }
    return read;
}

ProfileSave saveProfile(const std::filesystem::path& programFolder,
                        const std::filesystem::path& dir) {
    ProfileSave save;
    std::error_code ec;
    if (std::filesystem::exists(dir / std::string(kProfileFile), ec)) {
        save.message = pathForMessage(dir) + " holds a profile already; nothing was written.";
        return save;
    }
    std::filesystem::create_directories(dir, ec);
    const auto copyFile = [&](const std::filesystem::path& from, const std::filesystem::path& to) {
        std::filesystem::create_directories(to.parent_path(), ec);
        return std::filesystem::copy_file(from, to,
                                          std::filesystem::copy_options::overwrite_existing, ec);
    };
    const auto have = [&](std::string_view relative) {
        return std::filesystem::is_regular_file(programFile(programFolder, relative), ec);
    };
    std::vector<std::string> failed;
    const auto take = [&](std::string_view relative) {
        if (!copyFile(programFile(programFolder, relative), programFile(dir, relative)))
            failed.push_back(std::string(relative));
    };
    if (have(kUserSettingFile) && have(kFlash3File)) {
        take(kUserSettingFile);
        take(kFlash3File);
        save.steps.push_back("settings");
    }
    if (have(kCodepageListFile) && have(kModelNameFile)) {
        // The table names its fonts by slot; the whole folder goes.
        std::filesystem::copy(programFolder / std::string(kCodePageFolder),
                              dir / std::string(kCodePageFolder),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing,
                              ec);
        if (ec)
            failed.push_back(std::string(kCodePageFolder));
        save.steps.push_back("codepage");
    }
    const LogoListRead logos = readLogoList(programFolder);
    if (logos.status == LogoListRead::Status::Ok && !logos.records.empty()) {
        // Each bitmap beside the profile, the list naming it from there.
        std::string list;
        for (LogoRecord record : logos.records) {
            // Written with '/', which every system takes, so the profile
            // goes from one to another.
            auto name = std::filesystem::path("logos/");
            name += record.path.filename();
            if (!copyFile(record.path, dir / name))
                failed.push_back(pathForMessage(record.path));
            record.path = name;
            list += formatLogoRecord(record);
        }
        if (auto error = replaceFileAtomically(
                programFile(dir, kLogoListFile),
                std::span(reinterpret_cast<const std::uint8_t*>(list.data()), list.size())))
            failed.push_back(*error);
        save.steps.push_back("logos");
    }
    if (have("testpage/rec1.p")) {
        take("testpage/rec1.p");
        save.steps.push_back("test-page \"Receipt 1\"");
    }
    if (!failed.empty()) {
        save.message =
            "Could not copy into " + pathForMessage(dir) + ": " + failed.front() +
            (failed.size() > 1 ? " and " + std::to_string(failed.size() - 1) + " more" : "") +
            ". No profile was written.";
        return save;
    }
    std::string text = "# Written by profile save from " + pathForMessage(programFolder) +
                       ".\n# One step a line, run in this order on every printer.\n";
    for (const std::string& step : save.steps)
        text += step + "\n";
    if (auto error = replaceFileAtomically(
            dir / std::string(kProfileFile),
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))) {
        save.message = *error;
        return save;
    }
    save.outcome = Outcome::Done;
    save.message = "Wrote the profile " + pathForMessage(dir / std::string(kProfileFile)) +
                   " with " + std::to_string(save.steps.size()) + " steps.";
    return save;
}

} // namespace ordalia
