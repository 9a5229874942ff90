// The built-in font: drawing and measuring strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/png_pixels.h"
#include "tests/support/headless_fixture.h"

namespace {

class GraphicsText : public HeadlessTest {
  protected:
    std::vector<Primitive> quads() const {
        std::vector<Primitive> out;
        for (const Primitive& p : headless.currentFrame()) {
            if (p.kind == Primitive::Texture) out.push_back(p);
        }
        return out;
    }
};

std::vector<unsigned char> embeddedBytes(const char* name) {
    const EmbeddedAsset* asset = findEmbeddedAsset(name);
    if (asset == nullptr) return {};
    return std::vector<unsigned char>(asset->bytes, asset->bytes + asset->size);
}

TEST_F(GraphicsText, FontResourceIsAddedUnderItsName) {
    clearResources();
    addFontResource();
    addFontResource();
    StreamPtr font = openForReading("incbin::font8x16.bin");
    ASSERT_TRUE(font);
    EXPECT_EQ(readRest(*font).size(), 1536u);
    closeStream(font);
}

TEST_F(GraphicsText, DrawStringAtScaleTwo) {
    openWindow();
    setDrawScale(2, 2);
    setDrawColor(10, 20, 30);
    drawString("AB", 10, 20);
    const std::vector<Primitive> q = quads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].x, 10);
    EXPECT_EQ(q[0].y, 20);
    EXPECT_EQ(q[0].w, 16);
    EXPECT_EQ(q[0].h, 32);
    EXPECT_EQ(q[1].x, 26);
    EXPECT_EQ(q[1].y, 20);
    EXPECT_NE(q[0].texture, q[1].texture);
    EXPECT_EQ(q[0].paint.r, 10);
    EXPECT_EQ(q[0].paint.b, 30);
    EXPECT_EQ(q[0].paint.blend, Cutout);
}

TEST_F(GraphicsText, CharactersOutsideTheFontAreSkippedWithoutAdvancing) {
    openWindow();
    drawString(std::string("A\xC8\n\x1F") + "A", 0, 0);
    const std::vector<Primitive> q = quads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[1].x, 8);
    EXPECT_EQ(q[0].texture, q[1].texture);
}

TEST_F(GraphicsText, DrawStringBeforeTheDisplayOpensDrawsNothing) {
    drawString("HELLO", 0, 0);
    EXPECT_TRUE(headless.currentFrame().empty());
}

TEST_F(GraphicsText, MeasuresIgnoreTheScale) {
    setDrawScale(3, 5);
    EXPECT_EQ(stringWidth("123456789"), 72);
    EXPECT_EQ(stringHeight("123456789"), 16);
    EXPECT_EQ(stringWidth(""), 0);
    EXPECT_EQ(stringHeight(""), 0);
    EXPECT_EQ(stringWidth("A\xC8Z"), 16);
    EXPECT_EQ(stringWidth("\xC8\xC9"), 0);
    EXPECT_EQ(stringHeight("\xC8\xC9"), 0);
    EXPECT_EQ(stringWidth(" \x7F"), 16);  // 32 and 127 are both glyphs
}

TEST_F(GraphicsText, GlyphTexturesFollowTheFontBitmap) {
    const std::vector<unsigned char> font = embeddedBytes("font8x16.bin");
    ASSERT_EQ(font.size(), 1536u);
    // The layout: 'L' has its stem in the two leftmost columns, so row 3
    // (the first row of the capital) holds bits 0 and 1 only.
    EXPECT_EQ(font[3 * 96 + ('L' - 32)], 0x03);

    openWindow();
    std::string all;
    for (int c = 32; c <= 127; ++c)
        all.push_back(static_cast<char>(c));
    drawString(all, 0, 0);
    const std::vector<Primitive> q = quads();
    ASSERT_EQ(q.size(), 96u);
    for (int glyph = 0; glyph < 96; ++glyph) {
        const HeadlessPlatform::Texture& t = headless.texture(q[glyph].texture);
        ASSERT_EQ(t.width, 8);
        ASSERT_EQ(t.height, 16);
        EXPECT_FALSE(t.smooth);
        ASSERT_EQ(t.rgba.size(), 8u * 16 * 4);
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < 8; ++column) {
                const bool lit = ((font[row * 96 + glyph] >> column) & 1) != 0;
                const std::uint8_t* px = &t.rgba[(row * 8 + column) * 4];
                const std::uint8_t v = lit ? 255 : 0;
                ASSERT_TRUE(px[0] == v && px[1] == v && px[2] == v && px[3] == v)
                    << "glyph " << glyph + 32 << " row " << row << " column " << column;
            }
        }
    }
}

// --- Pictures ---

TEST_F(GraphicsText, TitlePictureLosesItsBlackAndSparkKeepsItsAlpha) {
    addEmbeddedResources();
    openWindow();
    Image* title = loadImage("incbin::205275.png");
    Image* spark = loadImage("incbin::spark.png", -1);
    ASSERT_NE(title, nullptr);
    ASSERT_NE(spark, nullptr);
    EXPECT_EQ(imageWidth(title), 205);
    EXPECT_EQ(imageHeight(title), 275);
    EXPECT_EQ(imageWidth(spark), 64);
    EXPECT_EQ(imageHeight(spark), 64);

    Pixels raw;
    ASSERT_TRUE(decodePng(embeddedBytes("205275.png"), raw));
    EXPECT_FALSE(raw.hadAlpha);
    const HeadlessPlatform::Texture& t = headless.texture(title->frames[0]);
    EXPECT_TRUE(t.smooth);
    ASSERT_EQ(t.rgba.size(), raw.rgba.size());
    int black = 0;
    for (std::size_t i = 0; i < raw.rgba.size(); i += 4) {
        const bool isBlack = raw.rgba[i] == 0 && raw.rgba[i + 1] == 0 && raw.rgba[i + 2] == 0;
        black += isBlack;
        ASSERT_EQ(t.rgba[i + 3], isBlack ? 0 : 255) << "pixel " << i / 4;
    }
    EXPECT_GT(black, 0);

    Pixels sparkRaw;
    ASSERT_TRUE(decodePng(embeddedBytes("spark.png"), sparkRaw));
    EXPECT_TRUE(sparkRaw.hadAlpha);
    EXPECT_EQ(headless.texture(spark->frames[0]).rgba, sparkRaw.rgba);
}

TEST_F(GraphicsText, FlagsZeroKeepsBlackAndFiltersNothing) {
    addEmbeddedResources();
    openWindow();
    Image* title = loadImage("incbin::205275.png", 0);
    ASSERT_NE(title, nullptr);
    const HeadlessPlatform::Texture& t = headless.texture(title->frames[0]);
    EXPECT_FALSE(t.smooth);
    for (std::size_t i = 3; i < t.rgba.size(); i += 4)
        ASSERT_EQ(t.rgba[i], 255);
}

TEST_F(GraphicsText, UnreadablePicturesGiveNull) {
    addEmbeddedResources();
    openWindow();
    EXPECT_EQ(loadImage("incbin::nothing.png"), nullptr);
    EXPECT_EQ(loadImage("incbin::blow.wav"), nullptr);
    EXPECT_EQ(loadImage("/nonexistent/picture.png"), nullptr);
    EXPECT_EQ(imageWidth(nullptr), 0);
    EXPECT_EQ(imageHeight(nullptr), 0);
}

TEST_F(GraphicsText, ImagesScaleAboutTheirTopLeftCorner) {
    addEmbeddedResources();
    openWindow();
    Image* title = loadImage("incbin::205275.png");
    ASSERT_NE(title, nullptr);
    setDrawScale(2, 0.5f);
    setDrawColor(1, 2, 3);
    drawImage(title, 409, 196);
    drawImage(title, 0, 0, 1);  // no such frame
    drawImage(nullptr, 0, 0);
    const std::vector<Primitive> q = quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].texture, title->frames[0]);
    EXPECT_EQ(q[0].x, 409);
    EXPECT_EQ(q[0].y, 196);
    EXPECT_EQ(q[0].w, 410);
    EXPECT_EQ(q[0].h, 137.5f);
    EXPECT_EQ(q[0].paint.g, 2);
}

}  // namespace
