// Mipmaps halved on the CPU as the driver would sample them.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/png_pixels.h"

namespace {

// A picture whose four channels all hold the given grey levels, row by row.
Pixels grey(int width, int height, const std::vector<int>& levels) {
    Pixels p;
    p.width = width;
    p.height = height;
    for (int v : levels) {
        for (int c = 0; c < 4; ++c)
            p.rgba.push_back(static_cast<std::uint8_t>(v));
    }
    return p;
}

std::vector<int> levels(const Pixels& p) {
    std::vector<int> out;
    for (std::size_t i = 0; i < p.rgba.size(); i += 4) {
        for (std::size_t c = 1; c < 4; ++c)
            EXPECT_EQ(p.rgba[i + c], p.rgba[i]) << "channels filtered alike";
        out.push_back(p.rgba[i]);
    }
    return out;
}

TEST(Mipmaps, TheTitlePictureHalvesDownToOnePixel) {
    Pixels level = grey(205, 275, std::vector<int>(205 * 275, 9));
    const std::pair<int, int> sizes[] = {{102, 137}, {51, 68}, {25, 34}, {12, 17},
                                         {6, 8},     {3, 4},   {1, 2},   {1, 1}};
    for (const auto& [w, h] : sizes) {
        level = halvePixels(level);
        ASSERT_EQ(level.width, w);
        ASSERT_EQ(level.height, h);
        ASSERT_EQ(level.rgba.size(), static_cast<std::size_t>(w) * h * 4);
    }
    EXPECT_EQ(levels(level), std::vector<int>{9});
}

// The driver's generator samples each new texel's centre bilinearly with 8-bit
// weights, blending along rows first and rounding every step.
TEST(Mipmaps, TexelsAreSampledAsTheDriverSamplesThem) {
    // Rows first gives 2 here; columns first or a plain 2 x 2 average give 1.
    EXPECT_EQ(levels(halvePixels(grey(2, 2, {0, 1, 2, 1}))), std::vector<int>{2});
    // Three texels to one: the centre falls on the middle one.
    EXPECT_EQ(levels(halvePixels(grey(3, 1, {10, 200, 30}))), std::vector<int>{200});
    // Five to two: centres at 1.25 and 3.75 texels, weights 192 and 64 of 256.
    EXPECT_EQ(levels(halvePixels(grey(5, 1, {0, 255, 0, 0, 255}))), (std::vector<int>{191, 64}));
    // A column of one stays one wide.
    EXPECT_EQ(levels(halvePixels(grey(1, 2, {100, 51}))), std::vector<int>{76});
}

}  // namespace
