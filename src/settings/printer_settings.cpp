#include "settings/printer_settings.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/ui.h"
#include "link/program_exchange.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace ordalia {

namespace {

struct ListByte {
    std::size_t byte;
    std::string_view name;
    int SettingsPage::*position;
    std::size_t items;
};

// The lists a record byte selects a position in, with the name the page gives
// them.
const std::array<ListByte, 4> kListBytes = {{
    {1, "Printer Mode", &SettingsPage::EEPROM_Mode, kPrinterModeItems.size()},
    {8, "Compound Word", &SettingsPage::EPPROM_Compound, kCompoundItems.size()},
    {9, "Graphic Buffer", &SettingsPage::EEPROM_RSBuf, kGraphicBufferItems.size()},
    {11, "Printer Density", &SettingsPage::EEPROM_Density, kDensityItems.size()},
}};

bool inRange(int position, std::size_t items) {
    return position >= 0 && static_cast<std::size_t>(position) < items;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += i + 1 == names.size() ? " and " : ", ";
        out += names[i];
    }
    return out;
}

// The first bytes of a file, up to `count`; nothing when it cannot be opened.
std::optional<std::vector<std::uint8_t>> readFirstBytes(const std::filesystem::path& path,
                                                        std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(count);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::string flash3Problem(const std::filesystem::path& path,
                          const std::optional<std::vector<std::uint8_t>>& bytes) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return "The file " + pathForMessage(path) +
               " is missing. Its two bytes go to the printer before the settings, so nothing "
               "was sent. Please put it back beside the program.";
    if (!bytes)
        return "The file " + pathForMessage(path) + " cannot be read, so nothing was sent.";
    return "The file " + pathForMessage(path) + " holds " + std::to_string(bytes->size()) +
           " byte(s); the printer needs its first two before the settings, so nothing was "
           "sent. Please put the original file back beside the program.";
}

} // namespace

bool EEPROM_Mode_Click(int EEPROM_Mode) {
    return EEPROM_Mode != 0;
}

std::optional<SettingsRecord> parseSettingsRecord(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSettingsRecordSize)
        return std::nullopt;
    SettingsRecord record{};
    std::copy_n(bytes.begin(), kSettingsRecordSize, record.begin());
    return record;
}

SettingsLoad applySettingsRecord(const SettingsRecord& record, SettingsPage page) {
    SettingsLoad load;
    load.loaded = true;
    load.record = record;

    if (record[2] == kParallelBaudMark) {
        // Saved for the parallel link: the window offers it, so it is chosen
        // again and the serial speed is left alone.
        load.selectParallel = true;
    } else if (inRange(record[2], kNewBaudItems.size())) {
        load.Sbaud = record[2];
    } else {
        load.problems.push_back("New Baud Rate (" + std::to_string(record[2]) +
                                "): the port speed was left as it is");
    }

    for (const ListByte& list : kListBytes) {
        const int position = record[list.byte];
        if (inRange(position, list.items)) {
            page.*list.position = position;
        } else {
            page.*list.position = -1;
            load.problems.push_back(std::string(list.name) + " (" + std::to_string(position) + ")");
        }
        // Setting the mode chooses the near-end default; the stored value
        // below overrides it.
        if (list.byte == 1 && page.EEPROM_Mode >= 0)
            page.EEPROM_NearEnd_ON = EEPROM_Mode_Click(page.EEPROM_Mode);
    }
    page.EEPROM_Cutter_ON = record[3] == 1;
    page.EEPROM_PaperEnd_ON = record[4] == 1;
    page.EEPROM_NearEnd_ON = record[5] == 1;
    page.EEPROM_Door_ON = record[10] == 1;
    page.EEPROM_CD = (record[13] & kCutDistanceBit) ? 1 : 0;
    load.page = page;
    return load;
}

SettingsLoad loadSettingsPage(const Services& services, const SettingsRecord& record,
                              const SettingsPage& page) {
    SettingsLoad unchanged;
    unchanged.record = record;
    unchanged.page = page;

    const auto path = programFile(services.programFolder, kUserSettingFile);
    std::error_code ec;
    // Nothing saved: the record stays as it is (zero until something was
    // loaded or downloaded) and the page and the link's speed follow it, as
    // they would follow a file holding it. It was reported when it was loaded.
    if (!std::filesystem::exists(path, ec))
        return applySettingsRecord(record, page);
    const auto bytes = readFirstBytes(path, kSettingsRecordSize);
    if (!bytes) {
        services.dialogs.message("The saved settings in " + pathForMessage(path) +
                                 " cannot be read. The page keeps its values.");
        return unchanged;
    }
    const auto parsed = parseSettingsRecord(*bytes);
    if (!parsed) {
        services.dialogs.message("The saved settings in " + pathForMessage(path) + " are " +
                                 std::to_string(bytes->size()) + " byte(s) long instead of 14, " +
                                 "so they were not loaded. The page keeps its values.");
        return unchanged;
    }

    SettingsLoad load = applySettingsRecord(*parsed, page);
    if (!load.problems.empty())
        services.dialogs.message("The saved settings in " + pathForMessage(path) +
                                 " hold values this page does not have: " + joined(load.problems) +
                                 ". Please choose them before downloading the settings.");
    return load;
}

SettingsRecord collectSettingsRecord(const SettingsRecord& loaded, const SettingsPage& page) {
    SettingsRecord record = loaded;
    record[1] = static_cast<std::uint8_t>(page.EEPROM_Mode);
    record[2] = static_cast<std::uint8_t>(page.NewBaud);
    record[3] = page.EEPROM_Cutter_ON ? 1 : 0;
    record[4] = page.EEPROM_PaperEnd_ON ? 1 : 0;
    record[5] = page.EEPROM_NearEnd_ON ? 1 : 0;
    record[6] = 0;
    record[7] = 0;
    record[8] = static_cast<std::uint8_t>(page.EPPROM_Compound);
    record[9] = static_cast<std::uint8_t>(page.EEPROM_RSBuf);
    record[10] = page.EEPROM_Door_ON ? 1 : 0;
    record[11] = static_cast<std::uint8_t>(page.EEPROM_Density);
    record[13] = static_cast<std::uint8_t>(record[13] & ~kDownloadClearsBit);
    if (page.EEPROM_CD != 0)
        record[13] |= kCutDistanceBit;
    else
        record[13] = static_cast<std::uint8_t>(record[13] & ~kCutDistanceBit);
    return record;
}

SettingsDownload downloadSettings(const Services& services, const LinkChoice& choice,
                                  const SettingsRecord& loaded, const SettingsPage& page) {
    SettingsDownload result;
    result.record = loaded;
    if (refuseWhileBusy(services)) {
        result.outcome = Outcome::Refused;
        return result;
    }
    TransferLock lock(services.gate);
    Dialogs& dialogs = services.dialogs;

    if (!services.dialogs.confirm(kSettingsQuestion, kSettingsQuestionTitle))
        return result;

    // Nothing the page cannot name goes to the printer's memory.
    std::vector<std::string> unchosen;
    const std::array<std::pair<std::string_view, std::pair<int, std::size_t>>, 6> lists = {{
        {"Printer Mode", {page.EEPROM_Mode, kPrinterModeItems.size()}},
        {"New Baud Rate", {page.NewBaud, kNewBaudItems.size()}},
        {"Compound Word", {page.EPPROM_Compound, kCompoundItems.size()}},
        {"Graphic Buffer", {page.EEPROM_RSBuf, kGraphicBufferItems.size()}},
        {"Printer Density", {page.EEPROM_Density, kDensityItems.size()}},
        {"Cut Distance", {page.EEPROM_CD, kCutDistanceItems.size()}},
    }};
    for (const auto& [name, value] : lists)
        if (!inRange(value.first, value.second))
            unchosen.emplace_back(name);
    if (!unchosen.empty()) {
        dialogs.message("Please choose " + joined(unchosen) +
                        " before downloading the settings. Nothing was saved or sent.");
        result.outcome = Outcome::Refused;
        return result;
    }
    if (!choice.serialSelected) {
        dialogs.message("The settings can only be downloaded over the serial link. Please "
                        "choose the serial interface and a port, then start the download "
                        "again.");
        result.outcome = Outcome::Refused;
        return result;
    }
    const auto flash3Path = programFile(services.programFolder, kFlash3File);
    const auto flash3 = readFirstBytes(flash3Path, kFlash3Size);
    if (!flash3 || flash3->size() < kFlash3Size) {
        dialogs.message(flash3Problem(flash3Path, flash3));
        result.outcome = Outcome::Refused;
        return result;
    }

    result.record = collectSettingsRecord(loaded, page);
    // Saved before the printer is contacted: the file holds the new values
    // even when the download then fails.
    if (const auto error = writeFileBytes(programFile(services.programFolder, kUserSettingFile),
                                          result.record, false)) {
        dialogs.message(*error);
        result.outcome = Outcome::Refused;
        return result;
    }

    PrinterLink link(services, choice);
    try {
        link.OpenSerialPort();
        SendProgramRequest(link, OpSettings);
        if (!ExpectAck(link, dialogs)) {
            result.outcome = Outcome::Failed;
            return result;
        }
        for (const std::uint8_t b : *flash3) {
            link.SendSerialByte(b);
            if (!ExpectAck(link, dialogs)) {
                result.outcome = Outcome::Failed;
                return result;
            }
        }
        for (std::size_t i = 1; i < kSettingsRecordSize; ++i) {
            link.SendSerialByte(result.record[i]);
            // The printer answers every byte but the last two.
            if (i <= 11 && !ExpectAck(link, dialogs)) {
                result.outcome = Outcome::Failed;
                return result;
            }
        }
        link.CloseSerialPort();
    } catch (const LinkError& error) {
        result.outcome = reportLinkError(link, error);
        return result;
    }

    dialogs.message(kSettingsDoneMessage);
    result.outcome = Outcome::Done;
    result.Sbaud = page.NewBaud;
    return result;
}

} // namespace ordalia
