// The settings, one row each: the field, its default, its range and its row
// on the OPTIONS screen; the table's order is the order of prefs.fwk's lines.
#pragma once

#include <array>
#include <string>

class gameapp;

struct Setting {
    int gameapp::*field;
    int byDefault;
    int low, high;      // the range the OPTIONS screen holds it to
    const char* label;  // on the OPTIONS screen; null for the spares it does not show
    int row;            // 1..10 on the OPTIONS screen, 0 for the spares
};

constexpr int kSettingCount = 13;
constexpr int kShownSettings = 10;

// Row i holds line i + 1 of prefs.fwk.
extern const std::array<Setting, kSettingCount> kSettings;

// The first setting the OPTIONS screen would not allow, as a line naming it,
// its value and its range; "" when all are allowed. Full screen is this
// machine's own and never leaves it, so it is not looked at.
std::string settingOutOfRange(const gameapp& game);
