#include "testprint/test_pages.h"

#include "common/files.h"
#include "common/text.h"
#include "common/ui.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"

#include <fstream>

namespace ordalia {

Outcome SendTestPage(const Services& services, const LinkChoice& choice,
                     std::string_view relativeFile) {
    return SendTestFile(services, choice, programFile(services.programFolder, relativeFile));
}

Outcome SendTestFile(const Services& services, const LinkChoice& choice,
                     const std::filesystem::path& path) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);

    const FileRead read = readWholeFile(path, kTestPageBufferSize);
    if (read.status != FileRead::Status::Ok) {
        services.dialogs.message(describeReadFailure(read, path, kTestPageBufferSize));
        return Outcome::Refused;
    }

    PrinterLink link(services, choice);
    try {
        if (!link.SerialLinkSelected()) {
            for (const std::uint8_t b : read.bytes)
                link.SendParallelByte(b);
            return Outcome::Done;
        }
        if (!link.IsSerialPortChosen()) {
            services.dialogs.message(kChoosePortMessage);
            return Outcome::Refused;
        }
        link.OpenSerialPort();
        for (const std::uint8_t b : read.bytes)
            link.SendSerialByte(b);
        link.CloseSerialPort();
        return Outcome::Done;
    } catch (const LinkError& error) {
        return reportLinkError(link, error);
    }
}

Outcome SendSelfTestRequest(const Services& services, const LinkChoice& choice) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);

    PrinterLink link(services, choice);
    if (!link.SerialLinkSelected())
        return Outcome::Nothing;
    if (!link.IsSerialPortChosen()) {
        services.dialogs.message(kChoosePortMessage);
        return Outcome::Refused;
    }
    try {
        link.OpenSerialPort();
        for (const std::uint8_t b : kSelfTestRequest)
            link.SendSerialByte(b);
        link.CloseSerialPort();
        return Outcome::Done;
    } catch (const LinkError& error) {
        return reportLinkError(link, error);
    }
}

void CompareFiles(const Services& services) {
    const auto firstPath = programFile(services.programFolder, "1");
    const auto secondPath = programFile(services.programFolder, "2");
    std::ifstream first(firstPath, std::ios::binary);
    std::ifstream second(secondPath, std::ios::binary);
    for (const auto* path : {&firstPath, &secondPath}) {
        if (!std::filesystem::is_regular_file(*path)) {
            services.dialogs.message("The file " + path->string() + " cannot be opened.");
            return;
        }
    }
    std::uint64_t offset = 0;
    char a = 0;
    while (first.get(a)) {
        char b = 0;
        if (!second.get(b)) {
            // One note rather than a message for every byte file 2 lacks.
            services.dialogs.message("File 2 ends at offset " + hexText(offset) +
                                     "; file 1 is longer.");
            return;
        }
        if (a != b)
            services.dialogs.message(hexText(offset));
        ++offset;
    }
}

} // namespace ordalia
