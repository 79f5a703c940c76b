#include "logos/picture_logo.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/ui.h"
#include "logos/logo_list.h"
#include "settings/printer_settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <stb_image.h>
#include <system_error>

namespace ordalia {

namespace {

// Rec. 601 luma weights, in 1/1000ths, the weighting photographs are made for.
constexpr int kRed = 299;
constexpr int kGreen = 587;
constexpr int kBlue = 114;

// A colour over white paper by its alpha, then its luminance.
std::uint8_t greyOverWhite(const std::uint8_t* rgba) {
    const int alpha = rgba[3];
    const int luma = (kRed * rgba[0] + kGreen * rgba[1] + kBlue * rgba[2] + 500) / 1000;
    return static_cast<std::uint8_t>((luma * alpha + 255 * (255 - alpha) + 127) / 255);
}

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

// Which source pixels cover one target pixel along an axis, and by how much.
struct Cover {
    int first = 0;
    std::vector<double> weights; // summing to 1
};

// Target pixel i covers [i * n / m, (i + 1) * n / m) of n source pixels; each
// source pixel counts by the part of it inside that span.
std::vector<Cover> covers(int source, int target) {
    std::vector<Cover> out(static_cast<std::size_t>(target));
    const double scale = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        const double start = i * scale;
        const double end = (i + 1) * scale;
        Cover& c = out[static_cast<std::size_t>(i)];
        c.first = static_cast<int>(start);
        const int last = std::min(source - 1, static_cast<int>(std::ceil(end)) - 1);
        for (int j = c.first; j <= last; ++j) {
            const double part = std::min(end, j + 1.0) - std::max(start, static_cast<double>(j));
            c.weights.push_back(std::max(part, 0.0) / scale);
        }
    }
    return out;
}

// The JPEG decoder in stb_image 2.27 trusts the code counts of a Huffman
// table: a table of more than 256 codes writes past the decoder's arrays.
// No sound JPEG has one, so such a file is refused before it is decoded. The
// walk follows the segments as the decoder reads them: each marker's segment
// is skipped by its length, and bytes between segments (the compressed scan
// data, with its stuffed FF 00 and restart markers) are passed over. Bytes
// past the end read as 0, as the decoder reads them. The decoder reads the
// start of image like any other marker, fill bytes (FF FF ... D8) and all,
// so such a start makes a JPEG here too.
bool jpegHuffmanTablesSound(std::span<const std::uint8_t> bytes) {
    const auto at = [&](std::size_t i) -> std::size_t { return i < bytes.size() ? bytes[i] : 0; };
    std::size_t i = 1;
    while (at(i) == 0xFF)
        ++i;
    if (at(0) != 0xFF || at(i) != 0xD8)
        return true; // not a JPEG
    ++i;
    while (i + 1 < bytes.size()) {
        const std::size_t marker = at(i + 1);
        if (at(i) != 0xFF || marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (marker == 0xD9) // end of image
            return true;
        const std::size_t length = at(i + 2) << 8 | at(i + 3);
        if (marker == 0xC4) { // define Huffman tables: class and id, 16 counts, the values
            std::int64_t left = std::int64_t(length) - 2;
            std::size_t table = i + 4;
            while (left > 0) {
                std::size_t codes = 0;
                for (std::size_t k = 1; k <= 16; ++k)
                    codes += at(table + k);
                if (codes > 256)
                    return false;
                table += 17 + codes;
                left -= std::int64_t(17 + codes);
            }
        }
        i += 2 + length;
    }
    return true;
}

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
           std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// The decoder in stb_image 2.27 inflates a PNG's image data into a buffer it
// doubles as it fills, whatever the header declared: a small file whose data
// inflate to a gigabyte takes a gigabyte (and seconds) before the size check
// that follows refuses it. So the data are inflated first into a buffer of
// exactly the size the header declares, which the inflater does not grow;
// data that need more are refused. Nothing to say for what is no PNG, or a
// PNG whose header stb will refuse on its own.
std::optional<std::string> pngInflatesBeyondItsHeader(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (bytes.size() < 33 ||
        !std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin()))
        return std::nullopt;
    // IHDR comes first: width, height, bit depth, colour type, ..., interlace.
    const std::uint64_t width = bigEndian32(bytes, 16), height = bigEndian32(bytes, 20);
    const int depth = bytes[24], colourType = bytes[25], interlace = bytes[28];
    const int samples = colourType == 0   ? 1
                        : colourType == 2 ? 3
                        : colourType == 3 ? 1
                        : colourType == 4 ? 2
                        : colourType == 6 ? 4
                                          : 0;
    if (samples == 0 || depth == 0 || width == 0 || height == 0 ||
        width * height > kMaxPicturePixels)
        return std::nullopt;
    // A filter byte a row; an interlaced image is seven smaller images.
    const auto rowsBytes = [&](std::uint64_t w, std::uint64_t h) -> std::uint64_t {
        return w == 0 || h == 0 ? 0 : h * (1 + (w * samples * depth + 7) / 8);
    };
    std::uint64_t declared = 0;
    if (interlace == 0) {
        declared = rowsBytes(width, height);
    } else {
        static constexpr int kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& p : kPass)
            declared +=
                rowsBytes((width + p[2] - 1 - p[0]) / p[2], (height + p[3] - 1 - p[1]) / p[3]);
    }
    std::vector<char> data;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint64_t length = bigEndian32(bytes, at);
        if (at + 12 + length > bytes.size())
            break;
        if (std::equal(bytes.begin() + at + 4, bytes.begin() + at + 8, "IDAT"))
            data.insert(data.end(), bytes.begin() + at + 8, bytes.begin() + at + 8 + length);
        at += 12 + length;
    }
    if (data.empty() || declared >= std::uint64_t(std::numeric_limits<int>::max()))
        return std::nullopt;
    // One byte more than declared: data that fill it inflate too far.
    std::vector<char> image(declared + 1);
    const int inflated = stbi_zlib_decode_buffer(image.data(), static_cast<int>(image.size()),
                                                 data.data(), static_cast<int>(data.size()));
    if (inflated < 0 && stbi_failure_reason() &&
        std::string_view(stbi_failure_reason()) == "output buffer limit")
        return "its image data inflate to more than the " + std::to_string(declared) +
               " bytes its header declares";
    if (inflated > static_cast<int>(declared))
        return "its image data inflate to more than the " + std::to_string(declared) +
               " bytes its header declares";
    return std::nullopt;
}

} // namespace

PictureRead decodePicture(std::span<const std::uint8_t> bytes, const std::string& name) {
    PictureRead read;
    const auto unreadable = [&](const std::string& why) {
        read.message = "The file " + name +
                       " is not a picture this program can read (PNG, JPEG, GIF or BMP): " + why +
                       ".";
        return read;
    };
    if (bytes.size() > kMaxPictureFileBytes)
        return unreadable("it is longer than " + std::to_string(kMaxPictureFileBytes) + " bytes");
    if (!jpegHuffmanTablesSound(bytes))
        return unreadable("a Huffman table of the JPEG file is damaged");
    if (const auto why = pngInflatesBeyondItsHeader(bytes))
        return unreadable(*why);
    const auto length = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    // The size is known from the header alone; a picture too large is refused
    // before any memory is taken for its pixels.
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels))
        return unreadable(stbi_failure_reason() ? stbi_failure_reason() : "unknown format");
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
    if (width <= 0 || height <= 0)
        return unreadable("it has no pixels");
    if (pixels > kMaxPicturePixels) {
        read.message = "The picture " + name + " is " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels, more than the " +
                       std::to_string(kMaxPicturePixels) +
                       " pixels a picture may have. Please make it smaller first.";
        return read;
    }
    std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4));
    if (!rgba)
        return unreadable(stbi_failure_reason() ? stbi_failure_reason() : "it is damaged");
    // The decoder reports the size again; a header that lied is not trusted.
    if (width <= 0 || height <= 0 ||
        std::uint64_t(width) * std::uint64_t(height) > kMaxPicturePixels)
        return unreadable("its size is damaged");

    GreyPicture picture;
    picture.width = width;
    picture.height = height;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    picture.grey.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        picture.grey[i] = greyOverWhite(rgba.get() + 4 * i);
    read.picture = std::move(picture);
    return read;
}

PictureRead readPicture(const std::filesystem::path& file) {
    const FileRead read = readWholeFile(file, kMaxPictureFileBytes);
    if (read.status != FileRead::Status::Ok)
        return {std::nullopt, describeReadFailure(read, file, kMaxPictureFileBytes)};
    return decodePicture(read.bytes, pathForMessage(file));
}

int scaledHeight(const GreyPicture& picture, int width) {
    if (picture.width <= 0 || width <= 0)
        return 0;
    const double height = std::round(static_cast<double>(picture.height) * width / picture.width);
    return static_cast<int>(std::clamp(height, 1.0, double(std::numeric_limits<int>::max())));
}

GreyPicture scalePicture(const GreyPicture& picture, int width) {
    GreyPicture out;
    if (picture.width <= 0 || picture.height <= 0 || width <= 0)
        return out;
    out.width = width;
    out.height = scaledHeight(picture, width);
    const auto across = covers(picture.width, out.width);
    const auto down = covers(picture.height, out.height);

    // Rows first, into the new width; then columns, into the new height.
    std::vector<float> rows(std::size_t(picture.height) * std::size_t(out.width));
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = picture.grey.data() + std::size_t(y) * std::size_t(picture.width);
        float* row = rows.data() + std::size_t(y) * std::size_t(out.width);
        for (int x = 0; x < out.width; ++x) {
            const Cover& c = across[std::size_t(x)];
            double sum = 0;
            for (std::size_t j = 0; j < c.weights.size(); ++j)
                sum += c.weights[j] * in[std::size_t(c.first) + j];
            row[x] = static_cast<float>(sum);
        }
    }
    out.grey.resize(std::size_t(out.width) * std::size_t(out.height));
    for (int y = 0; y < out.height; ++y) {
        const Cover& c = down[std::size_t(y)];
        for (int x = 0; x < out.width; ++x) {
            double sum = 0;
            for (std::size_t j = 0; j < c.weights.size(); ++j)
                sum += c.weights[j] *
                       rows[(std::size_t(c.first) + j) * std::size_t(out.width) + std::size_t(x)];
            out.grey[std::size_t(y) * std::size_t(out.width) + std::size_t(x)] =
                static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
        }
    }
    return out;
}

DotPicture toDots(const GreyPicture& picture, std::optional<int> threshold) {
    DotPicture out;
    out.width = picture.width;
    out.height = picture.height;
    out.dots.assign(picture.grey.size(), 0);
    if (threshold) {
        for (std::size_t i = 0; i < picture.grey.size(); ++i)
            out.dots[i] = picture.grey[i] < *threshold ? 1 : 0;
        return out;
    }
    // Floyd-Steinberg, every other row from the right so that the error does
    // not drift one way into diagonal streaks.
    const int w = picture.width;
    std::vector<float> here(std::size_t(w) + 2, 0.0f);
    std::vector<float> below(std::size_t(w) + 2, 0.0f);
    for (int y = 0; y < picture.height; ++y) {
        const bool rightward = y % 2 == 0;
        const int step = rightward ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = rightward ? i : w - 1 - i;
            const std::size_t at = std::size_t(x) + 1; // one slot of margin each side
            const float value = picture.at(x, y) + here[at];
            const bool printed = value < 128.0f;
            out.dots[std::size_t(y) * std::size_t(w) + std::size_t(x)] = printed ? 1 : 0;
            const float error = value - (printed ? 0.0f : 255.0f);
            here[at + step] += error * 7 / 16;
            below[at - step] += error * 3 / 16;
            below[at] += error * 5 / 16;
            below[at + step] += error * 1 / 16;
        }
        std::swap(here, below);
        std::fill(below.begin(), below.end(), 0.0f);
    }
    return out;
}

namespace {

constexpr std::uint32_t kBmpDataOffset = 62;  // file header, info header, two colours
constexpr std::uint32_t kDotsPerMetre = 8000; // the printers' 203 dots per inch

std::uint32_t rowBytes(int width) {
    return (static_cast<std::uint32_t>(width) + 31) / 32 * 4;
}

void putLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[at + std::size_t(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

std::int64_t dotsBmpSize(int width, int height) {
    return kBmpDataOffset + std::int64_t{rowBytes(width)} * height;
}

std::vector<std::uint8_t> dotsToBmp(const DotPicture& dots) {
    const std::uint32_t row = rowBytes(dots.width);
    const auto size = static_cast<std::uint32_t>(dotsBmpSize(dots.width, dots.height));
    std::vector<std::uint8_t> out(size, 0);
    out[0] = 'B';
    out[1] = 'M';
    putLe(out, 2, size, 4);
    putLe(out, 10, kBmpDataOffset, 4);
    putLe(out, 14, 40, 4); // info header size
    putLe(out, 18, static_cast<std::uint32_t>(dots.width), 4);
    putLe(out, 22, static_cast<std::uint32_t>(dots.height), 4); // positive: bottom-up
    putLe(out, 26, 1, 2);                                       // planes
    putLe(out, 28, 1, 2);                                       // bits per pixel
    putLe(out, 34, row * static_cast<std::uint32_t>(dots.height), 4);
    putLe(out, 38, kDotsPerMetre, 4);
    putLe(out, 42, kDotsPerMetre, 4);
    putLe(out, 46, 2, 4); // colours used
    putLe(out, 50, 2, 4);
    // Colour 0 black (a printed dot, as the logo conversion reads bit 0),
    // colour 1 white; entries are blue, green, red, 0.
    putLe(out, 58, 0x00FFFFFF, 4);

    for (int y = 0; y < dots.height; ++y) {
        // The top row of the picture is stored last.
        std::uint8_t* line = out.data() + kBmpDataOffset + std::size_t(dots.height - 1 - y) * row;
        std::fill(line, line + (dots.width + 7) / 8, 0xFF);
        for (int x = 0; x < dots.width; ++x)
            if (dots.dots[std::size_t(y) * std::size_t(dots.width) + std::size_t(x)])
                line[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
    }
    return out;
}

int paperWidthDots(const std::filesystem::path& programFolder) {
    const FileRead read = readWholeFile(programFile(programFolder, kUserSettingFile), 4096);
    if (read.status == FileRead::Status::Ok) {
        if (const auto record = parseSettingsRecord(read.bytes)) {
            const SettingsLoad load = applySettingsRecord(*record, SettingsPage{});
            if (load.page.EEPROM_Mode == 0) // "2 inch"
                return kNarrowPaperDots;
        }
    }
    return kWidePaperDots;
}

int defaultLogoWidth(const GreyPicture& picture, const std::filesystem::path& programFolder) {
    return std::min(picture.width, paperWidthDots(programFolder));
}

namespace {

// The header the logo library would read from the bitmap of a width.
BmpInfo logoInfo(int width, int height) {
    const std::int64_t size = dotsBmpSize(width, height);
    BmpInfo info;
    info.FileSize = static_cast<std::int32_t>(
        std::min<std::int64_t>(size, std::numeric_limits<std::int32_t>::max()));
    info.DataOffset = static_cast<std::int16_t>(kBmpDataOffset);
    info.Width = width;
    info.Height = height;
    return info;
}

// What a logo of this size breaks, as the end of a sentence; nothing when it
// fits. The layout check is the one every added and sent logo passes.
std::optional<std::string> brokenLimit(int width, int height, const PictureLogoRequest& room) {
    const std::int64_t size = dotsBmpSize(width, height);
    if (size > room.totalRoom)
        return "its bitmap would be " + std::to_string(size) + " bytes, more than the " +
               std::to_string(room.totalRoom) + " bytes left of the 128K bytes all logos may take";
    const BmpInfo info = logoInfo(width, height);
    if (const auto fault = logoLayoutFault(info))
        return std::string(layoutFaultReason(*fault));
    const std::int64_t block = 4 + logoColumnBytes(info);
    if (block > room.sendRoom)
        return "it would take " + std::to_string(block) + " bytes of the download, more than the " +
               std::to_string(room.sendRoom) + " bytes left of the " +
               std::to_string(kLogoBufferSize) + " one download can hold";
    return std::nullopt;
}

} // namespace

std::int64_t downloadRoom(const LogoLibrary& library) {
    std::int64_t room = kLogoBufferSize;
    for (const LogoRecord& record : library.records)
        room -= 4 + logoColumnBytes(logoInfo(record.width, record.height));
    return room;
}

int widestFittingLogo(const GreyPicture& picture, const PictureLogoRequest& request) {
    for (int w = std::min(request.width, kMaxLogoWidth); w >= 1; --w)
        if (!brokenLimit(w, scaledHeight(picture, w), request))
            return w;
    return 0;
}

PictureLogo makePictureLogo(const GreyPicture& picture, const PictureLogoRequest& request) {
    PictureLogo logo;
    if (request.width < 1) {
        logo.message = "The width of a logo must be at least 1 dot.";
        return logo;
    }
    if (request.threshold && (*request.threshold < 0 || *request.threshold > 255)) {
        logo.message = "The threshold must be a number from 0 to 255.";
        return logo;
    }
    if (picture.width <= 0 || picture.height <= 0) {
        logo.message = "The picture has no pixels.";
        return logo;
    }
    const int height = scaledHeight(picture, request.width);
    if (const auto broken = brokenLimit(request.width, height, request)) {
        logo.message = "A logo " + std::to_string(request.width) + " dots wide and " +
                       std::to_string(height) + " dots high cannot be made: " + *broken + ".";
        const int widest = widestFittingLogo(picture, request);
        logo.message += widest > 0 ? " The widest that fits is " + std::to_string(widest) + " dots."
                                   : " No width fits this picture.";
        return logo;
    }
    logo.dots = toDots(scalePicture(picture, request.width), request.threshold);
    logo.bmp = dotsToBmp(logo.dots);
    logo.outcome = Outcome::Done;
    return logo;
}

std::filesystem::path freeLogoName(const std::filesystem::path& folder,
                                   const std::filesystem::path& picture) {
    // The list records the name between double quotes, one name a line.
    std::string stem = pathForMessage(picture.stem());
    std::replace_if(
        stem.begin(), stem.end(), [](char c) { return c == '"' || c == '\r' || c == '\n'; }, '_');
    if (stem.empty())
        stem = "picture";
    std::error_code ec;
    for (int n = 1;; ++n) {
        const std::string name = n == 1 ? stem + ".bmp" : stem + "-" + std::to_string(n) + ".bmp";
        const auto candidate = folder / pathFromUtf8(name);
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec)))
            return candidate;
    }
}

Outcome addPictureLogo(const Services& services, LogoLibrary& library, LogoBuffers& buffers,
                       const PictureLogo& logo, const std::filesystem::path& picture) {
    if (logo.outcome != Outcome::Done)
        return Outcome::Refused;
    // A full list takes nothing; no file is left behind for it.
    if (library.LogoCount >= kMaxLogos)
        return Outcome::Nothing;
    const auto folder = programFile(services.programFolder, kPictureLogoFolder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const auto path = freeLogoName(folder, picture);
    if (const auto error = replaceFileAtomically(path, logo.bmp)) {
        services.dialogs.message("The converted logo cannot be written to " + pathForMessage(path) +
                                 " (" + *error + "). The logo was not added.");
        return Outcome::Refused;
    }
    const Outcome outcome =
        AddLogoFile(services, library, buffers, FileChoice{path, pathForMessage(path.filename())});
    if (outcome != Outcome::Done)
        std::filesystem::remove(path, ec);
    return outcome;
}

} // namespace ordalia
