#pragma once

// A profile: what to write into every printer of a fleet. It is a folder laid
// out like the program folder (user_setting, Logo_Path and its logos,
// Codepage and model_name, fonts, *.firm, *.code, testpage/) with one text
// file more, "profile", naming the steps in the order they run:
//
//     # the shop's printers
//     firmware                  the one *.firm of the folder, or: firmware FILE
//     settings                  user_setting
//     codepage                  Codepage and the fonts it names
//     compound ex_Korean.code   a compound font of the folder
//     logos                     Logo_Path and the logos it lists
//     test-page "Receipt 1"     a page of the Test Print page, or a file
//     info                      Printer Info, into the report
//
// One step a line; '#' starts a comment; a word with blanks is quoted.

#include "common/outcome.h"
#include "common/ui.h"
#include "link/printer_link.h"
#include "link/services.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

inline constexpr std::string_view kProfileFile = "profile";

enum class StepKind { Firmware, Settings, Codepage, Compound, Logos, TestPage, Info };

struct ProfileStep {
    StepKind kind = StepKind::Info;
    // The file the step sends, relative to the profile folder: the firmware
    // image, the compound font, the test page. Empty for the others.
    std::string file;
    std::string text; // the step as the report names it: "compound ex_Korean.code"
};

struct Profile {
    std::filesystem::path folder;
    std::vector<ProfileStep> steps;
};

struct ProfileRead {
    // The steps that could be read; the profile is usable only when there
    // are no problems. Nothing when the file could not be read at all.
    std::optional<Profile> profile;
    std::vector<std::string> problems; // every one found, by line
};

// The steps of a profile file's text; `folder` is only kept. A word that is
// no step, a step with too few or too many words, an unclosed quote: each is
// a problem naming its line. A firmware step without a file is left so.
ProfileRead parseProfileText(std::string_view text, const std::filesystem::path& folder);

// Reads FOLDER/profile and resolves what the steps name: a firmware step
// without a file takes the folder's only *.firm; a test page given by its
// caption ("Receipt 1") or name ("rec1.p") takes its file under testpage/.
ProfileRead readProfile(const std::filesystem::path& folder);

// What a step does to a printer, with the services of that printer: the
// operation the window's button (or the command line) runs, with the profile
// folder as the program folder. A settings step that changed the printer's
// speed moves `choice` on to it, so the steps after it reach the printer.
struct StepRun {
    Outcome outcome = Outcome::Refused;
    std::vector<std::string> infoLines; // an info step's answers
};
StepRun runProfileStep(const Services& services, LinkChoice& choice, const ProfileStep& step,
                       StatusLabel& label, ProgressBar& bar);

// Every step's own checks, run before any printer is touched: each operation
// runs against a copy of the folder and a port that opens nothing, so what
// it would refuse (a missing or short file, a logo too large, a table number
// out of range, settings left incomplete) is found with its own words.
// Empty when every step would go as far as opening the port.
std::vector<std::string> checkProfile(const Profile& profile);

// readProfile and checkProfile together, every problem of both listed: what
// a fleet is started with.
ProfileRead readCheckedProfile(const std::filesystem::path& folder);

// `profile save DIR`: the program folder's files that the steps read,
// copied into DIR, with a "profile" naming a step for each kind of file
// present. Refused (with why) when DIR holds a profile already.
struct ProfileSave {
    Outcome outcome = Outcome::Refused;
    std::string message;
    std::vector<std::string> steps; // as written
};
ProfileSave saveProfile(const std::filesystem::path& programFolder,
                        const std::filesystem::path& dir);

} // namespace ordalia
