// The settings: their defaults, prefs.fwk read and written.
#include <array>

#include "app/gameapp.h"
#include "runtime/files.h"
#include "runtime/numbers.h"

namespace {

constexpr const char* kPreferencesFile = "prefs.fwk";

// The settings in the order of the file's lines.
std::array<int*, 13> settingsInFileOrder(gameapp& g) {
    return {&g.settingSpare1, &g.playersSpeed, &g.flexibility, &g.settingSpare2, &g.blowPower,
            &g.plasmaEffects, &g.slowMotion,   &g.fullscreen,  &g.soundsVolume,  &g.settingSpare3,
            &g.gravity,       &g.aiLevel,      &g.blood};
}

constexpr std::array<int, 13> kDefaults = {1, 4, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 3};

}  // namespace

void gameapp::setDefaultSettings() {
    const auto fields = settingsInFileOrder(*this);
    for (std::size_t i = 0; i < fields.size(); ++i)
        *fields[i] = kDefaults[i];
}

void gameapp::resetOptions() { setDefaultSettings(); }

void gameapp::loadPreferences() {
    StreamPtr stream = openForLoading(kPreferencesFile, [this] { savePreferences(); });
    if (!stream) return;
    for (int* field : settingsInFileOrder(*this)) {
        if (!atEnd(*stream)) *field = textToInt(readLine(*stream));
    }
    closeStream(stream);
}

void gameapp::savePreferences() {
    StreamPtr stream = openForSaving(kPreferencesFile);
    if (!stream) return;
    for (int* field : settingsInFileOrder(*this))
        writeLine(*stream, intToText(*field));
    closeStream(stream);
}
