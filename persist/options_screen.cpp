// The OPTIONS screen: ten settings stepped within their ranges, saved when left.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "app/gameapp.h"
#include "persist/settings_table.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

constexpr int kRows = kShownSettings + 1;  // the settings, then RESET OPTIONS
constexpr int kResetRow = kRows;

// The setting shown on a row; null for RESET OPTIONS.
const Setting* settingOnRow(int row) {
    for (const Setting& s : kSettings) {
        if (s.row == row) return &s;
    }
    return nullptr;
}

// A value loaded from the file may sit at the edge of the integer range;
// a step past it stays there and the clamp then brings it into range.
int stepped(int value, int by) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{value} + by, INT_MIN, INT_MAX));
}

// Every setting held to its range, the spares as well.
void clampSettings(gameapp& g) {
    for (const Setting& s : kSettings)
        g.*s.field = std::clamp(g.*s.field, s.low, s.high);
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
            const Setting* setting = settingOnRow(n);
            const std::string text = setting != nullptr
                                         ? setting->label + intToText(this->*setting->field)
                                         : "RESET OPTIONS";
            drawEntry(text, 210 + 40 * (n - 1), n == row, 2);
        }
        setDrawScale(1, 1);

        if (row == kResetRow && (isKeyDown(KeyEnter) != 0 || isKeyDown(KeySpace) != 0))
            resetOptions();
        // Read on every row, so a press on RESET OPTIONS is not carried to the
        // next setting the highlight reaches. One step a frame, however many presses.
        const bool left = keyPresses(KeyLeft) > 0;
        const bool right = keyPresses(KeyRight) > 0;
        if (const Setting* setting = settingOnRow(row)) {
            int& value = this->*setting->field;
            if (left) value = stepped(value, -1);
            if (right) value = stepped(value, 1);
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
