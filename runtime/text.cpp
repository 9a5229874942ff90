// The built-in 8 x 16 font: glyphs uploaded once, strings drawn and measured.
#include <array>
#include <cstdint>
#include <vector>

#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/graphics_internal.h"
#include "runtime/numbers.h"
#include "runtime/presentation.h"

namespace {

constexpr const char* kFontName = "font8x16.bin";
constexpr int kFirstGlyph = 32;
constexpr int kGlyphCount = 96;
constexpr int kGlyphWidth = 8;
constexpr int kGlyphHeight = 16;
constexpr std::size_t kFontBytes = static_cast<std::size_t>(kGlyphCount) * kGlyphHeight;

std::array<TextureId, kGlyphCount> glyphs{};
bool glyphsReady = false;

bool isGlyph(unsigned char c) { return c >= kFirstGlyph && c < kFirstGlyph + kGlyphCount; }

std::vector<unsigned char> fontBitmap() {
    StreamPtr stream = openForReading(std::string("incbin::") + kFontName);
    if (!stream) return {};
    std::vector<unsigned char> bytes = readRest(*stream);
    closeStream(stream);
    return bytes;
}

}  // namespace

void addFontResource() {
    const EmbeddedAsset* font = findEmbeddedAsset(kFontName);
    if (font != nullptr) addResource(kFontName, font->bytes, font->size);
}

void makeGlyphs() {
    // Added again here in case the resource table was cleared since start-up;
    // adding a name that is present changes nothing.
    addFontResource();
    std::vector<unsigned char> bitmap = fontBitmap();
    // A font of the wrong size would be read out of step; blank glyphs are safer.
    if (bitmap.size() != kFontBytes) bitmap.assign(kFontBytes, 0);

    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kGlyphWidth) * kGlyphHeight * 4);
    for (int glyph = 0; glyph < kGlyphCount; ++glyph) {
        for (int row = 0; row < kGlyphHeight; ++row) {
            const unsigned char bits = bitmap[static_cast<std::size_t>(row) * kGlyphCount + glyph];
            for (int column = 0; column < kGlyphWidth; ++column) {
                const std::uint8_t v = ((bits >> column) & 1) != 0 ? 255 : 0;
                std::uint8_t* pixel =
                    &rgba[(static_cast<std::size_t>(row) * kGlyphWidth + column) * 4];
                pixel[0] = pixel[1] = pixel[2] = pixel[3] = v;
            }
        }
        glyphs[glyph] = platform().uploadTexture(kGlyphWidth, kGlyphHeight, rgba.data(), false);
    }
    glyphsReady = true;
}

void forgetGlyphs() {
    glyphs.fill(0);
    glyphsReady = false;
}

void drawString(const std::string& text, float x, float y) {
    if (!glyphsReady || !presentation().drawing) return;
    const double w = kGlyphWidth * static_cast<double>(drawState().scaleX);
    const double h = kGlyphHeight * static_cast<double>(drawState().scaleY);
    double pen = x;
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (!isGlyph(c)) continue;
        platform().drawTexturedQuad(glyphs[c - kFirstGlyph], static_cast<float>(pen), y,
                                    static_cast<float>(w), static_cast<float>(h), currentPaint());
        pen += w;
    }
}

int stringWidth(const std::string& text) {
    int width = 0;
    for (char ch : text) {
        if (isGlyph(static_cast<unsigned char>(ch))) width += kGlyphWidth;
    }
    return width;
}

float centredX(const std::string& text, float scale) {
    return static_cast<float>((1024 - toInt(stringWidth(text) * static_cast<double>(scale))) / 2.0);
}

int stringHeight(const std::string& text) {
    for (char ch : text) {
        if (isGlyph(static_cast<unsigned char>(ch))) return kGlyphHeight;
    }
    return 0;
}
