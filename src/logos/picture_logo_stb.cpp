// The picture decoder's code, compiled once here; the formats and the
// memory-only reading are chosen for the whole library in CMakeLists.txt.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
