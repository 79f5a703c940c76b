#include "codepages/font_download.h"

#include "common/text.h"
#include "common/ui.h"
#include "link/program_exchange.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"

#include <array>

namespace ordalia {

namespace {

void hide(StatusLabel& label, ProgressBar& bar) {
    bar.setVisible(false);
    label.setVisible(false);
}

std::string progressCaption(std::string_view literal, const ProgressBar& bar) {
    return std::string(literal) + signedNumberText(bar.value()) + "%";
}

void sendSerial(PrinterLink& link, const CodePageImage& image, StatusLabel& label, ProgressBar& bar,
                EventPump& events) {
    for (std::size_t b = 0; b < kFontBlockCount; ++b) {
        link.SendSerialBlock(std::span(image).subspan(b * kFontBlockSize, kFontBlockSize));
        label.setCaption(progressCaption(kFontTransferCaption, bar));
        bar.step();
        events.processEvents();
    }
    for (std::size_t i = kFontBlockCount * kFontBlockSize; i < image.size(); ++i)
        link.SendSerialByte(image[i]);
}

// The parallel side sends the image backwards in groups of four and steps the
// bar each time the bytes sent pass another 655.
void sendParallel(PrinterLink& link, const CodePageImage& image, StatusLabel& label,
                  ProgressBar& bar, EventPump& events) {
    for (const std::uint8_t b : ProgramRequest(OpFont))
        link.SendParallelByte(b);
    std::size_t sent = 0;
    std::size_t threshold = kFontBlockSize;
    for (std::size_t i = image.size() - 4; i >= 4; i -= 4) {
        for (std::size_t k = 4; k-- > 0;)
            link.SendParallelByte(image[i + k]);
        if (sent > threshold) {
            threshold += kFontBlockSize;
            events.processEvents();
            label.setCaption(progressCaption(kFontParallelCaption, bar));
            bar.step();
        }
        sent += 4;
    }
    for (std::size_t k = 4; k-- > 0;)
        link.SendParallelByte(image[k]);
}

} // namespace

Outcome downloadFonts(const Services& services, const LinkChoice& choice,
                      const CodePageSlots& slots, StatusLabel& Font_Label,
                      ProgressBar& Font_ProgressBar) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);

    // Before the table check: a number with a quote means one thing to the
    // printer and another to the list, so it is not judged at all.
    if (const auto fault = unsavableTableNumber(slots.Pos_CP)) {
        services.dialogs.message(*fault);
        return Outcome::Refused;
    }
    if (CP_Check(services.dialogs, slots) != 0)
        return Outcome::Refused;
    const CodePageBuild build = BuildCodePageImage(services, slots);
    if (build.outcome != Outcome::Done)
        return build.outcome;

    PrinterLink link(services, choice);
    if (link.SerialLinkSelected() && !link.IsSerialPortChosen())
        return Outcome::Nothing;

    Font_Label.setVisible(true);
    Font_ProgressBar.setVisible(true);
    Font_ProgressBar.setValue(0);

    try {
        if (link.SerialLinkSelected()) {
            link.OpenSerialPort();
            SendProgramRequest(link, OpFont);
            if (!ExpectAck(link, services.dialogs)) {
                hide(Font_Label, Font_ProgressBar);
                return Outcome::Failed;
            }
            sendSerial(link, build.image, Font_Label, Font_ProgressBar, services.events);
            link.CloseSerialPort();
        } else {
            sendParallel(link, build.image, Font_Label, Font_ProgressBar, services.events);
        }

        const std::array<std::string_view, 2> captions = {kFontProgrammingCaption1,
                                                          kFontProgrammingCaption2};
        ShowProgrammingWait(Font_Label, captions, kFontProgrammingCycles, nullptr, services.clock,
                            services.events);

        // Over the parallel link the printer can only be asked again over the
        // serial port. Without one nothing confirms the download, so it is
        // not reported as finished and the list keeps what the printer is
        // known to hold.
        if (!link.IsSerialPortChosen()) {
            hide(Font_Label, Font_ProgressBar);
            services.dialogs.message(kFontDownloadUnconfirmed);
            return Outcome::Failed;
        }
        const RestartCheck check =
            ConfirmRestart(link, kFontRestartTimeoutMs, RestartPoll::Sleep1Ms);
        if (!check.answered) {
            // The image went out: a port that cannot be reopened is this
            // download's failure, shown as a printer that does not answer is.
            Font_Label.setCaption(check.portFault
                                      ? std::string(kFontDownloadNoAnswer) + " " + *check.portFault
                                      : std::string(kFontDownloadNoAnswer));
            return Outcome::Failed;
        }
    } catch (const LinkError& error) {
        hide(Font_Label, Font_ProgressBar);
        return reportLinkError(link, error);
    }

    services.dialogs.message(kFontDownloadDone);
    hide(Font_Label, Font_ProgressBar);
    if (const auto error = writeCodepageList(services.programFolder, slots))
        services.dialogs.message(*error);
    return Outcome::Done;
}

} // namespace ordalia
