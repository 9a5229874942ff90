// The settings, one row each: the field, its default, its range and its row
// on the OPTIONS screen; the table's order is the order of prefs.fwk's lines.
#pragma once

#include <array>

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
