#include "firmware/firmware_update.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "common/ui.h"
#include "link/program_exchange.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"

#include <span>

namespace ordalia {

namespace {

void hide(StatusLabel& label, ProgressBar& bar) {
    bar.setVisible(false);
    label.setVisible(false);
}

// 192 blocks, the caption and the bar refreshed on every second one: the bar
// ends the transfer at 96, the captions show 0 to 95.
void sendImage(PrinterLink& link, std::span<const std::uint8_t> image, StatusLabel& label,
               ProgressBar& bar, EventPump& events) {
    for (std::size_t b = 0; b < kFirmwareBlockCount; ++b) {
        link.SendSerialBlock(image.subspan(b * kFirmwareBlockSize, kFirmwareBlockSize));
        if (b % 2 == 0) {
            label.setCaption(std::string(kFirmwareTransferCaption) + signedNumberText(bar.value()) +
                             "%");
            bar.step();
            events.processEvents();
        }
    }
}

// "Firmware Update Error!!", and when the restart check failed on the port
// rather than on a silent printer, a line that says so with the port's reason.
std::string firmwareErrorMessage(const RestartCheck& check) {
    std::string text(kFirmwareErrorMessage);
    if (check.portFault)
        text += "\nThe firmware was sent, but the printer could not be asked whether it "
                "restarted: " +
                *check.portFault;
    return text;
}

} // namespace

FirmwareFileChoice openFirmwareFile(const Services& services, FirmwareState& state) {
    FileDialogRequest request;
    request.dialog = FileDialogId::CommonDialog;
    request.filter = std::string(kFirmwareFileFilter);
    request.initialFolder = services.programFolder;
    const auto picked = services.dialogs.openFile(request);
    if (!picked || picked->fullPath.empty())
        return {};
    if (!services.dialogs.confirm(kFirmwareLoadQuestion, kFirmwareLoadTitle))
        return {};
    state.FirmFilePath = picked->fullPath;
    return {Outcome::Done, pathForMessage(picked->fullPath)};
}

Outcome updateFirmware(const Services& services, const LinkChoice& choice,
                       const FirmwareUpdateRequest& request, StatusLabel& Firm_Label,
                       ProgressBar& Firm_ProgressBar) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);

    PrinterLink link(services, choice);
    if (link.SerialLinkSelected() && !link.IsSerialPortChosen())
        return Outcome::Nothing;
    if (request.FirmFilePath.empty()) {
        services.dialogs.message(kFirmwareNoFileMessage);
        return Outcome::Refused;
    }
    // There is no firmware transfer over the parallel link: the exchange needs
    // the printer's replies.
    if (!link.SerialLinkSelected()) {
        services.dialogs.message(kFirmwareSerialOnlyMessage);
        return Outcome::Refused;
    }
    const FileRead file = readWholeFile(request.FirmFilePath, kFirmwareImageSize);
    if (file.status != FileRead::Status::Ok || file.bytes.size() != kFirmwareImageSize) {
        services.dialogs.message(kFirmwareFileErrorMessage);
        return Outcome::Refused;
    }

    Firm_Label.setVisible(true);
    Firm_ProgressBar.setVisible(true);
    Firm_ProgressBar.setValue(0);

    try {
        link.OpenSerialPort();
        if (!request.ISP_ERROR) {
            SendProgramRequest(link, OpFirmware);
            if (!ExpectAck(link, services.dialogs)) {
                hide(Firm_Label, Firm_ProgressBar);
                return Outcome::Failed;
            }
        }
        sendImage(link, file.bytes, Firm_Label, Firm_ProgressBar, services.events);
        link.CloseSerialPort();

        ShowProgrammingWait(Firm_Label, kFirmwareProgrammingCaptions, kFirmwareProgrammingCycles,
                            &Firm_ProgressBar, services.clock, services.events);

        const RestartCheck check =
            ConfirmRestart(link, kFirmwareRestartTimeoutMs, RestartPoll::Spin);
        if (!check.answered) {
            hide(Firm_Label, Firm_ProgressBar);
            services.dialogs.message(firmwareErrorMessage(check));
            return Outcome::Failed;
        }
    } catch (const LinkError& error) {
        hide(Firm_Label, Firm_ProgressBar);
        return reportLinkError(link, error);
    }

    Firm_Label.setCaption(kFirmwareDoneCaption);
    Firm_ProgressBar.setValue(100);
    services.events.processEvents();
    services.dialogs.message(kFirmwareFinishMessage);
    hide(Firm_Label, Firm_ProgressBar);
    return Outcome::Done;
}

} // namespace ordalia
