// One online series as the session sees it: the handshake over the peer
// protocol, then each display frame's keys through the rollback session,
// pause as a state both sides settle on, and what has happened for the
// screens to tell: interrupted, lost, left, refused.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "netplay/messages.h"
#include "netplay/protocol.h"
#include "netplay/rollback.h"

class NetLink;

// Silence before the player is told the connection is interrupted, and
// before it is given up as lost.
constexpr int kInterruptedMillis = 750;
constexpr int kLostMillis = 3000;
// A joiner that hears nothing from the host this long says no game answered.
constexpr int kNoAnswerMillis = 5000;

enum class SessionEnd { None, PeerLeft, Lost, Refused, NoAnswer };

class OnlineSession {
  public:
    // host: player 1, who offers what the series starts from.
    OnlineSession(NetLink& link, bool host);

    // The host's offer, and its own reason not to make it (empty when none).
    void offer(const SeriesStart& start, const std::string& refusal);
    // The joiner's check of what the host offers: empty when it plays.
    std::function<std::string(const SeriesStart&)> checkOffer;

    // One display frame of the handshake: true once both sides can start.
    bool handshake(int now);
    const SeriesStart& start() const { return start_; }
    bool heardFromPeer() const { return protocol_.heardAnything(); }

    // The series from the handshake on, with the game it keeps in step.
    void begin(SteppedGame& game, int inputDelay);
    // One display frame: what arrived, pause, then the next frame unless
    // paused, and this side's keys sent. True when a new frame was played.
    bool frame(int now, FrameKeys localKeys, bool pausePressed);
    // Only what arrived: for a side that has stopped playing frames.
    void listen(int now);
    // This side leaves: the other side is told at once.
    void sayGoodbye(int now);
    // Sends this side's keys again at once, so the other side has them all.
    void sendKeys();

    SessionEnd end() const { return end_; }
    // The end in words: a refusal's reason, or whose the refusal was.
    const std::string& why() const { return why_; }
    bool paused() const { return pause_.paused; }
    bool interrupted(int now) const { return protocol_.silentMillis(now) >= kInterruptedMillis; }
    int silentMillis(int now) const { return protocol_.silentMillis(now); }
    int roundTripMillis() const { return protocol_.roundTripMillis(); }
    std::uint64_t bytesSent() const { return protocol_.bytesSent(); }
    std::uint64_t datagramsSent() const { return protocol_.datagramsSent(); }
    RollbackSession& rollback() { return *rollback_; }
    const RollbackSession& rollback() const { return *rollback_; }

    // Where two sides parted: this side's parts go to the other, whose come back.
    void sendParts(int frame, const StateParts& parts, int now);
    const StateParts* peerParts(int frame) const {
        return peerPartsFrame_ == frame ? &peerParts_ : nullptr;
    }

  private:
    void refuse(const std::string& reason, int now);
    void takeReliable(int now);
    void apply(const PauseRequest& p);

    PeerProtocol protocol_;
    bool host_;
    SeriesStart start_;
    std::string ownRefusal_;
    bool offered_ = false;
    bool welcomed_ = false;  // the joiner has the host's offer
    bool ready_ = false;     // the joiner said it has it
    int startedAt_ = kNoFrame;
    std::unique_ptr<RollbackSession> rollback_;
    PauseRequest pause_;
    SessionEnd end_ = SessionEnd::None;
    std::string why_;
    int peerPartsFrame_ = kNoFrame;
    StateParts peerParts_{};
};

// The input delay --delay auto chooses from a round trip: 1 frame up to
// 80 ms, 2 to 150, 3 to 220, then 1 more for every 70 ms.
int inputDelayFor(int roundTripMillis);
