// The main menu and the mode choice: moving, wrapping, choosing and drawing.
#include <gtest/gtest.h>

#include <vector>

#include "app/gameapp.h"
#include "tests/support/headless_fixture.h"

namespace {

struct Glyph {
    float x, y, w, h;
    int r, g, b;
};

// The glyph quads of a recorded frame, in drawing order.
std::vector<Glyph> glyphs(const std::vector<Primitive>& frame) {
    std::vector<Glyph> out;
    for (const Primitive& p : frame) {
        if (p.kind == Primitive::Texture && p.w < 200) {
            out.push_back({p.x, p.y, p.w, p.h, p.paint.r, p.paint.g, p.paint.b});
        }
    }
    return out;
}

class MenuTest : public HeadlessTest {
  protected:
    MenuTest() {
        openWindow();
        start = headless.framesPresented();
    }
    // A press that the screen sees in its k-th frame (k from 1).
    void pressInFrame(int k, int code) { headless.pressAt(start + k - 1, code); }
    int start = 0;
    gameapp game;
};

}  // namespace

TEST_F(MenuTest, MainMenuWrapsBothWays) {
    pressInFrame(2, KeyUp);
    pressInFrame(4, KeyEnter);
    EXPECT_EQ(game.mainMenu(), MenuQuit);

    start = headless.framesPresented();
    pressInFrame(2, KeyUp);
    pressInFrame(4, KeyDown);
    pressInFrame(6, KeySpace);
    EXPECT_EQ(game.mainMenu(), MenuPlay);
}

TEST_F(MenuTest, UpAndDownInOneFrameCancel) {
    headless.keyDownAt(start + 1, KeyUp);
    headless.keyDownAt(start + 1, KeyDown);
    headless.keyUpAt(start + 2, KeyUp);
    headless.keyUpAt(start + 2, KeyDown);
    pressInFrame(5, KeyEnter);
    EXPECT_EQ(game.mainMenu(), MenuPlay);
}

TEST_F(MenuTest, DownWithEnterMovesFirst) {
    headless.keyDownAt(start + 2, KeyDown);
    headless.keyDownAt(start + 2, KeyEnter);
    EXPECT_EQ(game.mainMenu(), MenuOptions);
}

TEST_F(MenuTest, HeldKeyMovesOnce) {
    headless.keyDownAt(start + 1, KeyDown);  // never released
    pressInFrame(30, KeyEnter);
    EXPECT_EQ(game.mainMenu(), MenuOptions);
}

TEST_F(MenuTest, PressesBeforeTheMenuAreNotSeen) {
    headless.pressAt(0, KeyDown);  // typed during start-up
    headless.pressAt(0, KeyEnter);
    pressInFrame(3, KeySpace);
    EXPECT_EQ(game.mainMenu(), MenuPlay);
    EXPECT_EQ(headless.framesPresented() - start, 3);
}

TEST_F(MenuTest, EscapeEndsTheProgramAtOnce) {
    pressInFrame(3, KeyEscape);
    try {
        game.mainMenu();
        FAIL() << "the menu returned after Esc";
    } catch (const HeadlessExit& exit) {
        EXPECT_EQ(exit.status, 0);
        EXPECT_EQ(headless.framesPresented() - start, 3);
    }
}

TEST_F(MenuTest, MainMenuLayoutAndHighlight) {
    pressInFrame(2, KeyDown);
    pressInFrame(3, KeyEnter);
    game.mainMenu();
    const std::vector<Glyph> drawn = glyphs(headless.lastFrame());
    // "FLAILWICK" at scale 8.1, then the five entries at scale 6.
    ASSERT_EQ(drawn.size(), 9u + 4 + 7 + 8 + 6 + 4);
    EXPECT_FLOAT_EQ(drawn[0].x, 20);
    EXPECT_FLOAT_EQ(drawn[0].w, 8 * 8.1f);
    EXPECT_FLOAT_EQ(drawn[1].x, 20 + 8 * 8.1f);
    EXPECT_EQ(drawn[0].r, game.palette[1][1]);
    EXPECT_EQ(drawn[0].b, game.palette[1][3]);
    const Glyph& play = drawn[9];
    EXPECT_FLOAT_EQ(play.x, (1024 - 32 * 6) / 2);
    EXPECT_FLOAT_EQ(play.y, 180);
    EXPECT_FLOAT_EQ(play.w, 48);
    EXPECT_FLOAT_EQ(play.h, 96);
    EXPECT_EQ(play.r, 100);
    const Glyph& options = drawn[13];  // the selected entry after Down
    EXPECT_FLOAT_EQ(options.y, 260);
    EXPECT_FLOAT_EQ(options.x, (1024 - 56 * 6) / 2);
    EXPECT_EQ(options.r, game.palette[2][1]);
    EXPECT_EQ(options.g, game.palette[2][2]);
    EXPECT_EQ(options.b, game.palette[2][3]);
    const Glyph& quit = drawn.back();
    EXPECT_FLOAT_EQ(quit.y, 500);
    EXPECT_EQ(quit.g, 100);
    EXPECT_FLOAT_EQ(drawState().scaleX, 1.0f);
}

TEST_F(MenuTest, HighlightFollowsThePaletteFromFrameToFrame) {
    std::vector<int> reds;
    headless.onPresent([&](int) {
        const std::vector<Glyph> drawn = glyphs(headless.lastFrame());
        if (drawn.size() > 9) reds.push_back(drawn[9].r);
    });
    pressInFrame(20, KeyEnter);
    game.mainMenu();
    ASSERT_EQ(reds.size(), 20u);
    // The palette starts black and brightens by 2 each frame until it reverses.
    EXPECT_NE(reds.front(), reds.back());
}

TEST_F(MenuTest, ModeChoice) {
    struct Case {
        std::vector<int> keys;
        const char* mode;
    };
    const std::vector<Case> cases = {
        {{KeyEnter}, "1"},
        {{KeyDown, KeySpace}, "2vs"},
        {{KeyDown, KeyDown, KeyEnter}, "2coop"},
        {{KeyUp, KeyEnter}, "2coop"},
        {{KeyDown, KeyDown, KeyDown, KeyEnter}, "1"},
        {{KeyEscape}, "goback"},
    };
    for (const Case& c : cases) {
        start = headless.framesPresented();
        for (std::size_t i = 0; i < c.keys.size(); ++i)
            pressInFrame(2 + 2 * static_cast<int>(i), c.keys[i]);
        game.chooseMode();
        EXPECT_EQ(game.mode, c.mode);
    }
}

TEST_F(MenuTest, EscapeWithEnterInOneFrameGoesBack) {
    headless.keyDownAt(start + 1, KeyEnter);
    headless.keyDownAt(start + 1, KeyEscape);
    game.chooseMode();
    EXPECT_EQ(game.mode, "goback");
}

TEST_F(MenuTest, ModeChoiceLayout) {
    pressInFrame(2, KeyDown);
    pressInFrame(3, KeyEnter);
    game.chooseMode();
    const std::vector<Glyph> drawn = glyphs(headless.lastFrame());
    ASSERT_EQ(drawn.size(), 8u + 12 + 15);
    EXPECT_FLOAT_EQ(drawn[0].x, (1024 - 64 * 4) / 2);
    EXPECT_FLOAT_EQ(drawn[0].y, 260);
    EXPECT_FLOAT_EQ(drawn[0].w, 32);
    EXPECT_EQ(drawn[0].r, 100);
    EXPECT_FLOAT_EQ(drawn[8].y, 340);
    EXPECT_EQ(drawn[8].r, game.palette[2][1]);
    EXPECT_FLOAT_EQ(drawn[20].x, (1024 - 120 * 4) / 2);
}

TEST_F(MenuTest, ControlsScreenIgnoresThePressThatOpenedIt) {
    // Enter and Space together on CONTROLS: the menu takes Enter, Space is left.
    pressInFrame(2, KeyDown);
    pressInFrame(3, KeyDown);
    headless.keyDownAt(start + 4, KeyEnter);
    headless.keyDownAt(start + 4, KeySpace);
    EXPECT_EQ(game.mainMenu(), MenuControls);
    start = headless.framesPresented();
    pressInFrame(5, KeyEscape);
    game.showControls();
    EXPECT_EQ(headless.framesPresented() - start, 5);
}

TEST_F(MenuTest, ControlsScreenLayout) {
    pressInFrame(1, KeySpace);
    game.showControls();
    const std::vector<Glyph> drawn = glyphs(headless.lastFrame());
    struct Expected {
        float y, scale;
        int length;
    };
    // Every line centred; the widest rule line, 79 characters at scale 1, starts at 196.
    for (const Expected& line : {Expected{175, 3, 40}, Expected{250, 3, 27}, Expected{320, 2, 48},
                                 Expected{400, 1, 79}, Expected{700, 1, 67}}) {
        int count = 0;
        float firstX = -1;
        for (const Glyph& g : drawn) {
            if (g.y != line.y) continue;
            if (count++ == 0) firstX = g.x;
            EXPECT_FLOAT_EQ(g.h, 16 * line.scale);
        }
        EXPECT_EQ(count, line.length) << "line at " << line.y;
        EXPECT_FLOAT_EQ(firstX, (1024 - 8 * line.length * line.scale) / 2) << "line at " << line.y;
    }
    EXPECT_FLOAT_EQ(drawn[0].x, 20);
    EXPECT_FLOAT_EQ(drawn[0].w, 8 * 8.1f);
    for (const Glyph& g : drawn)
        EXPECT_EQ(g.r, game.palette[1][1]);
    EXPECT_EQ(drawn.size(),
              9u + 40 + 27 + 48 + 79 + 38 + 59 + 36 + 70 + 52 + 47 + 66 + 66 + 55 + 67);
}
