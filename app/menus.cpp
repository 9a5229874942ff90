// The main menu, the mode choice and the heading and entries the list screens share.
#include <array>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/program.h"

namespace {

struct MenuItem {
    const char* text;
    int y;
};

constexpr std::array<MenuItem, 6> kMainMenu = {{
    {"", 0},
    {"PLAY", 180},
    {"OPTIONS", 260},
    {"CONTROLS", 340},
    {"SCORES", 420},
    {"QUIT", 500},
}};

struct ModeItem {
    const char* text;
    int y;
    const char* mode;
};

constexpr std::array<ModeItem, 4> kModes = {{
    {"", 0, ""},
    {"1 PLAYER", 260, kModeOnePlayer},
    {"2 PLAYERS VS", 340, kModeVersus},
    {"2 PLAYERS CO-OP", 420, kModeCoop},
}};

// Up then Down, each on a fresh press, wrapping within 1..count.
int moveSelection(int place, int count) {
    if (keyPresses(KeyUp) > 0) --place;
    if (keyPresses(KeyDown) > 0) ++place;
    if (place < 1) place = count;
    if (place > count) place = 1;
    return place;
}

}  // namespace

void gameapp::drawEntry(const std::string& text, int y, bool selected, float scale) {
    if (selected) {
        setDrawColor(palette[2][1], palette[2][2], palette[2][3]);
    } else {
        setDrawColor(100, 100, 100);
    }
    drawString(text, centredX(text, scale), static_cast<float>(y));
}

void gameapp::drawHeading() {
    setDrawScale(8.1f, 8.1f);
    setDrawColor(palette[1][1], palette[1][2], palette[1][3]);
    drawString("FLAILWICK", 20, 20);
}

MenuEntry gameapp::mainMenu() {
    drainKeys();
    int place = 1;
    for (;;) {
        clearScreen();
        cyclePalette();
        drawHeading();
        setDrawScale(6, 6);
        for (int k = 1; k <= 5; ++k)
            drawEntry(kMainMenu[k].text, kMainMenu[k].y, k == place, 6);
        setDrawScale(1, 1);
        place = moveSelection(place, 5);
        presentFrame();
        if (keyPresses(KeyEscape) > 0) endProgram(0);
        if (keyPresses(KeyEnter) > 0 || keyPresses(KeySpace) > 0)
            return static_cast<MenuEntry>(place);
    }
}

void gameapp::chooseMode() {
    flushInput();
    int place = 1;
    for (;;) {
        clearScreen();
        cyclePalette();
        setDrawScale(4, 4);
        for (int k = 1; k <= 3; ++k)
            drawEntry(kModes[k].text, kModes[k].y, k == place, 4);
        setDrawScale(1, 1);
        place = moveSelection(place, 3);
        presentFrame();
        bool done = false;
        if (keyPresses(KeyEnter) > 0 || keyPresses(KeySpace) > 0) {
            mode = kModes[place].mode;
            done = true;
        }
        // Tested after Enter and Space, so Esc in the same frame wins.
        if (keyPresses(KeyEscape) > 0) {
            mode = kModeGoBack;
            done = true;
        }
        if (done) return;
    }
}
