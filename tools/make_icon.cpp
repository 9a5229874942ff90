// Makes a desktop icon from the title picture:
//   make_icon <205275.png> <icon.png> <size>
// The picture is keyed as the game keys it (black turns transparent) and
// fitted into size x size as the window's own icon is (fitInSquare).
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "runtime/png_pixels.h"

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "make_icon: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return fail("usage: make_icon <title.png> <icon.png> <size>");
    const int size = std::atoi(argv[3]);
    if (size < 1 || size > 4096) return fail("the size must be 1 to 4096 pixels");
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    Pixels title;
    if (!decodePng(bytes, title)) return fail("cannot read the title picture");
    if (!title.hadAlpha) applyColorKey(title, 0, 0, 0);

    const Pixels icon = fitInSquare(title, size);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, argv[2], 0, icon.rgba.data(), 0, nullptr)) {
        return fail("cannot write the icon");
    }
    return 0;
}
