// The watcher's screens: connecting, the series a few frames behind the
// players with how far behind on the bottom line, and how it ended.
#include "netplay/watch.h"

#include <cstdio>

#include "app/gameapp.h"
#include "netplay/series_game.h"
#include "netplay/session.h"
#include "netplay/watch_session.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/net/link.h"
#include "runtime/presentation.h"

namespace {

std::string endedText(const FeedEnd& e) {
    switch (e.how) {
        case SeriesEnd::PlayerOneLeft:
            return "Player 1 left";
        case SeriesEnd::PlayerTwoLeft:
            return "Player 2 left";
        case SeriesEnd::GameOver:
            return "The game is over";
        case SeriesEnd::PlayersParted:
            break;
    }
    return "The players left";
}

std::string failedText(const WatchSession& session, const std::string& peer) {
    switch (session.end()) {
        case WatchEnd::NoAnswer:
            return "No game answered at " + peer;
        case WatchEnd::Refused:
            return session.why();
        case WatchEnd::Lost:
        case WatchEnd::None:
            break;
    }
    return "Connection lost";
}

}  // namespace

int watchOverLink(std::unique_ptr<gameapp> game, NetLink& link, const std::string& peer) {
    catchWindowClose(true);
    WatchSession session(link);
    session.checkOffer = settingsRefusal;
    while (!session.handshake(clockMillis())) {
        if (session.end() != WatchEnd::None) return finish(*game, failedText(session, peer), 1);
        const bool closed = windowCloseRequested();
        if (closed || viewerKeyPresses(KeyEscape) > 0) {
            if (session.heardFromHost()) session.sayGoodbye(clockMillis());
            return finish(*game, "You stopped watching", closed ? 0 : 1);
        }
        showLines(*game, {session.heardFromHost() ? "CONNECTED" : "CONNECTING TO", peer, "TO WATCH",
                          "Esc cancels"});
    }

    const SeriesStart start = session.start();
    game = seriesGame(*game, start);
    const std::unique_ptr<SeriesSteps> steps = stepsFor(*game, start);
    ConfirmedRecord record(*game, start, false);
    WatchPlayer player(*steps);
    const auto keys = [&session](int side, int f) { return session.keysOf(side, f); };
    setFrameOverlay([&] {
        const double behind = (session.confirmed() - player.played()) / 60.0;
        char line[80];
        std::snprintf(line, sizeof line, "WATCHING  %.1f S BEHIND  (ESC LEAVES)",
                      behind > 0 ? behind : 0.0);
        setDrawColor(200, 200, 200);
        drawString(line, centredX(line, 1), 748);
    });
    const auto end = [&](const std::string& text, int status) {
        record.takeUpTo(player.played(), keys);
        record.cut();
        return finish(*game, text, status);
    };
    for (;;) {
        const int now = clockMillis();
        if (windowCloseRequested() || viewerKeyPresses(KeyEscape) > 0) {
            session.sayGoodbye(now);
            return end("You stopped watching", 0);
        }
        session.listen(now);
        if (session.end() != WatchEnd::None) return end(failedText(session, peer), 1);
        // Nothing to show before the players' first frame comes.
        if (!player.frame(session) && player.played() == 0)
            showLines(*game, {"WAITING FOR THE PLAYERS", peer, "Esc leaves"});
        record.takeUpTo(player.played(), keys);
        if (player.done(session)) return end(endedText(*session.ended()), 0);
    }
}
