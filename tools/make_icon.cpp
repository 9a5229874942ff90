// Makes the desktop icon from the title picture:
//   make_icon <205275.png> <icon.png>
// The picture is keyed as the game keys it (black turns transparent), scaled
// down to fit 256 x 256 by averaging, and centred on a transparent square.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "runtime/png_pixels.h"

namespace {

constexpr int kSize = 256;

int fail(const char* what) {
    std::fprintf(stderr, "make_icon: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return fail("usage: make_icon <title.png> <icon.png>");
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    Pixels title;
    if (!decodePng(bytes, title)) return fail("cannot read the title picture");
    if (!title.hadAlpha) applyColorKey(title, 0, 0, 0);

    // Source pixels per icon pixel, the same both ways so the shape is kept.
    const double scale =
        static_cast<double>(title.width > title.height ? title.width : title.height) / kSize;
    const int width = static_cast<int>(title.width / scale + 0.5);
    const int height = static_cast<int>(title.height / scale + 0.5);
    const int left = (kSize - width) / 2;
    const int top = (kSize - height) / 2;
    std::vector<unsigned char> icon(static_cast<std::size_t>(kSize) * kSize * 4, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Every source pixel whose centre falls in this icon pixel, weighted
            // by its opacity so transparent black adds no dark fringe.
            double sum[4] = {0, 0, 0, 0};
            int count = 0;
            for (int sy = static_cast<int>(y * scale); sy < (y + 1) * scale && sy < title.height;
                 ++sy) {
                for (int sx = static_cast<int>(x * scale); sx < (x + 1) * scale && sx < title.width;
                     ++sx) {
                    const unsigned char* p =
                        &title.rgba[(static_cast<std::size_t>(sy) * title.width + sx) * 4];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c] * (p[3] / 255.0);
                    sum[3] += p[3];
                    ++count;
                }
            }
            if (count == 0) continue;
            unsigned char* q = &icon[(static_cast<std::size_t>(top + y) * kSize + left + x) * 4];
            const double alpha = sum[3] / count;
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<unsigned char>(alpha > 0 ? sum[c] / count * 255.0 / alpha : 0);
            q[3] = static_cast<unsigned char>(alpha + 0.5);
        }
    }

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = kSize;
    image.height = kSize;
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, argv[2], 0, icon.data(), 0, nullptr)) {
        return fail("cannot write the icon");
    }
    return 0;
}
