// The OPTIONS screen: ten settings stepped within their ranges, saved when left.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

constexpr int kRows = 11;  // ten settings, then RESET OPTIONS
constexpr int kResetRow = 11;

struct OptionRow {
    const char* label;
    int gameapp::*field;
};

constexpr std::array<OptionRow, kRows> kOptionRows = {{
    {"GRAVITY=", &gameapp::gravity},
    {"PLAYERS SPEED=", &gameapp::playersSpeed},
    {"FLEXIBILITY=", &gameapp::flexibility},
    {"BLOWPOWER=", &gameapp::blowPower},
    {"AI LEVEL=", &gameapp::aiLevel},
    {"SLOW MOTION=", &gameapp::slowMotion},
    {"BLOOD=", &gameapp::blood},
    {"PLASMA EFFECTS=", &gameapp::plasmaEffects},
    {"FULLSCREEN=", &gameapp::fullscreen},
    {"SOUNDS VOLUME=", &gameapp::soundsVolume},
    {"RESET OPTIONS", nullptr},
}};

// A value loaded from the file may sit at the edge of the integer range;
// a step past it stays there and the clamp then brings it into range.
int stepped(int value, int by) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{value} + by, INT_MIN, INT_MAX));
}

// Every setting the screen shows, and the spares, held to its range.
struct Range {
    int gameapp::*field;
    int low, high;
};
constexpr std::array<Range, 12> kRanges = {{
    {&gameapp::gravity, 0, 10},
    {&gameapp::aiLevel, 1, 10},
    {&gameapp::plasmaEffects, 0, 1},
    {&gameapp::blood, 0, 5},
    {&gameapp::slowMotion, 0, 10},
    {&gameapp::fullscreen, 0, 1},
    {&gameapp::soundsVolume, 0, 10},
    {&gameapp::settingSpare3, 0, 10},
    {&gameapp::playersSpeed, 1, 10},
    {&gameapp::flexibility, 1, 20},
    {&gameapp::settingSpare2, 1, 7},
    {&gameapp::blowPower, 1, 10},
}};

void clampSettings(gameapp& g) {
    for (const Range& r : kRanges)
        g.*r.field = std::clamp(g.*r.field, r.low, r.high);
}

}  // namespace

void gameapp::runOptionsScreen() {
    drainKeys();
    int row = 1;
    for (;;) {
        clearScreen();
        cyclePalette();
        drawHeading();
        setDrawScale(2, 2);
        for (int n = 1; n <= kRows; ++n) {
            const OptionRow& option = kOptionRows[static_cast<std::size_t>(n - 1)];
            std::string text = option.label;
            if (option.field != nullptr) text += intToText(this->*option.field);
            drawEntry(text, 210 + 40 * (n - 1), n == row, 2);
        }
        setDrawScale(1, 1);

        if (row == kResetRow && (isKeyDown(KeyEnter) != 0 || isKeyDown(KeySpace) != 0))
            resetOptions();
        // Read on every row, so a press on RESET OPTIONS is not carried to the
        // next setting the highlight reaches. One step a frame, however many presses.
        const bool left = keyPresses(KeyLeft) > 0;
        const bool right = keyPresses(KeyRight) > 0;
        int gameapp::*field = kOptionRows[static_cast<std::size_t>(row - 1)].field;
        if (field != nullptr) {
            if (left) this->*field = stepped(this->*field, -1);
            if (right) this->*field = stepped(this->*field, 1);
        }
        clampSettings(*this);

        if (keyPresses(KeyUp) > 0) --row;
        if (keyPresses(KeyDown) > 0) ++row;
        if (row < 1) row = kRows;
        if (row > kRows) row = 1;
        presentFrame();

        const bool enter = keyPresses(KeyEnter) > 0;
        const bool space = keyPresses(KeySpace) > 0;
        if (((enter || space) && row != kResetRow) || keyPresses(KeyEscape) > 0) break;
    }
    savePreferences();
}
