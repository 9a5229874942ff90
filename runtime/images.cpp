// Pictures loaded from PNG resources and drawn as textured quads.
#include <memory>
#include <vector>

#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/graphics_internal.h"
#include "runtime/png_pixels.h"
#include "runtime/presentation.h"

namespace {

constexpr int kDefaultImageFlags = Smooth | ColorKey;

// Pictures are loaded once and kept until the program ends.
std::vector<std::unique_ptr<Image>>& loadedImages() {
    static std::vector<std::unique_ptr<Image>> images;
    return images;
}

}  // namespace

namespace {

// The picture at path as RGBA pixels, keyed if flags ask; false when it cannot be had.
bool readPicture(const std::string& path, int flags, Pixels& pixels) {
    StreamPtr stream = openForReading(path);
    if (!stream) return false;
    const std::vector<unsigned char> bytes = readRest(*stream);
    closeStream(stream);
    if (!decodePng(bytes, pixels)) return false;
    // A picture that brings its own alpha already says what is transparent.
    if ((flags & ColorKey) != 0 && !pixels.hadAlpha) applyColorKey(pixels, 0, 0, 0);
    return true;
}

}  // namespace

Image* loadImage(const std::string& path, int flags) {
    if (flags == -1) flags = kDefaultImageFlags;
    Pixels pixels;
    if (!readPicture(path, flags, pixels)) return nullptr;

    auto image = std::make_unique<Image>();
    image->width = pixels.width;
    image->height = pixels.height;
    image->frames.push_back(platform().uploadTexture(pixels.width, pixels.height,
                                                     pixels.rgba.data(), (flags & Smooth) != 0));
    loadedImages().push_back(std::move(image));
    return loadedImages().back().get();
}

void setWindowIcon(const std::string& path, int size) {
    Pixels picture;
    if (!readPicture(path, ColorKey, picture)) return;
    const Pixels icon = fitInSquare(picture, size);
    platform().setWindowIcon(icon.width, icon.height, icon.rgba.data());
}

void drawImage(const Image* image, float x, float y, int frame) {
    if (!presentation().drawing || image == nullptr || frame < 0 ||
        frame >= static_cast<int>(image->frames.size()))
        return;
    const double sx = drawState().scaleX;
    const double sy = drawState().scaleY;
    platform().drawTexturedQuad(
        image->frames[static_cast<std::size_t>(frame)], static_cast<float>(x - image->handleX * sx),
        static_cast<float>(y - image->handleY * sy), static_cast<float>(image->width * sx),
        static_cast<float>(image->height * sy), currentPaint());
}

int imageWidth(const Image* image) { return image == nullptr ? 0 : image->width; }

int imageHeight(const Image* image) { return image == nullptr ? 0 : image->height; }
