// Fights recorded as they are played, and played again from the recording:
// watched, checked unseen, or timed. A recorded fight starts from the same
// game state, draws the same random numbers and reads the same keys at the
// same polls, so it plays bit for bit as it did.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "fight/observer.h"
#include "replay/format.h"

class gameapp;

FightStart captureFightStart(const gameapp& game);
void restoreFightStart(gameapp& game, const FightStart& start);

// Keeps what each fight needs to be played again and writes it to the
// directory, if one is given, when the fight ends. Its buffers are made once,
// so recording never allocates inside a fight; a fight that outgrows them is
// not kept.
class FightRecorder : public FightObserver {
  public:
    explicit FightRecorder(std::string directory);
    void begin(const gameapp& game) override;
    void frameDone(const gameapp& game) override;
    void finish(const gameapp& game, int result) override;
    // The newest file written, empty before the first.
    const std::string& lastWritten() const { return lastWritten_; }
    // The last fight recorded whole, written or not.
    const Replay& lastFight() const { return replay_; }

  private:
    std::string directory_;
    std::string lastWritten_;
    Replay replay_;
    bool recording_ = false;
    bool lost_ = false;  // frames or keys did not fit
};

constexpr int kKeptReplays = 100;
constexpr const char* kReplaySuffix = ".fwr";

// $XDG_DATA_HOME/flailwick/replays; empty when there is no home for it.
std::string replayDirectory();
// The path of the newest recorded fight in the directory, empty when none.
std::string newestReplay(const std::string& directory);
// Removes all but the newest `keep` recorded fights.
void pruneReplays(const std::string& directory, int keep);

// How a recorded fight went when played again.
struct ReplayRun {
    bool ok = false;    // every checkpoint, the length, result and final hash agreed
    bool left = false;  // the viewer left before the end
    int frames = 0;     // frames played
    std::uint64_t finalHash = 0;
    std::string why;  // where and how it diverged
};

// Plays the recording through the game's own fight frames, checking each
// checkpoint as it passes. afterFrame, when given, runs after every frame;
// returning false leaves the fight there. With a rollback depth, every
// frame then goes back 1, 2, ... up to that many frames, in turn, and plays
// them again unseen, as online play corrects a wrong guess of the other
// side's keys: each frame played again must hash as it did the first time.
ReplayRun playRecordedFight(gameapp& game, const Replay& replay,
                            const std::function<bool()>& afterFrame = {}, int rollbackDepth = 0);

constexpr int kMaxRollback = 8;

// After `frames` frames: how the fight parts from the recording's checkpoint
// there, empty when they agree or there is none.
std::string checkpointDiffers(const gameapp& game, const Replay& replay, int frames);
// Whether a fight played to its end (run.frames and run.finalHash taken) ended
// as recorded: sets run.ok, or run.why.
void judgeEnding(const gameapp& game, const Replay& replay, ReplayRun& run);

// Reads and checks a recording; the reason it cannot be played otherwise.
std::string loadReplay(const std::string& path, Replay& out);
