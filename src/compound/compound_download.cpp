#include "compound/compound_download.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "common/ui.h"
#include "compound/compound_font.h"
#include "compound/compound_record.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"

#include <system_error>

namespace ordalia {

std::array<std::uint8_t, 4> CompoundRequest(std::uint8_t languageCode) {
    return {0x1C, OpCompound, 0x00, languageCode};
}

std::uint32_t compoundProgressStep(std::uint32_t dataLength) {
    return static_cast<std::uint32_t>(roundHalfEven(dataLength / 100.0));
}

namespace {

// The folder of 123.bin is made when it is missing, before anything is shown
// or sent, so a broken installation is reported instead of failing halfway.
std::optional<std::string> ensureFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
        return std::nullopt;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return "The folder " + pathForMessage(folder) + " cannot be created: " + ec.message() + ".";
    return std::nullopt;
}

} // namespace

Outcome downloadCompound(const Services& services, const LinkChoice& choice,
                         const CompoundState& state, StatusLabel& com_Label,
                         ProgressBar& com_ProgressBar) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);
    Dialogs& dialogs = services.dialogs;

    PrinterLink link(services, choice);
    if (link.SerialLinkSelected() && !link.IsSerialPortChosen()) {
        dialogs.message(kCompoundSelectPortMessage);
        return Outcome::Refused;
    }
    if (state.com_FilePath.empty())
        return Outcome::Nothing;
    // The printer takes a compound font only through its serial protocol, with
    // a reply per block; a parallel port has no way to carry those replies.
    if (!link.SerialLinkSelected()) {
        dialogs.message(kCompoundSerialOnlyMessage);
        return Outcome::Refused;
    }

    // Copied: the window processes events during the transfer and a new
    // choice made meanwhile must not change this download.
    const CompoundState chosen = state;
    CompoundImage image;
    const CompoundLoad load = loadCompoundImage(chosen.com_FilePath, chosen.com_FileTitle, image);
    if (!load.loaded) {
        dialogs.message(load.error);
        return Outcome::Refused;
    }
    CompoundRecord record(programFile(services.programFolder, kCompoundRecordFile));
    if (auto error = ensureFolder(record.path().parent_path())) {
        dialogs.message(*error);
        return Outcome::Refused;
    }

    com_Label.setCaption(kCompoundConnectingCaption);
    com_Label.setVisible(true);
    com_ProgressBar.setVisible(true);
    com_ProgressBar.setValue(0);

    const std::uint32_t dataLength = load.font.dataLength;
    const std::uint64_t CompoundStep = compoundProgressStep(dataLength);
    std::uint64_t threshold = CompoundStep;

    // Every failure ends alike: port and record closed (the record keeps the
    // blocks already sent), the message, then the display as it was.
    const auto fail = [&](std::string_view text) {
        link.CloseSerialPort();
        record.close();
        dialogs.message(text);
        com_ProgressBar.setVisible(false);
        com_Label.setVisible(false);
        return Outcome::Failed;
    };

    try {
        link.OpenSerialPort();
        for (const std::uint8_t b : CompoundRequest(load.font.languageCode))
            link.SendSerialByte(b);
        link.DelayMs(kCompoundRequestPauseMs);
        // Any reply byte means "go on"; only silence is a failure.
        if (link.RS_ACK() == kReplyNone)
            return fail(kCompoundConnectingError);

        if (auto error = record.open())
            return fail(*error);
        const std::uint32_t blocks = compoundBlockCount(dataLength);
        for (std::uint32_t k = 0; k < blocks; ++k) {
            const std::uint64_t p = std::uint64_t{k} * kCompoundBlockSize;
            const CompoundBlock block = compoundStreamBlock(image, k);
            if (auto error = record.append(block))
                return fail(*error);
            link.SendSerialBlock(block);
            if (link.RS_ACK() == kReplyNone)
                return fail(kCompoundConnectingError);

            if (p + 255 > threshold) {
                threshold += CompoundStep;
                services.events.processEvents();
                com_Label.setCaption(std::string(kCompoundProgressCaption) +
                                     signedNumberText(com_ProgressBar.value()) + "%");
                com_ProgressBar.step();
            }
        }
        record.close();
        link.CloseSerialPort();
    } catch (const LinkError& error) {
        record.close();
        reportLinkError(link, error);
        com_ProgressBar.setVisible(false);
        com_Label.setVisible(false);
        return Outcome::Failed;
    }

    com_Label.setCaption(kCompoundDoneCaption);
    dialogs.message(kCompoundFinishMessage);
    com_Label.setVisible(false);
    com_ProgressBar.setVisible(false);
    return Outcome::Done;
}

} // namespace ordalia
