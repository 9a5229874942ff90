// The series' game as every machine makes it, its recording and the screens
// of text around it.
#include "netplay/series_game.h"

#include <cstdio>

#include "app/gameapp.h"
#include "fight/coop_steps.h"
#include "netplay/online.h"
#include "netplay/rollback.h"
#include "persist/settings_table.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/presentation.h"

std::unique_ptr<SeriesSteps> stepsFor(gameapp& game, const SeriesStart& start,
                                      FightObserver* recorder) {
    if (start.coop) return std::make_unique<CoopSteps>(game, start.seed, recorder);
    return std::make_unique<VersusSteps>(game, start.seed, recorder);
}

std::unique_ptr<gameapp> seriesGame(const gameapp& shown, const SeriesStart& start) {
    auto game = std::make_unique<gameapp>();
    useHostTable(*game, start);
    game->media = shown.media;
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        if (kSettings[i].field != &gameapp::fullscreen)
            (*game).*(kSettings[i].field) = start.settings[i];
    }
    game->fullscreen = shown.fullscreen;
    return game;
}

std::string settingsRefusal(const SeriesStart& start) {
    auto game = std::make_unique<gameapp>();
    for (std::size_t i = 0; i < kSettings.size(); ++i)
        (*game).*(kSettings[i].field) = start.settings[i];
    game->fullscreen = 0;
    return settingOutOfRange(*game);
}

ConfirmedRecord::ConfirmedRecord(const gameapp& shown, const SeriesStart& start, bool scoresToFile)
    : game_(seriesGame(shown, start)), recorder_(replayDirectory()) {
    game_->scoresToFile = scoresToFile;
    allowSaving(true);
    steps_ = stepsFor(*game_, start, &recorder_);
    allowSaving(false);
}

void ConfirmedRecord::takeUpTo(int confirmed, const Keys& keysOf) {
    if (taken_ >= confirmed) return;
    const Unseen unseen;
    allowSaving(true);
    for (; taken_ < confirmed; ++taken_)
        steps_->advance(keysOf(1, taken_), keysOf(2, taken_), false);
    allowSaving(false);
}

void ConfirmedRecord::takeUpTo(const RollbackSession& session) {
    takeUpTo(session.confirmed(), [&session](int side, int f) { return session.keysOf(side, f); });
}

void ConfirmedRecord::cut() {
    allowSaving(true);
    steps_->cut();
    allowSaving(false);
}

void showLines(gameapp& game, const std::vector<std::string>& lines) {
    clearScreen();
    game.cyclePalette();
    game.drawHeading();
    setDrawColor(game.palette[1][1], game.palette[1][2], game.palette[1][3]);
    setDrawScale(2, 2);
    int y = 300;
    for (const std::string& line : lines) {
        drawString(line, centredX(line, 2), static_cast<float>(y));
        y += 48;
    }
    setDrawScale(1, 1);
    presentFrame();
}

int finish(gameapp& game, const std::string& text, int status, const std::function<bool()>& busy) {
    setFrameOverlay({});
    std::fprintf(stderr, "flailwick: %s\n", text.c_str());
    const int start = clockMillis();
    bool skipped = false;
    for (;;) {
        const int up = clockMillis() - start;
        const bool stay = busy && busy() && up < 2 * kMessageMillis;
        if (!stay && (skipped || up >= kMessageMillis || windowCloseRequested())) break;
        showLines(game, {text});
        skipped = skipped || viewerKeyPresses(KeyEscape) > 0 || viewerKeyPresses(KeyEnter) > 0;
    }
    return status;
}
