// A watcher's side of an online series: its hello to the host, the host's
// start, then both players' confirmed keys as they come, and how the series
// ended; and the pace at which it plays them, a few frames behind the
// newest it has.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "netplay/messages.h"
#include "netplay/protocol.h"

class SteppedGame;

class NetLink;

enum class WatchEnd { None, Refused, Lost, NoAnswer };

class WatchSession {
  public:
    explicit WatchSession(NetLink& link);

    // The check of what the host offers, as a joiner's: empty when it plays.
    std::function<std::string(const SeriesStart&)> checkOffer;
    // One display frame of the handshake: true once the host's start has come.
    bool handshake(int now);
    const SeriesStart& start() const { return start_; }
    bool heardFromHost() const { return protocol_.heardAnything(); }
    // One display frame once watching: what arrived.
    void listen(int now);
    // This side leaves: the host is told at once.
    void sayGoodbye(int now);

    // Frames whose keys have come, from frame 0 without a gap.
    int known() const { return static_cast<int>(one_.size()); }
    // Frames the players had confirmed, as the host last said.
    int confirmed() const { return confirmed_; }
    FrameKeys keysOf(int side, int f) const {
        return (side == 1 ? one_ : two_)[static_cast<std::size_t>(f)];
    }
    // How the series ended, once the host said; null before.
    const FeedEnd* ended() const { return ended_ ? &end_ : nullptr; }

    WatchEnd end() const { return state_; }
    // A refusal in words: the host's reason, or why the host's offer was not taken.
    const std::string& why() const { return why_; }
    std::uint64_t bytesSent() const { return protocol_.bytesSent(); }

  private:
    void takeReliable(int now);
    void refuse(const std::string& reason, int now);

    PeerProtocol protocol_;
    SeriesStart start_;
    bool welcomed_ = false;
    int startedAt_ = kNoFrame;
    std::vector<FrameKeys> one_, two_;
    int confirmed_ = 0;
    bool ended_ = false;
    FeedEnd end_;
    WatchEnd state_ = WatchEnd::None;
    std::string why_;
};

// Frames a watcher gathers behind the newest it has before it goes on, once
// it has run dry: kWatchBehind at first, 3 more each time it runs dry (a
// lossy link's gaps are longer), up to kMaxWatchBehind, and 3 fewer after
// each kCalmTicks display frames that it did not.
constexpr int kWatchBehind = 6;
constexpr int kMaxWatchBehind = 30;
constexpr int kCalmTicks = 600;
// Further behind than this it catches up unseen, at most kCatchUpFrames
// frames a display frame, without drawing or sound.
constexpr int kCatchUpBehind = 180;
constexpr int kCatchUpFrames = 240;

// How many frames a watcher plays in one display frame.
class WatchPace {
  public:
    // All but the last of the frames are played unseen. played: frames played; available: those it
    // may play (the known ones, or up to the end once it is known); ended: no more will come.
    int next(int played, int available, bool ended);

  private:
    bool refilling_ = true;
    int ticks_ = 0;
    int target_ = kWatchBehind;
    int lastDry_ = 0;  // the display frame it last ran dry, or calmed down
};

// Plays what a watch session has on the series' game at the pace's rate,
// and shows the last frame again, unheard, when nothing new has come.
class WatchPlayer {
  public:
    explicit WatchPlayer(SteppedGame& game) : game_(game) {}
    // One display frame: true when a new frame was played.
    bool frame(const WatchSession& session);
    int played() const { return played_; }
    // Played to the end the host told of.
    bool done(const WatchSession& session) const {
        return session.ended() != nullptr && played_ >= session.ended()->frame;
    }

  private:
    SteppedGame& game_;
    WatchPace pace_;
    int played_ = 0;
};
