#pragma once

#include "cli/cli_options.h"
#include "settings/printer_settings.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::cli {

// The fields of the Printing Setting page as the command line names them:
// options of `settings download`, lines of `settings show`.

bool isSettingsField(std::string_view name);

// The fields' lines in --help: each with the texts it takes.
std::string settingsFieldHelp();

// The page after the user changed the fields given on the command line, in
// the order given. Choosing the printer mode sets the near-end sensor the way
// the page does, unless --near-end says otherwise. A text a field does not
// take is a usage error.
SettingsPage changedPage(SettingsPage page, const CliOptions& options);

// One "field: text" line a field, each list by its text, after `indent`.
void printSettings(std::ostream& out, const SettingsPage& page, std::string_view indent = {});

// The fields, as "--name", that neither the command line nor the saved
// settings give: without saved settings (`saved` false) every field not
// given; a saved record may lack the printer's speed alone.
std::vector<std::string> fieldsNotSet(const CliOptions& options, bool saved, bool speedSaved);

} // namespace ordalia::cli
