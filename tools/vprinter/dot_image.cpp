#include "dot_image.h"

namespace ordalia::vprinter {

DotImage scaled(const DotImage& image, int sx, int sy) {
    if (sx == 1 && sy == 1)
        return image;
    DotImage out(image.width * sx, image.height * sy);
    for (int r = 0; r < out.height; ++r)
        for (int c = 0; c < out.width; ++c)
            if (image.dot(c / sx, r / sy))
                out.set(c, r);
    return out;
}

} // namespace ordalia::vprinter
