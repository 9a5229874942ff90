// The embedded pictures, sounds and font, read back through the game's own readers.
#include <gtest/gtest.h>

#include <string>

#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/png_pixels.h"
#include "runtime/wav.h"
#include "tests/support/counting_allocator.h"

namespace {

const EmbeddedAsset& asset(const char* name) {
    const EmbeddedAsset* a = findEmbeddedAsset(name);
    EXPECT_NE(a, nullptr) << name;
    static const EmbeddedAsset none{"", nullptr, 0};
    return a != nullptr ? *a : none;
}

Pixels decode(const char* name) {
    const EmbeddedAsset& a = asset(name);
    Pixels pixels;
    EXPECT_TRUE(decodePng(std::vector<unsigned char>(a.bytes, a.bytes + a.size), pixels)) << name;
    return pixels;
}

WavData wav(const char* name) {
    const EmbeddedAsset& a = asset(name);
    clearResources();
    addResource(name, a.bytes, a.size);
    StreamPtr s = openForReading(std::string("incbin::") + name);
    WavData data;
    EXPECT_TRUE(s && readWav(*s, data)) << name;
    clearResources();
    return data;
}

// PNG header fields straight from the IHDR chunk.
int bitDepth(const EmbeddedAsset& a) { return a.bytes[24]; }
int colourType(const EmbeddedAsset& a) { return a.bytes[25]; }

}  // namespace

TEST(EmbeddedAssets, SizesAreExact) {
    EXPECT_EQ(asset("font8x16.bin").size, 1536u);
    EXPECT_EQ(asset("spark.png").size, 5592u);
    EXPECT_EQ(asset("blow.wav").size, 3394u);
    EXPECT_EQ(asset("block.wav").size, 5646u);
    EXPECT_EQ(asset("205275.png").size, 169773u);
    EXPECT_EQ(findEmbeddedAsset("missing.png"), nullptr);
}

TEST(EmbeddedAssets, SparkIsAnOpaqueGreyRadialGradient) {
    EXPECT_EQ(bitDepth(asset("spark.png")), 8);
    EXPECT_EQ(colourType(asset("spark.png")), 6);  // RGBA
    const Pixels p = decode("spark.png");
    ASSERT_EQ(p.width, 64);
    ASSERT_EQ(p.height, 64);
    EXPECT_TRUE(p.hadAlpha);
    auto at = [&](int x, int y) { return &p.rgba[(static_cast<std::size_t>(y) * 64 + x) * 4]; };
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t* q = at(x, y);
            ASSERT_EQ(q[3], 255);
            ASSERT_EQ(q[0], q[1]);
            ASSERT_EQ(q[1], q[2]);
        }
    }
    EXPECT_GE(at(32, 32)[0], 240);
    EXPECT_LE(at(0, 32)[0], 16);
    EXPECT_LE(at(0, 0)[0], 16);
    // Falling roughly linearly: half way out is about half as bright.
    EXPECT_NEAR(at(48, 32)[0], 126, 20);
    EXPECT_GT(at(40, 32)[0], at(48, 32)[0]);
}

TEST(EmbeddedAssets, TitlePictureIsRgbOnBlack) {
    EXPECT_EQ(bitDepth(asset("205275.png")), 8);
    EXPECT_EQ(colourType(asset("205275.png")), 2);  // RGB, no alpha
    const Pixels p = decode("205275.png");
    ASSERT_EQ(p.width, 205);
    ASSERT_EQ(p.height, 275);
    EXPECT_FALSE(p.hadAlpha);
    int black = 0;
    int lit = 0;
    for (std::size_t i = 0; i < p.rgba.size(); i += 4) {
        const bool isBlack = p.rgba[i] == 0 && p.rgba[i + 1] == 0 && p.rgba[i + 2] == 0;
        black += isBlack;
        lit += p.rgba[i] + p.rgba[i + 1] + p.rgba[i + 2] > 300;
    }
    EXPECT_EQ(p.rgba[0] + p.rgba[1] + p.rgba[2], 0);  // the corner is background
    EXPECT_GT(black, 205 * 275 / 2);
    EXPECT_GT(lit, 1000);  // and there is a picture on it
}

TEST(EmbeddedAssets, BlowIsEightBitMonoWithAnExtraChunk) {
    const WavData w = wav("blow.wav");
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.sampleRate, 11025);
    EXPECT_EQ(w.bitsPerSample, 8);
    EXPECT_EQ(w.frames, 3328);
    // 12 + 24 + 3336 bytes would be a plain file: the rest is a chunk the reader skipped.
    EXPECT_GT(asset("blow.wav").size, 12u + 24u + 8u + 3328u);
    int loud = 0;
    for (unsigned char s : w.data)
        loud += s < 64 || s > 192;
    EXPECT_GT(loud, 50);
}

TEST(EmbeddedAssets, BlockIsSixteenBitMono) {
    const WavData w = wav("block.wav");
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.sampleRate, 8000);
    EXPECT_EQ(w.bitsPerSample, 16);
    EXPECT_EQ(w.frames, 2801);
    EXPECT_EQ(w.data.size(), 5602u);
}

TEST(EmbeddedAssets, FontHasEveryGlyphInItsLayout) {
    const EmbeddedAsset& font = asset("font8x16.bin");
    ASSERT_EQ(font.size, 1536u);
    auto row = [&](int c, int r) { return font.bytes[r * 96 + (c - 32)]; };
    for (int r = 0; r < 16; ++r)
        EXPECT_EQ(row(' ', r), 0) << "space row " << r;
    for (int c = 33; c <= 127; ++c) {
        int set = 0;
        for (int r = 0; r < 16; ++r)
            set |= row(c, r);
        EXPECT_NE(set, 0) << "glyph " << c << " is empty";
    }
    // Capitals and digits leave the rightmost column free, so text never touches.
    for (int c : {'A', 'M', 'W', 'H', '0', '8'}) {
        for (int r = 0; r < 16; ++r)
            EXPECT_EQ(row(c, r) & 0x80, 0) << static_cast<char>(c);
    }
    // 'I' and 'l' differ; so do 'O' and '0'.
    int differI = 0, differO = 0;
    for (int r = 0; r < 16; ++r) {
        differI += row('I', r) != row('l', r);
        differO += row('O', r) != row('0', r);
    }
    EXPECT_GT(differI, 0);
    EXPECT_GT(differO, 0);
}

TEST(PictureDecoding, RefusesLiesBeforeAllocatingForThem) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    // A 1 x 1 header, then a text chunk claiming almost two gigabytes.
    const std::vector<unsigned char> liar = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00,
        0x00, 0x3a, 0x7e, 0x9b, 0x55, 0x7f, 0xff, 0xff, 0xf0, 0x74, 0x45, 0x58, 0x74};
    // The spark with its width raised to 4097: a picture larger than the game decodes.
    const EmbeddedAsset& spark = asset("spark.png");
    std::vector<unsigned char> wide(spark.bytes, spark.bytes + spark.size);
    wide[18] = 0x10;
    wide[19] = 0x01;
    AllocationCounter counter;
    Pixels pixels;
    EXPECT_FALSE(decodePng(liar, pixels));
    EXPECT_FALSE(decodePng(wide, pixels));
    EXPECT_LT(counter.largest(), 1u << 20);
}
