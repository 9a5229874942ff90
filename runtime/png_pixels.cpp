// PNG pictures decoded to RGBA pixels, with colour keys and halved mipmaps.
#include "runtime/png_pixels.h"

#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The game's own pictures are a few hundred pixels a side.
constexpr std::uint32_t kMaxSide = 4096;

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// Walks the chunks before the decoder sees them: the decoder would trust a
// chunk's claimed length and allocate for it, so a few bytes claiming two
// gigabytes would cost two gigabytes. A chunk must fit in what is left of the
// file, and the picture within kMaxSide a side.
bool chunksFit(const std::vector<unsigned char>& bytes) {
    static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return false;
    std::size_t at = 8;
    while (bytes.size() - at >= 12) {
        const std::uint32_t length = bigEndian32(&bytes[at]);
        const unsigned char* type = &bytes[at + 4];
        if (length > bytes.size() - at - 12) return false;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length < 8) return false;
            const std::uint32_t width = bigEndian32(&bytes[at + 8]);
            const std::uint32_t height = bigEndian32(&bytes[at + 12]);
            if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
        }
        if (std::memcmp(type, "IEND", 4) == 0) return true;
        at += 12 + std::size_t{length};
    }
    return false;
}

// Adds pixel (x, y) of the picture, clamped to its edges, to sum with weight
// w, its colour weighted by its opacity so transparent black adds no dark fringe.
void addPixel(const Pixels& picture, int x, int y, double w, double sum[4]) {
    x = x < 0 ? 0 : (x >= picture.width ? picture.width - 1 : x);
    y = y < 0 ? 0 : (y >= picture.height ? picture.height - 1 : y);
    const std::uint8_t* p = &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
    for (int c = 0; c < 3; ++c)
        sum[c] += w * p[c] * (p[3] / 255.0);
    sum[3] += w * p[3];
}

}  // namespace

bool decodePng(const std::vector<unsigned char>& bytes, Pixels& out) {
    if (!chunksFit(bytes)) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return false;
    }
    out.hadAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        out = Pixels{};
        return false;
    }
    return true;
}

void applyColorKey(Pixels& pixels, int keyR, int keyG, int keyB) {
    const int w = pixels.width;
    const int h = pixels.height;
    std::vector<std::uint8_t>& p = pixels.rgba;
    auto isKey = [&](int x, int y) {
        const std::uint8_t* q = &p[(static_cast<std::size_t>(y) * w + x) * 4];
        return q[0] == keyR && q[1] == keyG && q[2] == keyB;
    };
    // Decide from the original colours first, then write, so that a keyed
    // pixel's average never includes a neighbour rewritten in this pass.
    std::vector<std::uint8_t> key(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            key[static_cast<std::size_t>(y) * w + x] = isKey(x, y);
    }
    std::vector<std::uint8_t> result = p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* q = &result[(static_cast<std::size_t>(y) * w + x) * 4];
            if (!key[static_cast<std::size_t>(y) * w + x]) {
                q[3] = 255;
                continue;
            }
            int sum[3] = {0, 0, 0};
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    if (key[static_cast<std::size_t>(ny) * w + nx]) continue;
                    const std::uint8_t* n = &p[(static_cast<std::size_t>(ny) * w + nx) * 4];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += n[c];
                    ++count;
                }
            }
            for (int c = 0; c < 3; ++c) {
                q[c] = static_cast<std::uint8_t>(count > 0 ? sum[c] / count : 0);
            }
            q[3] = 0;
        }
    }
    p.swap(result);
}

namespace {

// Where the centre of texel i of a level `to` texels wide falls in the level
// above, `from` texels wide: in 1/256 texel from the centre of its first texel.
int sourcePosition(int i, int from, int to) {
    const float centre = (static_cast<float>(i) + 0.5f) / static_cast<float>(to);
    return static_cast<int>(std::lrint(centre * static_cast<float>(from) * 256.0f)) - 128;
}

int mix(int a, int b, int weight) { return (a * (256 - weight) + b * weight + 128) >> 8; }

}  // namespace

Pixels halvePixels(const Pixels& level) {
    Pixels half;
    half.width = level.width > 1 ? level.width / 2 : 1;
    half.height = level.height > 1 ? level.height / 2 : 1;
    half.hadAlpha = level.hadAlpha;
    half.rgba.resize(static_cast<std::size_t>(half.width) * half.height * 4);
    const auto at = [&level](int x, int y, int c) -> int {
        x = x < level.width ? x : level.width - 1;
        y = y < level.height ? y : level.height - 1;
        return level.rgba[(static_cast<std::size_t>(y) * level.width + x) * 4 + c];
    };
    for (int y = 0; y < half.height; ++y) {
        const int fy = sourcePosition(y, level.height, half.height);
        const int y0 = fy >> 8;
        const int wy = fy & 255;
        for (int x = 0; x < half.width; ++x) {
            const int fx = sourcePosition(x, level.width, half.width);
            const int x0 = fx >> 8;
            const int wx = fx & 255;
            for (int c = 0; c < 4; ++c) {
                const int top = mix(at(x0, y0, c), at(x0 + 1, y0, c), wx);
                const int bottom = mix(at(x0, y0 + 1, c), at(x0 + 1, y0 + 1, c), wx);
                half.rgba[(static_cast<std::size_t>(y) * half.width + x) * 4 + c] =
                    static_cast<std::uint8_t>(mix(top, bottom, wy));
            }
        }
    }
    return half;
}

Pixels fitInSquare(const Pixels& picture, int size) {
    // Source pixels per icon pixel, the same both ways so the shape is kept.
    const double scale =
        static_cast<double>(picture.width > picture.height ? picture.width : picture.height) / size;
    const int width = static_cast<int>(picture.width / scale + 0.5);
    const int height = static_cast<int>(picture.height / scale + 0.5);
    const int left = (size - width) / 2;
    const int top = (size - height) / 2;
    Pixels icon;
    icon.width = size;
    icon.height = size;
    icon.hadAlpha = true;
    icon.rgba.assign(static_cast<std::size_t>(size) * size * 4, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            double count = 0;
            if (scale >= 1) {
                // Every source pixel whose centre falls in this icon pixel.
                for (int sy = static_cast<int>(y * scale);
                     sy < (y + 1) * scale && sy < picture.height; ++sy) {
                    for (int sx = static_cast<int>(x * scale);
                         sx < (x + 1) * scale && sx < picture.width; ++sx) {
                        addPixel(picture, sx, sy, 1, sum);
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
                addPixel(picture, sx, sy, (1 - fx) * (1 - fy), sum);
                addPixel(picture, sx + 1, sy, fx * (1 - fy), sum);
                addPixel(picture, sx, sy + 1, (1 - fx) * fy, sum);
                addPixel(picture, sx + 1, sy + 1, fx * fy, sum);
                count = 1;
            }
            if (count == 0) continue;
            std::uint8_t* q = &icon.rgba[(static_cast<std::size_t>(top + y) * size + left + x) * 4];
            const double alpha = sum[3] / count;
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<std::uint8_t>(alpha > 0 ? sum[c] / count * 255.0 / alpha : 0);
            q[3] = static_cast<std::uint8_t>(alpha + 0.5);
        }
    }
    return icon;
}
