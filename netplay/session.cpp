// The session: the handshake's steps, the frame's messages and pause.
#include "netplay/session.h"

#include <algorithm>

#include "fight/simulation_version.h"
#include "netplay/keys_message.h"

OnlineSession::OnlineSession(NetLink& link, bool host) : protocol_(link), host_(host) {}

void OnlineSession::offer(const SeriesStart& start, const std::string& refusal) {
    start_ = start;
    ownRefusal_ = refusal;
    offered_ = true;
}

void OnlineSession::refuse(const std::string& reason, int now) {
    // Sent a few times over: nothing is sent again once this side stops.
    for (int i = 0; i < 3; ++i)
        protocol_.sendReliable(refusedMessage({{kOnlineProtocol, kSimulationVersion}, reason}),
                               now);
    end_ = SessionEnd::Refused;
    why_ = reason;
}

void OnlineSession::apply(const PauseRequest& p) {
    // Both sides settle on the request with the latest turn, the host's
    // losing a tie: P on both sides at once pauses once.
    if (p.turn > pause_.turn || (p.turn == pause_.turn && p.side > pause_.side)) pause_ = p;
}

void OnlineSession::takeReliable(int now) {
    std::string m;
    while (end_ == SessionEnd::None && protocol_.nextReliable(m)) {
        if (m.empty()) continue;
        Versions versions;
        Refusal refusal;
        PauseRequest pause;
        int frame = 0;
        StateParts parts{};
        switch (m[0]) {
            case MessageHello:
                if (!host_ || !offered_ || !readHello(m, versions) || welcomed_) break;
                welcomed_ = true;
                if (const std::string wrong = versionMismatch(versions); !wrong.empty()) {
                    refuse(wrong, now);
                } else if (!ownRefusal_.empty()) {
                    refuse(ownRefusal_, now);
                } else {
                    protocol_.sendReliable(
                        welcomeMessage({kOnlineProtocol, kSimulationVersion}, start_), now);
                }
                break;
            case MessageWelcome:
                if (host_ || welcomed_) break;
                if (!readWelcome(m, versions, start_)) {
                    refuse("the other game does not speak Flailwick", now);
                    break;
                }
                welcomed_ = true;
                if (const std::string wrong = versionMismatch(versions); !wrong.empty()) {
                    refuse(wrong, now);
                } else if (const std::string bad = checkOffer ? checkOffer(start_) : "";
                           !bad.empty()) {
                    refuse("the host's " + bad, now);
                } else {
                    protocol_.sendReliable(readyMessage(), now);
                }
                break;
            case MessageRefused:
                if (readRefused(m, refusal)) {
                    end_ = SessionEnd::Refused;
                    const std::string wrong = versionMismatch(refusal.versions);
                    why_ =
                        !wrong.empty() ? wrong : "the other player's game says: " + refusal.reason;
                }
                break;
            case MessageReady:
                if (host_ && welcomed_) ready_ = true;
                break;
            case MessagePause:
                if (rollback_ && readPause(m, pause)) apply(pause);
                break;
            case MessageGoodbye:
                end_ = SessionEnd::PeerLeft;
                break;
            case MessageParts:
                if (readParts(m, frame, parts)) {
                    peerPartsFrame_ = frame;
                    peerParts_ = parts;
                }
                break;
            default:
                break;
        }
    }
}

bool OnlineSession::handshake(int now) {
    if (startedAt_ == kNoFrame) {
        startedAt_ = now;
        if (!host_)
            protocol_.sendReliable(helloMessage({kOnlineProtocol, kSimulationVersion}), now);
    }
    protocol_.poll(now);
    takeReliable(now);
    if (end_ != SessionEnd::None) return false;
    if (protocol_.failed()) {
        end_ = SessionEnd::Lost;
        return false;
    }
    // The host waits for a joiner as long as its player likes; once one has
    // spoken, silence means it is gone.
    if (!protocol_.heardAnything()) {
        if (!host_ && now - startedAt_ >= kNoAnswerMillis) end_ = SessionEnd::NoAnswer;
        return false;
    }
    if (protocol_.silentMillis(now) >= kLostMillis) {
        end_ = SessionEnd::Lost;
        return false;
    }
    // The round trip decides the input delay, so both sides have one first.
    const bool measured = protocol_.roundTripMillis() >= 0;
    return measured && (host_ ? ready_ : welcomed_);
}

void OnlineSession::begin(SteppedGame& game, int inputDelay) {
    rollback_ = std::make_unique<RollbackSession>(host_ ? 1 : 2, inputDelay, game);
    pause_.side = 0;  // no request yet: any from either side wins
}

bool OnlineSession::frame(int now, FrameKeys localKeys, bool pausePressed) {
    protocol_.poll(now);
    // What arrived counts even when the other side left right after it.
    for (const std::string& bytes : protocol_.keys()) {
        KeysMessage keys;
        if (decodeKeysMessage(bytes, keys)) rollback_->receive(keys);
    }
    protocol_.keys().clear();
    takeReliable(now);
    if (end_ != SessionEnd::None) return false;
    if (protocol_.failed() || protocol_.silentMillis(now) >= kLostMillis) {
        end_ = SessionEnd::Lost;
        return false;
    }
    if (pausePressed) {
        PauseRequest p{!pause_.paused, rollback_->frame(), pause_.turn + 1, host_ ? 1 : 2};
        apply(p);
        protocol_.sendReliable(pauseMessage(p), now);
    }
    bool played = false;
    if (!pause_.paused) {
        rollback_->setLocalKeys(localKeys);
        played = rollback_->tick();
    }
    sendKeys();
    return played;
}

void OnlineSession::listen(int now) {
    protocol_.poll(now);
    protocol_.keys().clear();
    takeReliable(now);
}

void OnlineSession::sendKeys() {
    if (rollback_) protocol_.sendUnreliable(encodeKeysMessage(rollback_->outgoing()));
}

void OnlineSession::sayGoodbye(int now) {
    // Sent a few times over: the program ends before any acknowledgement.
    for (int i = 0; i < 3; ++i)
        protocol_.sendReliable(goodbyeMessage(), now);
}

void OnlineSession::sendParts(int frame, const StateParts& parts, int now) {
    protocol_.sendReliable(partsMessage(frame, parts), now);
}

int inputDelayFor(int roundTripMillis) {
    if (roundTripMillis <= 80) return 1;
    if (roundTripMillis <= 150) return 2;
    if (roundTripMillis <= 220) return 3;
    const int beyond = roundTripMillis - 220;
    return std::min(kMaxInputDelay, 3 + (beyond + 69) / 70);
}
