// The settings: their defaults, their ranges checked, prefs.fwk read and written.
#include <array>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

#include "app/gameapp.h"
#include "persist/settings_table.h"
#include "runtime/files.h"
#include "runtime/numbers.h"

namespace {

constexpr const char* kPreferencesFile = "prefs.fwk";

}  // namespace

const std::array<Setting, kSettingCount> kSettings = {{
    {&gameapp::settingSpare1, 1, INT_MIN, INT_MAX, nullptr, 0},  // held to no range
    {&gameapp::playersSpeed, 4, 1, 10, "PLAYERS SPEED=", 2},
    {&gameapp::flexibility, 5, 1, 20, "FLEXIBILITY=", 3},
    {&gameapp::settingSpare2, 1, 1, 7, nullptr, 0},
    {&gameapp::blowPower, 5, 1, 10, "BLOWPOWER=", 4},
    {&gameapp::plasmaEffects, 1, 0, 1, "PLASMA EFFECTS=", 8},
    {&gameapp::slowMotion, 3, 0, 10, "SLOW MOTION=", 6},
    {&gameapp::fullscreen, 0, 0, 1, "FULLSCREEN=", 9},
    {&gameapp::soundsVolume, 10, 0, 10, "SOUNDS VOLUME=", 10},
    {&gameapp::settingSpare3, 0, 0, 10, nullptr, 0},
    {&gameapp::gravity, 1, 0, 10, "GRAVITY=", 1},
    {&gameapp::aiLevel, 1, 1, 10, "AI LEVEL=", 5},
    {&gameapp::blood, 3, 0, 5, "BLOOD=", 7},
}};

std::string settingOutOfRange(const gameapp& game) {
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        const Setting& s = kSettings[i];
        const int value = game.*s.field;
        if (s.field == &gameapp::fullscreen || (value >= s.low && value <= s.high)) continue;
        const std::string name = s.label != nullptr
                                     ? std::string(s.label, std::strlen(s.label) - 1)
                                     : "the spare setting on line " +
                                           intToText(static_cast<int>(i) + 1) + " of prefs.fwk";
        return name + " is " + intToText(value) + ", outside " + intToText(s.low) + " to " +
               intToText(s.high);
    }
    return "";
}

void gameapp::setDefaultSettings() {
    for (const Setting& s : kSettings)
        this->*s.field = s.byDefault;
}

void gameapp::resetOptions() { setDefaultSettings(); }

void gameapp::loadPreferences() {
    StreamPtr stream = openForLoading(kPreferencesFile, [this] { savePreferences(); });
    if (!stream) return;
    for (const Setting& s : kSettings) {
        if (!atEnd(*stream)) this->*s.field = textToInt(readLine(*stream));
    }
    closeStream(stream);
}

void gameapp::savePreferences() {
    StreamPtr stream = openForSaving(kPreferencesFile);
    if (!stream) return;
    for (const Setting& s : kSettings)
        writeLine(*stream, intToText(this->*s.field));
    closeStream(stream);
}
