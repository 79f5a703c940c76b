// Pictures are whatever file the user picks: the decoder must take any bytes
// without crashing or reading outside them, refuse what it cannot read with
// a message, and whatever it reads must make a bitmap the logo list accepts.

#include "logos/bmp_raster.h"
#include "logos/picture_logo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    const PictureRead read = decodePicture(std::span(data, size), "fuzz");
    if (!read.picture) {
        if (read.message.empty())
            std::abort();
        return 0;
    }
    const GreyPicture& picture = *read.picture;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.grey.size() != std::size_t(picture.width) * std::size_t(picture.height))
        std::abort();
    // A small width keeps each run short; the last byte picks dots or a cut.
    PictureLogoRequest request;
    request.width = 1 + (size > 0 ? data[size / 2] % 96 : 0);
    if (size > 0 && data[size - 1] % 2)
        request.threshold = data[size - 1];
    const PictureLogo logo = makePictureLogo(picture, request);
    if (logo.outcome != Outcome::Done)
        return 0;
    const auto info = ReadBmpHeader(logo.bmp);
    if (bmpKind(logo.bmp) != BmpKind::Monochrome || !info || logoLayoutFault(*info) ||
        info->FileSize != static_cast<std::int32_t>(logo.bmp.size()))
        std::abort();
    return 0;
}
