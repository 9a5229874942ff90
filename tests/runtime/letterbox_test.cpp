// The letterbox of a scaled picture.
#include "runtime/platform/letterbox.h"

#include <gtest/gtest.h>

// Where the corners (0, 0) and (1024, 768) of the game's picture land.
TEST(Letterbox, TheGamesCornersLandOnTheBarsEdges) {
    struct Case {
        int w, h, x, y, width, height;
    };
    for (const Case c : {Case{1024, 768, 0, 0, 1024, 768}, Case{1280, 1024, 0, 32, 1280, 960},
                         Case{1920, 1080, 240, 0, 1440, 1080}, Case{2048, 1536, 0, 0, 2048, 1536},
                         Case{800, 700, 0, 50, 800, 600}}) {
        const Letterbox box = letterbox(c.w, c.h);
        EXPECT_EQ(box.x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(box.y, c.y) << c.w << "x" << c.h;
        EXPECT_EQ(box.x + box.width, c.x + c.width) << c.w << "x" << c.h;
        EXPECT_EQ(box.y + box.height, c.y + c.height) << c.w << "x" << c.h;
    }
    EXPECT_EQ(letterbox(0, 768).width, 0);  // a minimised window shows nothing
}
