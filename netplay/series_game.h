// What every machine that follows an online series shares, players and
// watchers alike: the game made from the host's start, its steps, the check
// of the host's settings, the confirmed fights recorded, and the screens of
// text before and after.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fight/versus_steps.h"
#include "netplay/messages.h"
#include "replay/replay.h"

class gameapp;
class RollbackSession;

// A game object made now on every machine alike, with the series' settings;
// full screen stays this machine's own.
std::unique_ptr<gameapp> seriesGame(const gameapp& shown, const SeriesStart& start);
std::unique_ptr<SeriesSteps> stepsFor(gameapp& game, const SeriesStart& start,
                                      FightObserver* recorder = nullptr);
// The settings a series can be played with, or why not.
std::string settingsRefusal(const SeriesStart& start);

// The fights as both sides confirm them, recorded frame by frame: a series
// cut short keeps what was confirmed, and its end needs no second run. A
// co-op score goes into the host's table here, once, as it is confirmed.
class ConfirmedRecord {
  public:
    // keysOf(side, frame): the confirmed keys of player 1 or 2.
    using Keys = std::function<FrameKeys(int, int)>;
    ConfirmedRecord(const gameapp& shown, const SeriesStart& start, bool scoresToFile);
    void takeUpTo(int confirmed, const Keys& keysOf);
    void takeUpTo(const RollbackSession& session);
    void cut();
    int taken() const { return taken_; }

  private:
    std::unique_ptr<gameapp> game_;
    FightRecorder recorder_;
    std::unique_ptr<SeriesSteps> steps_;
    int taken_ = 0;
};

// How long a last message stays up.
constexpr int kMessageMillis = 2500;
// The lines of a screen of text, centred, in the heading's colour.
void showLines(gameapp& game, const std::vector<std::string>& lines);
// A last message, up for a moment or until a key. busy, when given, runs
// every frame it is up, and keeps it up while it returns true (for as long
// again at most), a key or not. Returns status.
int finish(gameapp& game, const std::string& text, int status,
           const std::function<bool()>& busy = {});
