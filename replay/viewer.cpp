// Watching a recorded fight with seeking, pausing and speeds.
#include "replay/viewer.h"

#include <algorithm>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "app/match_loop.h"
#include "fight/hash.h"
#include "runtime/input.h"
#include "runtime/pads.h"
#include "runtime/presentation.h"

namespace {

// Every kKeptEvery frames, or a multiple of it when kMaxKeptStates would not
// reach the end.
int keptInterval(int frames) {
    const int spans = std::max(1, (frames + kKeptEvery - 1) / kKeptEvery);
    const int each = (spans + kMaxKeptStates - 2) / (kMaxKeptStates - 1);
    return kKeptEvery * std::max(1, each);
}

}  // namespace

ReplayViewer::ReplayViewer(gameapp& game, const Replay& replay)
    : game_(game), replay_(replay), every_(keptInterval(replay.frames)) {
    kept_.resize(static_cast<std::size_t>(std::max(0, replay.frames) / every_ + 1));
}

ReplayViewer::~ReplayViewer() {
    if (playing_) stopInputPlayback();
}

void ReplayViewer::start() {
    restoreFightStart(game_, replay_.start);
    startInputPlayback(replay_.input);
    game_.setUpFight();
    setFightKeys(true);
    playing_ = true;
    frame_ = 0;
    furthest_ = 0;
    shown_ =
        kViewerSpeeds.front().shows;  // as many as any speed shows a frame: the next tick plays
    why_.clear();
    // Each takes the start now, so keeping one later finds its strings and
    // tables already made.
    for (FightSnapshot& kept : kept_)
        kept.save(game_);
    before_.save(game_);
}

bool ReplayViewer::ended() const {
    return frame_ >= replay_.frames || game_.matchState == kStateEnd || !why_.empty();
}

void ReplayViewer::play(bool seen, bool heard) {
    before_.save(game_);
    if (seen) {
        const Presentation was = presentation();
        Presentation now = was;
        now.sound = was.sound && heard;
        setPresentation(now);
        playFightFrame(game_);
        setPresentation(was);
    } else {
        const Unseen unseen;
        playFightFrame(game_);
    }
    ++frame_;
    if (frame_ <= furthest_) return;
    furthest_ = frame_;
    if (why_.empty()) why_ = checkpointDiffers(game_, replay_, frame_);
    const std::size_t slot = static_cast<std::size_t>(frame_ / every_);
    if (frame_ % every_ == 0 && slot < kept_.size()) kept_[slot].save(game_);
}

void ReplayViewer::redraw() {
    const Presentation was = presentation();
    Presentation silent = was;
    silent.sound = false;
    setPresentation(silent);
    if (frame_ == 0) {
        // Nothing played yet: the first frame is shown, and the start loaded again.
        playFightFrame(game_);
        kept_.front().load(game_);
    } else {
        before_.load(game_);
        playFightFrame(game_);
    }
    setPresentation(was);
}

void ReplayViewer::tick() {
    const ViewerSpeed& s = speed();
    if (paused_ || ended() || shown_ < s.shows) {
        if (!paused_ && !ended()) ++shown_;
        redraw();
        return;
    }
    shown_ = 1;
    for (int i = 1; i < s.frames && !ended(); ++i)
        play(false, false);
    if (ended()) {
        redraw();
        return;
    }
    play(true, s.frames == 1 && s.shows == 1);
}

void ReplayViewer::seek(int frame) {
    const int target = std::clamp(frame, 0, replay_.frames);
    if (target == frame_) return;
    // At least one frame is played after a load, so the frame before the
    // target is at hand to draw the target again.
    const int nearest = std::min(target > 0 ? (target - 1) / every_ : 0, furthest_ / every_);
    const int from = nearest * every_;
    if (target < frame_ || frame_ < from) {
        kept_[static_cast<std::size_t>(nearest)].load(game_);
        frame_ = from;
    }
    while (frame_ < target && !ended())
        play(false, false);
}

void ReplayViewer::step() {
    if (!ended()) play(false, false);
}

void ReplayViewer::setSpeed(int index) {
    speed_ = std::clamp(index, 0, static_cast<int>(kViewerSpeeds.size()) - 1);
}

void ReplayViewer::faster() { setSpeed(speed_ + 1); }

void ReplayViewer::slower() { setSpeed(speed_ - 1); }

ReplayRun ReplayViewer::finish(bool left) {
    ReplayRun run;
    run.frames = frame_;
    run.left = left;
    run.why = why_;
    if (!playing_) return run;
    playing_ = false;
    setFightKeys(false);
    // With the keys as the fight left them, as the recorder hashed it.
    run.finalHash = hashFight(game_);
    stopInputPlayback();
    if (run.why.empty() && !left) judgeEnding(game_, replay_, run);
    return run;
}
