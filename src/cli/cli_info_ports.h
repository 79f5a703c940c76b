#pragma once

#include "common/outcome.h"
#include "ports/port_finder.h"
#include "ports/serial_port.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace ordalia::cli {

// `ordalia-cli ports`: what each port list entry, COM 1 to COM 8, means with
// the ports `found` and the program folder's file "ports", one entry a line.
// ports --check: opens each port found, with the settings given, and says in
// a line each whether it opens or, in plain words, what stands in the way
// (permission and how to get it, another program holding it, no device).
// A port `denied` says the user may not open is followed by the udev rule
// that lets them. Done when every port opened, Failed otherwise.
Outcome checkPorts(const std::vector<FoundPort>& found, SerialPort& port,
                   const SerialSettings& settings, std::ostream& out,
                   const std::function<bool(const std::string&)>& denied = accessDenied);

Outcome listPorts(const std::filesystem::path& programFolder, const std::vector<FoundPort>& found,
                  std::ostream& out);

} // namespace ordalia::cli
