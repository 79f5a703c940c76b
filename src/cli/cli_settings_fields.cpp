#include "cli/cli_settings_fields.h"

#include "cli/cli_command.h"
#include "common/text.h"

#include <algorithm>
#include <ostream>
#include <span>

namespace ordalia::cli {

namespace {

// Choosing the printer mode sets the near-end sensor the way the page does.
void nearEndForMode(SettingsPage& page) {
    page.EEPROM_NearEnd_ON = EEPROM_Mode_Click(page.EEPROM_Mode);
}

// One field: a list of the page, taken and shown by the texts of its items,
// or an on/off pair.
struct SettingsField {
    std::string_view name;                        // the option without "--", the line's name
    std::span<const std::string_view> items = {}; // the list's texts; none: on or off
    int SettingsPage::*position = nullptr;        // where the page keeps the list's position
    bool SettingsPage::*on = nullptr;             // or the pair's choice
    // A list of serial settings ("9600.n.8,1"), taken by the speed alone too.
    // A saved record may hold none of them.
    bool speeds = false;
    void (*alsoSets)(SettingsPage&) = nullptr; // what choosing it changes besides
};

const SettingsField kFields[] = {
    {.name = "mode",
     .items = kPrinterModeItems,
     .position = &SettingsPage::EEPROM_Mode,
     .alsoSets = nearEndForMode},
    {.name = "baud", .items = kNewBaudItems, .position = &SettingsPage::NewBaud, .speeds = true},
    {.name = "compound", .items = kCompoundItems, .position = &SettingsPage::EPPROM_Compound},
    {.name = "buffer", .items = kGraphicBufferItems, .position = &SettingsPage::EEPROM_RSBuf},
    {.name = "density", .items = kDensityItems, .position = &SettingsPage::EEPROM_Density},
    {.name = "cut-distance", .items = kCutDistanceItems, .position = &SettingsPage::EEPROM_CD},
    {.name = "cutter", .on = &SettingsPage::EEPROM_Cutter_ON},
    {.name = "paper-end", .on = &SettingsPage::EEPROM_PaperEnd_ON},
    {.name = "near-end", .on = &SettingsPage::EEPROM_NearEnd_ON},
    {.name = "door", .on = &SettingsPage::EEPROM_Door_ON},
};

const SettingsField* findField(std::string_view name) {
    const auto field = std::find_if(std::begin(kFields), std::end(kFields),
                                    [&](const SettingsField& f) { return f.name == name; });
    return field == std::end(kFields) ? nullptr : field;
}

// "9600.n.8,1" -> "9600"
std::string_view speedOf(std::string_view item) {
    return item.substr(0, item.find_first_of(".,"));
}

// The field's value for `text`, ignoring case and blanks around it: a list
// position, or 1 for on and 0 for off.
int valueOf(const SettingsField& field, const std::string& text) {
    const std::string wanted = lowerAscii(trimBlanks(text));
    const std::string option = "--" + std::string(field.name);
    if (field.on) {
        if (wanted == "on" || wanted == "off")
            return wanted == "on" ? 1 : 0;
        throw UsageError(option + " takes on or off, not \"" + text + "\".");
    }
    if (field.speeds)
        for (std::size_t i = 0; i < field.items.size(); ++i)
            if (trimBlanks(text) == speedOf(field.items[i]))
                return static_cast<int>(i);
    std::string choices;
    for (std::size_t i = 0; i < field.items.size(); ++i) {
        const std::string_view item = trimBlanks(field.items[i]);
        if (lowerAscii(item) == wanted)
            return static_cast<int>(i);
        choices += (choices.empty() ? "\"" : ", \"") + std::string(item) + "\"";
    }
    throw UsageError(option + " takes " + choices + ", not \"" + text + "\".");
}

void setValue(SettingsPage& page, const SettingsField& field, int value) {
    if (field.on)
        page.*field.on = value != 0;
    else
        page.*field.position = value;
}

std::string textOf(const SettingsPage& page, const SettingsField& field) {
    if (field.on)
        return page.*field.on ? "on" : "off";
    const int position = page.*field.position;
    if (position < 0 || static_cast<std::size_t>(position) >= field.items.size())
        return "(none)";
    return std::string(trimBlanks(field.items[static_cast<std::size_t>(position)]));
}

} // namespace

bool isSettingsField(std::string_view name) {
    return findField(name) != nullptr;
}

std::string settingsFieldHelp() {
    std::string lists;
    std::string pairs; // all on one line
    for (const SettingsField& field : kFields) {
        const std::string option = "  --" + std::string(field.name);
        if (field.on) {
            pairs += option + " on|off";
            continue;
        }
        std::string texts;
        for (const std::string_view item : field.items) {
            const std::string_view text = field.speeds ? speedOf(item) : trimBlanks(item);
            texts += texts.empty() ? "" : " | ";
            texts += text.find(' ') == std::string_view::npos ? std::string(text)
                                                              : "\"" + std::string(text) + "\"";
        }
        lists += option + " " + texts + "\n";
    }
    return lists + pairs + "\n";
}

SettingsPage changedPage(SettingsPage page, const CliOptions& options) {
    std::vector<std::pair<const SettingsField*, int>> given;
    for (const auto& [name, text] : options.fields) {
        if (const SettingsField* field = findField(name)) {
            const int value = valueOf(*field, text);
            setValue(page, *field, value);
            if (field->alsoSets)
                field->alsoSets(page);
            given.emplace_back(field, value);
        }
    }
    // A field given wins over what choosing another one set of it, wherever
    // it stands: --near-end over the printer mode's sensor.
    for (const auto& [field, value] : given)
        setValue(page, *field, value);
    return page;
}

void printSettings(std::ostream& out, const SettingsPage& page, std::string_view indent) {
    for (const SettingsField& field : kFields)
        out << indent << field.name << ": " << textOf(page, field) << '\n';
}

std::vector<std::string> fieldsNotSet(const CliOptions& options, bool saved, bool speedSaved) {
    std::vector<std::string> missing;
    for (const SettingsField& field : kFields) {
        const bool given = std::any_of(options.fields.begin(), options.fields.end(),
                                       [&](const auto& f) { return f.first == field.name; });
        if (!given && !(saved && (!field.speeds || speedSaved)))
            missing.push_back("--" + std::string(field.name));
    }
    return missing;
}

} // namespace ordalia::cli
