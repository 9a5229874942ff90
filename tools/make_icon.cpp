// Makes a desktop icon from the title picture:
//   make_icon <205275.png> <icon.png> <size>
// The picture is keyed as the game keys it (black turns transparent), scaled
// to fit size x size (down by averaging, up by blending the nearest four
// pixels) and centred on a transparent square.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "runtime/png_pixels.h"

namespace {

// Adds pixel (x, y) of the picture, clamped to its edges, to sum with weight
// w, its colour weighted by its opacity so transparent black adds no dark fringe.
void addPixel(const Pixels& picture, int x, int y, double w, double sum[4]) {
    x = x < 0 ? 0 : (x >= picture.width ? picture.width - 1 : x);
    y = y < 0 ? 0 : (y >= picture.height ? picture.height - 1 : y);
    const unsigned char* p = &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
    for (int c = 0; c < 3; ++c)
        sum[c] += w * p[c] * (p[3] / 255.0);
    sum[3] += w * p[3];
}

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

    // Source pixels per icon pixel, the same both ways so the shape is kept.
    const double scale =
        static_cast<double>(title.width > title.height ? title.width : title.height) / size;
    const int width = static_cast<int>(title.width / scale + 0.5);
    const int height = static_cast<int>(title.height / scale + 0.5);
    const int left = (size - width) / 2;
    const int top = (size - height) / 2;
    std::vector<unsigned char> icon(static_cast<std::size_t>(size) * size * 4, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            double count = 0;
            if (scale >= 1) {
                // Every source pixel whose centre falls in this icon pixel.
                for (int sy = static_cast<int>(y * scale);
                     sy < (y + 1) * scale && sy < title.height; ++sy) {
                    for (int sx = static_cast<int>(x * scale);
                         sx < (x + 1) * scale && sx < title.width; ++sx) {
                        addPixel(title, sx, sy, 1, sum);
                        ++count;
                    }
                }
            } else {
                // Larger than the picture: the four source pixels around this
                // pixel's centre, nearer ones weighing more, so edges stay smooth.
                const double u = (x + 0.5) * scale - 0.5;
                const double v = (y + 0.5) * scale - 0.5;
                const int sx = static_cast<int>(u + 1) - 1;  // floor, also just below 0
                const int sy = static_cast<int>(v + 1) - 1;
                const double fx = u - sx;
                const double fy = v - sy;
                addPixel(title, sx, sy, (1 - fx) * (1 - fy), sum);
                addPixel(title, sx + 1, sy, fx * (1 - fy), sum);
                addPixel(title, sx, sy + 1, (1 - fx) * fy, sum);
                addPixel(title, sx + 1, sy + 1, fx * fy, sum);
                count = 1;
            }
            if (count == 0) continue;
            unsigned char* q = &icon[(static_cast<std::size_t>(top + y) * size + left + x) * 4];
            const double alpha = sum[3] / count;
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<unsigned char>(alpha > 0 ? sum[c] / count * 255.0 / alpha : 0);
            q[3] = static_cast<unsigned char>(alpha + 0.5);
        }
    }

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, argv[2], 0, icon.data(), 0, nullptr)) {
        return fail("cannot write the icon");
    }
    return 0;
}
