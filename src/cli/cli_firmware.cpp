// firmware: the firmware update.

#include "cli/cli_command.h"
#include "firmware/firmware_update.h"

namespace ordalia::cli {

namespace {

Outcome firmware(const Command& c) {
    c.expectOperands(2);
    FirmwareUpdateRequest request;
    request.FirmFilePath = fullPath(c.words()[1]);
    request.ISP_ERROR = c.options.ignoreMalfunction;
    return updateFirmware(c.services, c.choice, request, c.console.label(), c.console.bar());
}

const CommandRow kCommands[] = {
    {.name = "firmware",
     .run = firmware,
     .help = {{"firmware FILE [--ignore-malfunction]",
               "update the firmware from a 196,608-byte image"}},
     .options = {CommandOption::IgnoreMalfunction}},
};

} // namespace

std::span<const CommandRow> firmwareCommands() {
    return kCommands;
}

} // namespace ordalia::cli
