// The watcher's handshake, the confirmed frames as they arrive and the pace
// of playing them.
#include "netplay/watch_session.h"

#include <algorithm>

#include "fight/simulation_version.h"
#include "netplay/session.h"
#include "netplay/watchers.h"
#include "runtime/presentation.h"

WatchSession::WatchSession(NetLink& link) : protocol_(link) {}

void WatchSession::refuse(const std::string& reason, int now) {
    for (int i = 0; i < 3; ++i)
        protocol_.sendReliable(refusedMessage({{kOnlineProtocol, kSimulationVersion}, reason}),
                               now);
    state_ = WatchEnd::Refused;
    why_ = reason;
}

void WatchSession::takeReliable(int now) {
    std::string m;
    while (state_ == WatchEnd::None && protocol_.nextReliable(m)) {
        if (m.empty()) continue;
        Versions versions;
        Refusal refusal;
        FeedFrames frames;
        switch (m[0]) {
            case MessageWelcome:
                if (welcomed_) break;
                if (!readWelcome(m, versions, start_)) {
                    refuse("the other game does not speak Flailwick", now);
                } else if (const std::string wrong = versionMismatch(versions); !wrong.empty()) {
                    refuse(wrong, now);
                } else if (const std::string bad = checkOffer ? checkOffer(start_) : "";
                           !bad.empty()) {
                    refuse("the host's " + bad, now);
                }
                welcomed_ = true;
                break;
            case MessageFrames:
                // They come in order and without a gap; one that overlaps adds its new part.
                if (!welcomed_ || !readFrames(m, frames) || frames.first > known()) {
                    refuse("the host's frames are damaged", now);
                    break;
                }
                for (int i = known() - frames.first; i < frames.count && known() < kMaxFeedFrames;
                     ++i) {
                    one_.push_back(frames.one[static_cast<std::size_t>(i)]);
                    two_.push_back(frames.two[static_cast<std::size_t>(i)]);
                }
                confirmed_ = std::max(confirmed_, frames.confirmed);
                break;
            case MessageEnded:
                if (ended_ || !readEnded(m, end_)) break;
                ended_ = true;
                end_.frame = std::min(end_.frame, known());
                break;
            case MessageRefused:
                if (readRefused(m, refusal)) {
                    state_ = WatchEnd::Refused;
                    const std::string wrong = versionMismatch(refusal.versions);
                    why_ = !wrong.empty() ? wrong : refusal.reason;
                }
                break;
            case MessageGoodbye:
                // The host closed its window: the end, at what came.
                if (!ended_) end_ = {SeriesEnd::PlayersParted, known()};
                ended_ = true;
                break;
            default:
                break;
        }
    }
}

bool WatchSession::handshake(int now) {
    if (startedAt_ == kNoFrame) {
        startedAt_ = now;
        protocol_.sendReliable(watchMessage({kOnlineProtocol, kSimulationVersion}), now);
    }
    listen(now);
    if (state_ != WatchEnd::None) return false;
    if (!protocol_.heardAnything()) {
        if (now - startedAt_ >= kNoAnswerMillis) state_ = WatchEnd::NoAnswer;
        return false;
    }
    return welcomed_;
}

void WatchSession::listen(int now) {
    protocol_.poll(now);
    protocol_.keys().clear();
    takeReliable(now);
    if (state_ != WatchEnd::None || ended_) return;
    if (protocol_.failed() ||
        (protocol_.heardAnything() && protocol_.silentMillis(now) >= kLostMillis))
        state_ = WatchEnd::Lost;
}

void WatchSession::sayGoodbye(int now) {
    for (int i = 0; i < 3; ++i)
        protocol_.sendReliable(goodbyeMessage(), now);
}

int WatchPace::next(int played, int available, bool ended) {
    ++ticks_;
    if (ticks_ - lastDry_ >= kCalmTicks) {
        target_ = std::max(kWatchBehind, target_ - 3);
        lastDry_ = ticks_;
    }
    const int behind = available - played;
    if (behind <= 0) {
        // Run dry: frames gather again before it goes on, to ride out the next gap.
        if (!refilling_ && !ended) {
            target_ = std::min(kMaxWatchBehind, target_ + 3);
            lastDry_ = ticks_;
        }
        refilling_ = !ended;
        return 0;
    }
    if (refilling_ && behind < target_ && !ended) return 0;
    refilling_ = false;
    if (behind > kCatchUpBehind) return std::min(behind - target_, kCatchUpFrames);
    // Further behind than a stretch of the feed beyond the usual: a frame more now and then.
    const bool hurry = behind > 2 * target_ + kFeedFrames && ticks_ % 3 == 0;
    return std::min(behind, hurry ? 2 : 1);
}

bool WatchPlayer::frame(const WatchSession& session) {
    const FeedEnd* ended = session.ended();
    const int frames =
        pace_.next(played_, ended != nullptr ? ended->frame : session.known(), ended != nullptr);
    const auto play = [&](bool seen) {
        game_.advance(session.keysOf(1, played_), session.keysOf(2, played_), seen);
        ++played_;
    };
    if (frames == 0) {
        if (played_ == 0) return false;
        // The frame before was kept: played again, drawn but not heard.
        const Presentation shown = presentation();
        setPresentation(Presentation{shown.drawing, false, false, true});
        game_.load(0);
        --played_;
        play(true);
        setPresentation(shown);
        return false;
    }
    if (frames > 1) {
        const Unseen unseen;
        for (int i = 1; i < frames; ++i)
            play(false);
    }
    game_.save(0);
    play(true);
    return true;
}
