#include "logos/logo_download.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "common/ui.h"
#include "link/transfer.h"
#include "link/transfer_gate.h"
#include "logos/logo_list.h"

#include <algorithm>

namespace ordalia {

std::array<std::uint8_t, 8> logoPrintCommand(std::uint8_t number) {
    return {0x1C, 0x70, number, 0x00, 0x1D, 0x56, 0x42, 0x00};
}

namespace {

constexpr std::string_view kAddAgain = " Nothing was sent. Please clear the list and add the "
                                       "logos again.";

std::string logoName(const LogoRecord& record) {
    return pathForMessage(record.path) + " (logo " + std::to_string(record.number) + ")";
}

LogoStream refused(LogoStream stream, std::string message) {
    stream.status = LogoStream::Status::Refused;
    stream.message = std::move(message);
    return stream;
}

// Why a bitmap cannot be sent.
struct BlockProblem {
    std::string message;
    bool bitmapChanged = true; // else the blocks merely outgrew the buffer
};

// How a problem is worded: a listed logo was sound when it was added, so it
// "is no longer" what it was; a bitmap converted on its own simply "is not".
struct BlockWording {
    std::string name;     // the bitmap as the message names it
    std::string readNote; // after a failed read, which logo it is
    bool listed = true;
};

// Converts one bitmap and appends its block to LogoSendBuffer at L. Returns
// the reason when the bitmap cannot be converted or no longer fits the
// stream.
std::optional<BlockProblem> appendBlock(const std::filesystem::path& path,
                                        const BlockWording& wording, LogoBuffers& buffers,
                                        std::size_t& L) {
    const FileRead read = readWholeFile(path, kMaxLogoFileBytes);
    if (read.status != FileRead::Status::Ok)
        return BlockProblem{describeReadFailure(read, path, kMaxLogoFileBytes) + wording.readNote};

    // Each bitmap is read into a cleared buffer, so bytes of a longer one
    // before it never take part in its conversion.
    auto& F = buffers.LogoFileBuffer;
    std::copy(read.bytes.begin(), read.bytes.end(), F.begin());
    std::fill(F.begin() + static_cast<std::ptrdiff_t>(read.bytes.size()), F.end(), 0);
    const std::span<const std::uint8_t> file(F.data(), read.bytes.size());

    const std::string_view isNot = wording.listed ? " is no longer" : " is not";
    if (bmpKind(file) != BmpKind::Monochrome)
        return BlockProblem{"The file " + wording.name + std::string(isNot) +
                            " a monochrome BMP file."};
    const auto info = ReadBmpHeader(file);
    if (!info)
        return BlockProblem{"The header of the bitmap " + wording.name +
                            (wording.listed ? " no longer fits." : " does not fit.")};
    // Adding a logo made the same check, so a listed bitmap that fails it has
    // changed since.
    if (const auto fault = logoLayoutFault(*info))
        return BlockProblem{wording.listed ? "The bitmap " + wording.name +
                                                 " has changed since it was added: " +
                                                 std::string(layoutFaultReason(*fault)) + "."
                                           : describeLayoutFault(*fault, wording.name)};

    const auto x = logoByteColumns(*info);
    const auto y = logoBands(*info);
    const auto k = static_cast<std::size_t>(8 * x * y);
    if (L + 4 + k > kLogoBufferSize)
        return BlockProblem{"The logos need more than the " + std::to_string(kLogoBufferSize) +
                                " bytes one download can hold (flat, wide logos take the most "
                                "room). Nothing was sent; please remove some logos from the list.",
                            false};

    auto& out = buffers.LogoSendBuffer;
    out[L++] = static_cast<std::uint8_t>(x % 256); // xL
    out[L++] = static_cast<std::uint8_t>(x / 256); // xH
    out[L++] = static_cast<std::uint8_t>(y % 256); // yL
    out[L++] = static_cast<std::uint8_t>(y / 256); // yH
    const auto stride = static_cast<std::uint8_t>(logoRowStride(*info) % 256);
    BMP_Convert(F, *info, buffers.LogoRaster);
    const auto written = Hoz_Convert(buffers.LogoRaster, stride, x, y, buffers.LogoColumnData);
    if (!written || *written != k) // ruled out by the layout check above
        return BlockProblem{describeLayoutFault(LogoLayoutFault::TooLargeForBuffer, wording.name)};
    std::copy_n(buffers.LogoColumnData.begin(), k, out.begin() + static_cast<std::ptrdiff_t>(L));
    L += k;
    return std::nullopt;
}

BlockWording listedWording(const LogoRecord& record) {
    return {logoName(record), " It is logo " + std::to_string(record.number) + " of the list.",
            true};
}

} // namespace

LogoStream buildLogoStream(const std::filesystem::path& programFolder, LogoBuffers& buffers) {
    buffers.LogoFileBuffer.fill(0);
    buffers.LogoRaster.fill(0);
    LogoStream stream;

    const LogoListRead list = readLogoList(programFolder);
    if (list.status == LogoListRead::Status::Unreadable)
        return refused(stream, list.message + " Nothing was sent.");

    std::size_t position = 0;
    for (const LogoRecord& record : list.records) {
        ++position;
        stream.count = record.number;
        if (record.number == 0) {
            stream.status = LogoStream::Status::Silent;
            stream.length = 0;
            return stream;
        }
        // The printer counts the images by n, the last number, and reads that
        // many blocks; numbers out of step would make it misread the stream.
        if (record.number != position)
            return refused(stream,
                           "The logo list " +
                               pathForMessage(programFile(programFolder, kLogoListFile)) +
                               " is damaged at line " + std::to_string(list.lines[position - 1]) +
                               ": the logo there is numbered " + std::to_string(record.number) +
                               " instead of " + std::to_string(position) + ". Nothing was sent.");
        if (auto problem = appendBlock(record.path, listedWording(record), buffers, stream.length))
            return refused(stream, problem->bitmapChanged
                                       ? problem->message + std::string(kAddAgain)
                                       : problem->message);
    }
    if (list.status == LogoListRead::Status::Damaged)
        return refused(stream, list.message + " Nothing was sent.");
    stream.status = stream.count == 0 ? LogoStream::Status::Empty : LogoStream::Status::Ready;
    return stream;
}

LogoBlock convertLogoBitmap(const std::filesystem::path& bitmap, LogoBuffers& buffers) {
    buffers.LogoFileBuffer.fill(0);
    buffers.LogoRaster.fill(0);
    LogoBlock block;
    std::size_t L = 0;
    if (auto problem = appendBlock(bitmap, {pathForMessage(bitmap), {}, false}, buffers, L)) {
        block.message = std::move(problem->message);
        return block;
    }
    block.outcome = Outcome::Done;
    block.bytes.assign(buffers.LogoSendBuffer.begin(),
                       buffers.LogoSendBuffer.begin() + static_cast<std::ptrdiff_t>(L));
    return block;
}

int logoProgressValue(std::size_t i, std::size_t length) {
    if (length < 2)
        return 100;
    // The value is a single-precision number in the window's bar; a whole
    // step is shown once it is reached.
    const auto value =
        static_cast<float>(static_cast<double>(i) * 100.0 / static_cast<double>(length - 1));
    return std::clamp(static_cast<int>(value), 0, 100);
}

namespace {

// Byte i of L, with the bar following; the window gets to repaint whenever
// the bar shows a new whole value.
template <typename Send>
void sendBlocks(const LogoBuffers& buffers, std::size_t L, ProgressBar& bar, EventPump& events,
                Send send) {
    int shown = -1;
    for (std::size_t i = 0; i < L; ++i) {
        send(buffers.LogoSendBuffer[i]);
        const int value = logoProgressValue(i, L);
        bar.setValue(value);
        if (value != shown) {
            shown = value;
            events.processEvents();
        }
    }
}

} // namespace

Outcome Download_Logo_Click(const Services& services, const LinkChoice& choice,
                            LogoBuffers& buffers, std::uint8_t& LogoCount,
                            ProgressBar& LogoProgressBar1) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);
    Dialogs& dialogs = services.dialogs;

    const LogoStream stream = buildLogoStream(services.programFolder, buffers);
    switch (stream.status) {
    case LogoStream::Status::Refused:
        dialogs.message(stream.message);
        return Outcome::Refused;
    case LogoStream::Status::Silent:
        LogoCount = stream.count;
        return Outcome::Nothing;
    case LogoStream::Status::Empty:
        LogoCount = 0;
        dialogs.message(kNoLogoListMessage);
        return Outcome::Refused;
    case LogoStream::Status::Ready:
        LogoCount = stream.count;
        break;
    }
    const std::size_t L = stream.length;

    PrinterLink link(services, choice);
    if (!link.SerialLinkSelected()) {
        try {
            for (const std::uint8_t b : kDefineNvImages)
                link.SendParallelByte(b);
            link.SendParallelByte(stream.count);
            LogoProgressBar1.setVisible(true);
            sendBlocks(buffers, L, LogoProgressBar1, services.events,
                       [&](std::uint8_t b) { link.SendParallelByte(b); });
        } catch (const LinkError& error) {
            LogoProgressBar1.setVisible(false);
            return reportLinkError(link, error);
        }
        LogoProgressBar1.setVisible(false);
        dialogs.message(kTransmitDoneMessage);
        return Outcome::Done;
    }

    if (!link.IsSerialPortChosen()) {
        dialogs.message(kLogoChoosePortMessage);
        return Outcome::Refused;
    }
    try {
        link.OpenSerialPort();
        LogoProgressBar1.setVisible(true);
        for (const std::uint8_t b : kDefineNvImages)
            link.SendSerialByte(b);
        link.SendSerialByte(stream.count); // n
        sendBlocks(buffers, L, LogoProgressBar1, services.events,
                   [&](std::uint8_t b) { link.SendSerialByte(b); });
        for (const std::uint8_t b : kLogoStreamTail)
            link.SendSerialByte(b);
        link.CloseSerialPort();
    } catch (const LinkError& error) {
        LogoProgressBar1.setVisible(false);
        return reportLinkError(link, error);
    }
    LogoProgressBar1.setVisible(false);
    dialogs.message(kTransmitDoneMessage);
    return Outcome::Done;
}

std::optional<std::uint8_t> logoSelectNumber(std::string_view logo_text) {
    const double value = leadingNumber(logo_text);
    // Checked before rounding so that huge texts cannot overflow it.
    if (!(value >= -0.5 && value <= 255.5))
        return std::nullopt;
    const long long number = roundHalfEven(value);
    if (number < 0 || number > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(number);
}

Outcome Print_Logo_Click(const Services& services, const LinkChoice& choice, std::uint8_t LogoCount,
                         bool logo_all, std::string_view logo_text) {
    if (refuseWhileBusy(services))
        return Outcome::Refused;
    TransferLock lock(services.gate);

    PrinterLink link(services, choice);
    if (!link.IsSerialPortChosen())
        return Outcome::Nothing;

    std::optional<std::uint8_t> selected;
    if (!logo_all && !logo_text.empty()) {
        selected = logoSelectNumber(logo_text);
        // Refused before the port is opened: a number that is no byte cannot
        // name a logo, and wrapping it would print another one.
        if (!selected) {
            services.dialogs.message(kLogoNumberRangeMessage);
            return Outcome::Refused;
        }
    }

    bool sent = false;
    try {
        link.OpenSerialPort();
        if (logo_all) {
            for (int i = 1; i <= LogoCount; ++i) {
                for (const std::uint8_t b : logoPrintCommand(static_cast<std::uint8_t>(i)))
                    link.SendSerialByte(b);
                sent = true;
            }
        } else if (selected) {
            for (const std::uint8_t b : logoPrintCommand(*selected))
                link.SendSerialByte(b);
            sent = true;
        }
        link.CloseSerialPort();
    } catch (const LinkError& error) {
        return reportLinkError(link, error);
    }
    return sent ? Outcome::Done : Outcome::Nothing;
}

} // namespace ordalia
