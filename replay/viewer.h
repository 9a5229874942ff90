// A recorded fight watched with a way back: where it stands, the fight as it
// stood every few seconds of its first run, and the speed. Going back loads
// the nearest state kept before the frame and plays on from there unseen, so
// the recording's keys reach the fight exactly as they did the first time.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "fight/snapshot.h"
#include "replay/replay.h"

class gameapp;

constexpr int kSeekFrames = 300;  // what Left and Right skip: 5 seconds
// Frames between kept states (2.5 s), or a multiple for a long fight: going
// back plays at most this many frames again, well inside 50 ms for six fighters.
constexpr int kKeptEvery = 150;
// A fight over 10 minutes keeps its states further apart rather than more of them.
constexpr int kMaxKeptStates = 241;

struct ViewerSpeed {
    int frames;  // fight frames played for each display frame
    int shows;   // display frames each fight frame is shown for
    const char* text;
};
constexpr std::array<ViewerSpeed, 6> kViewerSpeeds{{
    {1, 4, "x1/4"},
    {1, 2, "x1/2"},
    {1, 1, "x1"},
    {2, 1, "x2"},
    {4, 1, "x4"},
    {8, 1, "x8"},
}};
constexpr int kNormalSpeed = 2;

class ReplayViewer {
  public:
    // Makes every state it will keep now, so watching allocates nothing.
    ReplayViewer(gameapp& game, const Replay& replay);
    ~ReplayViewer();
    ReplayViewer(const ReplayViewer&) = delete;
    ReplayViewer& operator=(const ReplayViewer&) = delete;

    // The fight set up at its start, its keys playing back.
    void start();
    // One display frame: at the speed, one frame or more played, the last
    // of them seen, or the frame shown drawn again. Paused, drawn again.
    void tick();
    // To the state after `frame` frames (0 is the start), unseen.
    void seek(int frame);
    // One frame on, unseen: the next tick shows it.
    void step();
    void faster();
    void slower();
    void setSpeed(int index);
    void pause(bool paused) { paused_ = paused; }

    // The recording's end checked as playRecordedFight checks it, and the
    // playback stopped.
    ReplayRun finish(bool left);

    int frame() const { return frame_; }
    int length() const { return replay_.frames; }
    bool paused() const { return paused_; }
    const ViewerSpeed& speed() const { return kViewerSpeeds[static_cast<std::size_t>(speed_)]; }
    // At the recording's end, or parted from it.
    bool ended() const;
    // Where it parted from the recording's checkpoints, empty while they agree.
    const std::string& diverged() const { return why_; }
    int keptEvery() const { return every_; }
    int keptStates() const { return static_cast<int>(kept_.size()); }

  private:
    void play(bool seen, bool heard);
    void redraw();

    gameapp& game_;
    const Replay& replay_;
    const int every_;                  // frames between kept states
    std::vector<FightSnapshot> kept_;  // after 0, every_, 2 every_, ... frames, once played
    FightSnapshot before_;             // before the last frame played, to draw it again
    int frame_ = 0;                    // frames played
    int furthest_ = 0;                 // frames played at least once
    int speed_ = kNormalSpeed;
    int shown_ = 0;  // display frames the last frame has been shown for
    bool paused_ = false;
    bool playing_ = false;
    std::string why_;
};
