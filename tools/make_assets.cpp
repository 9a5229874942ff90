// Generates Flailwick's pictures and sounds:
//   make_assets <assets-dir>
// writes spark.png, 205275.png, blow.wav and block.wav. Everything is drawn
// or synthesised here from scratch, with fixed seeds, so running the tool
// twice gives identical files. The loaders and tests expect each file to have
// one exact size, so every file is padded to its size and checked before it
// replaces the old one.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "make_assets: %s\n", message.c_str());
    std::exit(1);
}

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------- files

void writeExact(const std::string& path, const Bytes& bytes, std::size_t expected) {
    if (bytes.size() != expected) {
        die(path + " would be " + std::to_string(bytes.size()) + " bytes, not " +
            std::to_string(expected));
    }
    const std::string temporary = path + ".partial";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) die("cannot write " + temporary);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) die("cannot write " + temporary);

    // Read it back: a full disk or a short write must not pass as a finished asset.
    f = std::fopen(temporary.c_str(), "rb");
    if (f == nullptr) die("cannot reopen " + temporary);
    Bytes back(expected + 1);
    const std::size_t got = std::fread(back.data(), 1, back.size(), f);
    std::fclose(f);
    if (got != expected || std::memcmp(back.data(), bytes.data(), expected) != 0) {
        std::remove(temporary.c_str());
        die(temporary + " does not read back as the " + std::to_string(expected) +
            " bytes written");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        die("cannot rename " + temporary + " to " + path);
    std::printf("%s: %zu bytes\n", path.c_str(), expected);
}

// ---------------------------------------------------------------- PNG

struct PngRequest {
    int width = 0;
    int height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int channels = 3;
    int compressionLevel = 9;
    int filters = PNG_ALL_FILTERS;
    const unsigned char* pixels = nullptr;  // rows top to bottom, no padding
    const char* keyword = "Comment";
    const char* text = "";
};

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// Kept free of C++ objects with destructors because libpng reports errors by longjmp.
bool encodePngInto(const PngRequest& request, Bytes* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_bytep* rows = static_cast<png_bytep*>(
        std::malloc(sizeof(png_bytep) * static_cast<std::size_t>(request.height)));
    if (rows == nullptr) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        std::free(rows);
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendToBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(request.width),
                 static_cast<png_uint_32>(request.height), 8, request.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, request.compressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, request.filters);
    // One IDAT for the whole image keeps the chunk overhead small and predictable.
    png_set_compression_buffer_size(png, 1u << 20);

    png_text text;
    std::memset(&text, 0, sizeof text);
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<png_charp>(request.keyword);
    text.text = const_cast<png_charp>(request.text);
    text.text_length = std::strlen(request.text);
    png_set_text(png, info, &text, 1);  // set before write_info, so it lands ahead of IDAT

    png_write_info(png, info);
    const auto stride = static_cast<std::size_t>(request.width * request.channels);
    for (int y = 0; y < request.height; ++y) {
        rows[y] = const_cast<png_bytep>(request.pixels + stride * static_cast<std::size_t>(y));
    }
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    std::free(rows);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::uint32_t readBe32(const Bytes& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) |
           (std::uint32_t(b[at + 2]) << 8) | std::uint32_t(b[at + 3]);
}

// Walks the chunks so a libpng surprise (extra chunks, text after IDAT, bad CRC) is caught here.
void checkPngLayout(const Bytes& png, const std::string& name) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0)
        die(name + ": bad PNG signature");
    std::string order;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = readBe32(png, at);
        if (at + 12 + length > png.size()) die(name + ": chunk runs past the end");
        const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
        const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0L, &png[at + 4], length + 4));
        if (crc != readBe32(png, at + 8 + length)) die(name + ": bad CRC on " + type);
        if (!order.empty()) order += ' ';
        order += type;
        at += 12 + length;
    }
    if (at != png.size()) die(name + ": trailing bytes after the last chunk");
    if (order != "IHDR tEXt IDAT IEND") die(name + ": unexpected chunk order: " + order);
}

void checkPngPixels(const Bytes& png, const PngRequest& request, const std::string& name) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        die(name + ": cannot decode");
    if (static_cast<int>(image.width) != request.width ||
        static_cast<int>(image.height) != request.height) {
        png_image_free(&image);
        die(name + ": decoded size differs");
    }
    image.format = request.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    Bytes decoded(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr)) {
        png_image_free(&image);
        die(name + ": decoding failed");
    }
    if (std::memcmp(decoded.data(), request.pixels, decoded.size()) != 0)
        die(name + ": pixels do not round-trip");
}

// Encodes once to learn the size without padding, then fills the tEXt chunk so
// the file lands on exactly `size` bytes; tEXt is stored raw, so its length adds 1:1.
Bytes encodePngOfSize(PngRequest request, std::size_t size, const std::string& name,
                      const std::string& blurb) {
    Bytes bare;
    request.text = "";
    if (!encodePngInto(request, &bare)) die(name + ": libpng failed");
    if (bare.size() > size) {
        die(name + ": needs " + std::to_string(bare.size()) + " bytes before padding, over the " +
            std::to_string(size) + " allowed");
    }
    std::string padding = blurb;
    const std::size_t room = size - bare.size();
    if (padding.size() > room) padding.resize(room);
    while (padding.size() < room)
        padding += '.';
    request.text = padding.c_str();
    Bytes png;
    if (!encodePngInto(request, &png)) die(name + ": libpng failed");
    if (png.size() != size)
        die(name + ": padded to " + std::to_string(png.size()) + " bytes, not " +
            std::to_string(size));
    checkPngLayout(png, name);
    checkPngPixels(png, request, name);
    return png;
}

// ---------------------------------------------------------------- spark.png

Bytes makeSpark() {
    constexpr int kSize = 64;
    Bytes pixels(kSize * kSize * 4);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double d = std::hypot(x - 32.0, y - 32.0);
            const double level = std::max(0.0, 1.0 - d / 32.0);
            const auto grey = static_cast<unsigned char>(std::lround(252.0 * level));
            unsigned char* p = &pixels[static_cast<std::size_t>((y * kSize + x) * 4)];
            p[0] = p[1] = p[2] = grey;
            p[3] = 255;
        }
    }
    PngRequest request;
    request.width = kSize;
    request.height = kSize;
    request.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    request.channels = 4;
    request.compressionLevel = 9;
    request.filters = PNG_ALL_FILTERS;
    request.pixels = pixels.data();
    return encodePngOfSize(
        request, 5592, "spark.png",
        "Flailwick spark: a grey radial falloff, white in the middle, black at radius 32. ");
}

// ---------------------------------------------------------------- 205275.png

struct Colour {
    double r, g, b;
};

struct Canvas {
    int w, h;
    std::vector<Colour> px;
    Canvas(int width, int height)
        : w(width), h(height), px(static_cast<std::size_t>(width * height), {0, 0, 0}) {}
    void blend(int x, int y, Colour c, double a) {
        if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
        a = std::min(a, 1.0);
        Colour& p = px[static_cast<std::size_t>(y * w + x)];
        p.r += (c.r - p.r) * a;
        p.g += (c.g - p.g) * a;
        p.b += (c.b - p.b) * a;
    }
    void add(int x, int y, Colour c, double a) {
        if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
        Colour& p = px[static_cast<std::size_t>(y * w + x)];
        p.r += c.r * a;
        p.g += c.g * a;
        p.b += c.b * a;
    }
};

struct Vec {
    double x, y;
};

Vec closestOnSegment(Vec p, Vec a, Vec b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    const double t =
        len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
    return {a.x + t * dx, a.y + t * dy};
}

// A figure is drawn as one shape: the union of its capsules and discs. Each
// pixel takes the best coverage and the roundest shading of any part, so
// overlapping limbs never show seams or double-darkened edges.
struct Shape {
    Vec a, b;
    double radius;
};

struct Layer {
    std::vector<Shape> parts;
    void limb(Vec a, Vec b, double r) { parts.push_back({a, b, r}); }
    void disc(Vec c, double r) { parts.push_back({c, c, r}); }
};

// Light falls from the upper left, so strokes look like rounded tubes rather than flat bands.
void paintLayer(Canvas& canvas, const Layer& layer, Colour base, double opacity) {
    const double lightX = -0.55, lightY = -0.65;
    for (int y = 0; y < canvas.h; ++y) {
        for (int x = 0; x < canvas.w; ++x) {
            const Vec p{x + 0.5, y + 0.5};
            double coverage = 0, shade = 0;
            for (const Shape& s : layer.parts) {
                const Vec q = closestOnSegment(p, s.a, s.b);
                const double d = std::hypot(p.x - q.x, p.y - q.y);
                if (d > s.radius + 1.0) continue;
                coverage = std::max(coverage, std::clamp(s.radius - d + 0.5, 0.0, 1.0));
                // Surface normal of a round tube, seen from the front.
                const double nx = (p.x - q.x) / s.radius;
                const double ny = (p.y - q.y) / s.radius;
                const double n2 = std::min(1.0, nx * nx + ny * ny);
                const double nz = std::sqrt(1.0 - n2);
                const double lit = std::max(0.0, nx * lightX + ny * lightY + nz * 0.55);
                shade = std::max(shade, 0.45 + 0.55 * std::min(1.0, lit));
            }
            if (coverage <= 0) continue;
            const Colour c{base.r * shade, base.g * shade, base.b * shade};
            canvas.blend(x, y, c, coverage * opacity);
            // A small glint where the surface faces the light squarely.
            if (shade > 0.97)
                canvas.add(x, y, {60, 60, 60}, (shade - 0.97) / 0.03 * coverage * opacity);
        }
    }
}

struct Pose {
    Vec head;
    Vec neck, hip;
    Vec nearElbow, nearHand, farElbow, farHand;
    Vec nearKnee, nearFoot, farKnee, farFoot;
    Vec nearToe, farToe;
};

void buildFigure(const Pose& pose, Layer& front, Layer& back) {
    const double limb = 3.6, joint = 4.6, torso = 4.4;
    back.limb(pose.neck, pose.farElbow, limb);
    back.limb(pose.farElbow, pose.farHand, limb);
    back.disc(pose.farElbow, joint);
    back.disc(pose.farHand, joint);
    back.limb(pose.hip, pose.farKnee, limb);
    back.limb(pose.farKnee, pose.farFoot, limb);
    back.limb(pose.farFoot, pose.farToe, limb * 0.9);
    back.disc(pose.farKnee, joint);
    back.disc(pose.farFoot, joint);

    front.limb(pose.neck, pose.hip, torso);
    front.limb(pose.neck, pose.head, torso * 0.8);
    front.disc(pose.head, 15.0);
    front.disc(pose.neck, joint + 0.6);
    front.disc(pose.hip, joint + 0.8);
    front.limb(pose.neck, pose.nearElbow, limb);
    front.limb(pose.nearElbow, pose.nearHand, limb);
    front.disc(pose.nearElbow, joint);
    front.disc(pose.nearHand, joint);
    front.limb(pose.hip, pose.nearKnee, limb);
    front.limb(pose.nearKnee, pose.nearFoot, limb);
    front.limb(pose.nearFoot, pose.nearToe, limb * 0.9);
    front.disc(pose.nearKnee, joint);
    front.disc(pose.nearFoot, joint);
}

void paintFloor(Canvas& canvas, double floorY,
                const std::vector<std::pair<double, double>>& shadows) {
    for (int y = 0; y < canvas.h; ++y) {
        for (int x = 0; x < canvas.w; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            // Fade toward the sides so the floor reads as a lit stage, not a frame edge.
            const double across = std::abs(px - canvas.w * 0.5) / (canvas.w * 0.5);
            const double sideFade = std::clamp((1.0 - across) * 2.2, 0.0, 1.0);
            double shadow = 1.0;
            for (const auto& [sx, halfWidth] : shadows) {
                const double u = (px - sx) / halfWidth, v = (py - floorY - 2.0) / 5.0;
                shadow = std::min(shadow, 0.35 + 0.65 * std::clamp(u * u + v * v, 0.0, 1.0));
            }
            const double lineCoverage = std::clamp(1.5 - std::abs(py - floorY), 0.0, 1.0);
            canvas.blend(x, y, {200, 196, 186}, lineCoverage * sideFade * shadow);
            if (py > floorY + 1.0) {
                const double below = (py - floorY - 1.0) / 22.0;
                if (below < 1.0) {
                    const double glow = 0.5 * (1.0 - below) * (1.0 - below);
                    canvas.blend(x, y, {96, 88, 112}, glow * sideFade * shadow);
                }
            }
        }
    }
}

// Speed arcs trace where the kicking foot came from, centred on the hip it swings around.
void paintSwoosh(Canvas& canvas, Vec centre, double radius, double fromAngle, double toAngle,
                 Colour c) {
    for (int y = 0; y < canvas.h; ++y) {
        for (int x = 0; x < canvas.w; ++x) {
            const double dx = x + 0.5 - centre.x, dy = y + 0.5 - centre.y;
            const double angle = std::atan2(dy, dx);
            if (angle < fromAngle || angle > toAngle) continue;
            const double fresh = 1.0 - (angle - fromAngle) / (toAngle - fromAngle);
            const double width = 0.5 + 1.5 * fresh;
            const double d = std::abs(std::hypot(dx, dy) - radius);
            const double coverage = std::clamp(width - d + 0.5, 0.0, 1.0);
            canvas.blend(x, y, c, coverage * fresh * 0.85);
        }
    }
}

void paintSpark(Canvas& canvas, Vec centre) {
    // Uneven ray lengths make the burst look struck rather than stamped.
    static const double lengths[] = {34, 21, 30, 18, 36, 23, 28, 17, 31};
    constexpr int kRays = sizeof lengths / sizeof lengths[0];
    for (int y = 0; y < canvas.h; ++y) {
        for (int x = 0; x < canvas.w; ++x) {
            const double dx = x + 0.5 - centre.x, dy = y + 0.5 - centre.y;
            const double r = std::hypot(dx, dy);
            if (r > 44) continue;
            double rayCoverage = 0;
            for (int k = 0; k < kRays; ++k) {
                const double rayAngle = 2 * kPi * k / kRays + 0.3;
                const double along = dx * std::cos(rayAngle) + dy * std::sin(rayAngle);
                const double across = std::abs(-dx * std::sin(rayAngle) + dy * std::cos(rayAngle));
                if (along < 0 || along > lengths[k]) continue;
                const double halfWidth = 2.6 * (1.0 - along / lengths[k]);
                rayCoverage = std::max(rayCoverage, std::clamp(halfWidth - across + 0.5, 0.0, 1.0));
            }
            const double glow = std::exp(-r * r / (2 * 10.0 * 10.0));
            const double core = std::clamp(6.5 - r, 0.0, 1.0);
            const double heat = std::clamp(1.0 - r / 30.0, 0.0, 1.0);
            const Colour rayColour{255, 190 + 65 * heat, 80 + 170 * heat * heat};
            canvas.blend(x, y, {255, 140, 40}, glow * 0.75);
            canvas.blend(x, y, rayColour, rayCoverage);
            canvas.blend(x, y, {255, 255, 240}, core);
        }
    }
}

Bytes makeTitle() {
    constexpr int kWidth = 205, kHeight = 275;
    Canvas canvas(kWidth, kHeight);
    const double floorY = 250.5;

    // Left: the kicker, leaning back on one leg with the other driven up at the head.
    Pose kicker;
    kicker.head = {34, 85};
    kicker.neck = {44, 106};
    kicker.hip = {62, 160};
    kicker.nearKnee = {99, 129};
    kicker.nearFoot = {133, 95};
    kicker.nearToe = {145, 86};
    kicker.farKnee = {56, 205};
    kicker.farFoot = {49, 246};
    kicker.farToe = {62, 247};
    kicker.nearElbow = {22, 126};
    kicker.nearHand = {8, 146};
    kicker.farElbow = {66, 122};
    kicker.farHand = {80, 102};

    // Right: the one being kicked, head snapped back, arms thrown out, stumbling.
    Pose victim;
    victim.head = {172, 82};
    victim.neck = {164, 106};
    victim.hip = {156, 163};
    victim.nearKnee = {137, 204};
    victim.nearFoot = {128, 246};
    victim.nearToe = {116, 247};
    victim.farKnee = {176, 205};
    victim.farFoot = {188, 246};
    victim.farToe = {176, 247};
    victim.nearElbow = {182, 132};
    victim.nearHand = {198, 150};
    victim.farElbow = {188, 102};
    victim.farHand = {196, 76};

    paintFloor(canvas, floorY, {{52, 20}, {158, 30}});

    Layer kickerFront, kickerBack, victimFront, victimBack;
    buildFigure(kicker, kickerFront, kickerBack);
    buildFigure(victim, victimFront, victimBack);
    const Colour kickerColour{140, 205, 255}, victimColour{255, 168, 110};
    paintLayer(canvas, victimBack,
               {victimColour.r * 0.6, victimColour.g * 0.6, victimColour.b * 0.6}, 1.0);
    paintLayer(canvas, kickerBack,
               {kickerColour.r * 0.6, kickerColour.g * 0.6, kickerColour.b * 0.6}, 1.0);
    paintLayer(canvas, victimFront, victimColour, 1.0);

    const double swing =
        std::atan2(kicker.nearFoot.y - kicker.hip.y, kicker.nearFoot.x - kicker.hip.x);
    for (int i = 0; i < 3; ++i) {
        paintSwoosh(canvas, kicker.hip, 56.0 + i * 14.0, swing + 0.08, swing + 0.75 - i * 0.14,
                    {170, 220, 255});
    }
    paintLayer(canvas, kickerFront, kickerColour, 1.0);
    const Vec impact{153, 84};
    paintSpark(canvas, impact);
    // A few flecks thrown clear of the burst.
    Layer flecks;
    static const double fleckAngles[] = {-2.2, -1.3, -0.35, 0.55, 2.5};
    static const double fleckDistances[] = {44, 47, 42, 45, 41};
    for (int i = 0; i < 5; ++i) {
        flecks.disc({impact.x + fleckDistances[i] * std::cos(fleckAngles[i]),
                     impact.y + fleckDistances[i] * std::sin(fleckAngles[i])},
                    1.7 + 0.4 * (i % 2));
    }
    paintLayer(canvas, flecks, {255, 225, 140}, 1.0);

    Bytes pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
    for (std::size_t i = 0; i < canvas.px.size(); ++i) {
        const Colour& c = canvas.px[i];
        pixels[i * 3 + 0] = static_cast<unsigned char>(std::lround(std::clamp(c.r, 0.0, 255.0)));
        pixels[i * 3 + 1] = static_cast<unsigned char>(std::lround(std::clamp(c.g, 0.0, 255.0)));
        pixels[i * 3 + 2] = static_cast<unsigned char>(std::lround(std::clamp(c.b, 0.0, 255.0)));
    }

    PngRequest request;
    request.width = kWidth;
    request.height = kHeight;
    request.colorType = PNG_COLOR_TYPE_RGB;
    request.channels = 3;
    // Stored deflate blocks: the size then depends on the dimensions alone, never on the drawing.
    request.compressionLevel = 0;
    request.filters = PNG_FILTER_NONE;
    request.pixels = pixels.data();
    return encodePngOfSize(
        request, 169773, "205275.png",
        "Flailwick title picture: two stick figures mid-fight, one landing a high "
        "kick on the other's head. Drawn by tools/make_assets.cpp. ");
}

// ---------------------------------------------------------------- WAV

// Fixed-seed generator so the noise in the sounds is the same on every run.
struct Noise {
    std::uint32_t state;
    explicit Noise(std::uint32_t seed) : state(seed) {}
    double next() {  // uniform in [-1, 1)
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state >> 8) * (2.0 / 16777216.0) - 1.0;
    }
};

void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v & 0xff));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
}

void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

void putTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

Bytes wavHeader(int rate, int bits, const Bytes& extraChunk, std::uint32_t dataBytes) {
    const int blockAlign = bits / 8;
    Bytes b;
    putTag(b, "RIFF");
    put32(b, static_cast<std::uint32_t>(4 + 8 + 16 + extraChunk.size() + 8 + dataBytes));
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, 16);
    put16(b, 1);  // PCM
    put16(b, 1);  // mono
    put32(b, static_cast<std::uint32_t>(rate));
    put32(b, static_cast<std::uint32_t>(rate * blockAlign));
    put16(b, static_cast<unsigned>(blockAlign));
    put16(b, static_cast<unsigned>(bits));
    b.insert(b.end(), extraChunk.begin(), extraChunk.end());
    putTag(b, "data");
    put32(b, dataBytes);
    return b;
}

// Scales to the wanted peak and eases the last few milliseconds to silence, so a
// sound cut at its end never clicks.
void finishSamples(std::vector<double>& s, int rate, double peak) {
    double largest = 0;
    for (double v : s)
        largest = std::max(largest, std::abs(v));
    if (largest <= 0) die("synthesised a silent sound");
    const std::size_t fade = static_cast<std::size_t>(rate * 0.012);
    for (std::size_t i = 0; i < s.size(); ++i) {
        double v = s[i] * peak / largest;
        const std::size_t left = s.size() - 1 - i;
        if (left < fade) v *= static_cast<double>(left) / static_cast<double>(fade);
        s[i] = v;
    }
}

Bytes makeBlow() {
    constexpr int kRate = 11025;
    constexpr int kSamples = 3328;
    std::vector<double> s(kSamples);
    Noise noise(0x5eed1234u);
    double phase = 0, lowpassed = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double t = static_cast<double>(i) / kRate;
        // The pitch falls from about 150 Hz to 50 Hz: the body of the thud.
        const double freq = 50.0 + 100.0 * std::exp(-t / 0.055);
        phase += 2 * kPi * freq / kRate;
        const double attack = std::min(1.0, t / 0.003);
        const double body = attack * std::exp(-t / 0.075);
        double v = std::sin(phase) + 0.35 * std::sin(2 * phase + 0.4) * std::exp(-t / 0.03);
        v *= body;
        // A short, darkened noise burst gives the slap of the contact.
        lowpassed += (noise.next() - lowpassed) * 0.45;
        v += 0.9 * lowpassed * std::exp(-t / 0.009) * std::min(1.0, t / 0.001);
        // Gentle saturation thickens the hit without hard clipping.
        s[static_cast<std::size_t>(i)] = std::tanh(1.6 * v);
    }
    finishSamples(s, kRate, 0.9);

    Bytes list;
    putTag(list, "LIST");
    put32(list, 14);
    putTag(list, "INFO");
    putTag(list, "INAM");
    put32(list, 2);
    list.push_back('B');
    list.push_back(0);
    if (list.size() != 8 + 14)
        die("blow.wav: LIST chunk is " + std::to_string(list.size()) + " bytes");

    Bytes wav = wavHeader(kRate, 8, list, kSamples);
    for (double v : s) {
        const long q = std::lround(128.0 + 127.0 * v);
        wav.push_back(static_cast<unsigned char>(std::clamp(q, 1L, 255L)));
    }
    return wav;
}

Bytes makeBlock() {
    constexpr int kRate = 8000;
    constexpr int kSamples = 2801;
    // Inharmonic partials, the higher ones dying first, sound like wood or a forearm, not a bell.
    struct Partial {
        double freq, amp, decay;
    };
    static const std::array<Partial, 5> partials = {{
        {212.0, 1.00, 0.060},
        {331.0, 0.70, 0.042},
        {447.0, 0.45, 0.030},
        {589.0, 0.30, 0.021},
        {263.0, 0.35, 0.075},
    }};
    std::vector<double> s(kSamples);
    Noise noise(0x0b10c4u);
    double lowpassed = 0, lowpassed2 = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.002);
        double v = 0;
        for (const Partial& p : partials)
            v += p.amp * std::sin(2 * kPi * p.freq * t) * std::exp(-t / p.decay);
        v *= attack;
        lowpassed += (noise.next() - lowpassed) * 0.35;
        lowpassed2 += (lowpassed - lowpassed2) * 0.35;
        v += 1.4 * lowpassed2 * std::exp(-t / 0.012) * attack;
        s[static_cast<std::size_t>(i)] = v;
    }
    finishSamples(s, kRate, 0.8);

    Bytes wav = wavHeader(kRate, 16, {}, kSamples * 2);
    for (double v : s) {
        const long q = std::clamp(std::lround(v * 32767.0), -32767L, 32767L);
        put16(wav, static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(q))));
    }
    return wav;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_assets <assets-dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    writeExact(dir + "/spark.png", makeSpark(), 5592);
    writeExact(dir + "/205275.png", makeTitle(), 169773);
    writeExact(dir + "/blow.wav", makeBlow(), 3394);
    writeExact(dir + "/block.wav", makeBlock(), 5646);
    return 0;
}
