#pragma once

// A page the virtual printer drew, read back as any program would read it:
// with stb_image (the logo library holds its code).

#include <cstdint>
#include <memory>
#include <stb_image.h>
#include <vector>

namespace ordalia::testing {

struct PagePicture {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> grey; // a byte a dot, rows from the top

    bool dot(int x, int y) const { return grey[std::size_t(y) * std::size_t(width) + x] < 128; }
};

inline PagePicture readPage(const std::vector<std::uint8_t>& png) {
    PagePicture page;
    int channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &page.width, &page.height,
                              &channels, 1),
        stbi_image_free);
    if (!pixels)
        return page;
    page.grey.assign(pixels.get(), pixels.get() + std::size_t(page.width) * page.height);
    page.ok = true;
    return page;
}

} // namespace ordalia::testing
