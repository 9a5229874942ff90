// The online screens: waiting and connecting, the handshake, the series with
// what the player is told of the connection, and its end.
#include "netplay/online.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "fight/coop_steps.h"
#include "netplay/desync_report.h"
#include "netplay/room_code.h"
#include "netplay/room_connect.h"
#include "netplay/series_game.h"
#include "netplay/session.h"
#include "netplay/watch.h"
#include "netplay/watchers.h"
#include "persist/settings_table.h"
#include "replay/replay.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/net/link.h"
#include "runtime/net/port_mapping.h"
#include "runtime/presentation.h"

static_assert(kSeriesSettings == kSettingCount);

namespace {

FrameKeys localFrameKeys() {
    const auto held = [](int a, int b) { return viewerIsKeyDown(a) || viewerIsKeyDown(b); };
    FrameKeys keys = 0;
    if (held(KeyUp, KeyW)) keys |= FrameUp;
    if (held(KeyDown, KeyS)) keys |= FrameDown;
    if (held(KeyLeft, KeyA)) keys |= FrameLeft;
    if (held(KeyRight, KeyD)) keys |= FrameRight;
    if (viewerIsKeyDown(KeyEnter)) keys |= FrameEnter;
    if (viewerIsKeyDown(KeySpace)) keys |= FrameSpace;
    if (viewerIsKeyDown(KeyEscape)) keys |= FrameEscape;
    return keys;
}

SeriesStart startOf(const gameapp& game, int seed, bool coop) {
    SeriesStart s;
    for (std::size_t i = 0; i < kSettings.size(); ++i)
        s.settings[i] = game.*(kSettings[i].field);
    s.seed = seed;
    s.coop = coop;
    for (std::size_t i = 0; i < s.table.size() && i < game.highScores.size(); ++i)
        s.table[i] = travellingRow(game.highScores[i].name, game.highScores[i].score);
    return s;
}

bool inScoreScreens(const gameapp& game) {
    return game.matchState == kStateGameOver || game.matchState == kStateHighScores;
}

// The host's typed character for this frame's keys: only the name entry reads
// one, so what is typed elsewhere is let go rather than kept for it.
int typedForFrame(const gameapp& shown, int pending) {
    if (pending != 0) return pending;
    for (;;) {
        const int c = viewerNextChar();
        if (c == 0) return 0;
        if (shown.matchState == kStateGameOver && typable(c)) return c;
    }
}

// What the player sees of the connection, and the words over a fight.
struct Overlay {
    const OnlineSession* session = nullptr;
    const gameapp* game = nullptr;
    bool joinerInCoop = false;  // the score goes to the other machine's table
    std::string path;           // the path ICE found, if it did
    bool stats = true;
    int silentMillis = 0;

    void draw() const {
        const RollbackSession& r = session->rollback();
        setDrawColor(200, 200, 200);
        if (stats) {
            const int lead = r.lead();
            char line[140];
            std::snprintf(
                line, sizeof line, "%s%sPING %d MS  DELAY %d  ROLLED BACK %d  %s %d  (F1 HIDES)",
                path.c_str(), path.empty() ? "" : "  ", session->roundTripMillis(), r.inputDelay(),
                r.rolledBackLately(), lead >= 0 ? "AHEAD" : "BEHIND", lead >= 0 ? lead : -lead);
            drawString(line, centredX(line, 1), 748);
        }
        std::vector<std::string> lines;
        if (silentMillis >= kInterruptedMillis) {
            char seconds[40];
            std::snprintf(seconds, sizeof seconds, "%.1f s", silentMillis / 1000.0);
            lines = {"Connection interrupted", seconds};
        } else if (session->paused()) {
            lines = {"PAUSED", "P goes on"};
        }
        setDrawScale(2, 2);
        if (joinerInCoop && inScoreScreens(*game)) {
            const char* where = game->matchState == kStateGameOver
                                    ? "PLAYER 1 TYPES THE NAME FOR THE HOST'S TABLE"
                                    : "THE SCORE WENT TO THE HOST'S TABLE";
            drawString(where, centredX(where, 2), 700);
        }
        float y = 330;
        for (const std::string& text : lines) {
            drawString(text, centredX(text, 2), y);
            y += 48;
        }
        setDrawScale(1, 1);
    }
};

std::string endText(const OnlineSession& session, const std::string& peer) {
    switch (session.end()) {
        case SessionEnd::PeerLeft:
            return "The other player left";
        case SessionEnd::NoAnswer:
            return "No game answered at " + peer;
        case SessionEnd::Refused:
            return session.why();
        case SessionEnd::Lost:
        case SessionEnd::None:
            break;
    }
    return "Connection lost";
}

std::vector<std::string> waitingLines(bool host, bool heard, const std::string& peer,
                                      const std::vector<std::string>& addresses,
                                      const PortMapping* mapping) {
    if (!host) return {heard ? "CONNECTED" : "CONNECTING TO", peer, "Esc cancels"};
    if (heard) return {"THE OTHER PLAYER IS HERE"};
    std::vector<std::string> lines{"WAITING FOR THE OTHER PLAYER", peer};
    lines.insert(lines.end(), addresses.begin(), addresses.end());
    if (mapping != nullptr) {
        switch (mapping->state()) {
            case PortMapping::State::Asking:
                lines.emplace_back("Asking the router to open the port");
                break;
            case PortMapping::State::Mapped:
                lines.push_back("From outside: flailwick --join " + mapping->publicAddress());
                break;
            case PortMapping::State::Failed:
                lines.emplace_back("The router did not open it: forward the UDP port here,");
                lines.emplace_back("or host with a room code: --lobby HOST");
                break;
        }
    }
    lines.emplace_back("Esc cancels");
    return lines;
}

// What another machine could reach this one by, shown while the host waits.
std::vector<std::string> reachableAddresses() {
    std::vector<std::string> shown;
    for (const std::string& a : localAddresses())
        if (a != "127.0.0.1") shown.push_back(a);
    return shown;
}

}  // namespace

void useHostTable(gameapp& game, const SeriesStart& start) {
    game.highScores.clear();
    for (const TableRow& row : start.table)
        game.highScores.push_back(ScoreEntry{row.score, row.name});
}

namespace {

// Keeps a meeting going until its path is found, with its lines on screen.
// False when it failed, or the player gave up (closed says how).
template <typename Meeting>
bool meet(gameapp& game, Meeting& meeting, bool& closed) {
    while (meeting.stage() != MeetStage::Connected) {
        meeting.poll(clockMillis());
        if (meeting.stage() == MeetStage::Failed) return false;
        closed = windowCloseRequested();
        if (closed || viewerKeyPresses(KeyEscape) > 0) return false;
        std::vector<std::string> lines = meeting.lines();
        lines.emplace_back("Esc cancels");
        showLines(game, lines);
    }
    return true;
}

void sayPath(const IceAgent& link) {
    std::printf("Path: %s (%s)\n", icePathName(link.path()), link.pairText().c_str());
    std::fflush(stdout);
}

// Through a room on the lobby: the host shows its code, the guest gives it or
// types it, and the path ICE finds carries the series.
int playThroughRoom(std::unique_ptr<gameapp> game, const OnlineOptions& o) {
    catchWindowClose(true);
    const std::string lobby = o.lobbyHost + ":" + std::to_string(o.lobbyPort);
    std::string code = o.host ? makeRoomCode() : o.roomCode;
    if (code.empty()) code = enterRoomCode(*game, lobby);
    if (code.empty()) return windowCloseRequested() ? 0 : 1;
    // The key takes a moment to work out, on purpose: say what is going on.
    showLines(*game, {o.host ? "OPENING A ROOM" : "JOINING ROOM " + code, "Reaching the lobby"});
    const CodeKeys keys = deriveCodeKeys(code);
    std::string error;
    std::unique_ptr<Broker> broker =
        connectBroker(o.lobbyHost, o.lobbyPort, o.host ? roomWill(keys) : BrokerWill{}, error);
    if (!broker) return finish(*game, error, 1);
    bool closed = false;
    if (o.host) {
        std::printf("Room code %s\nTell the other player: flailwick --join %s\n", code.c_str(),
                    code.c_str());
        std::fflush(stdout);
        HostMeeting meeting(std::move(broker), code, keys, defaultIceStarter());
        if (!meet(*game, meeting, closed)) {
            if (meeting.stage() == MeetStage::Failed) return finish(*game, meeting.failure(), 1);
            return finish(*game, "Nobody joined", closed ? 0 : 1);
        }
        const std::unique_ptr<IceAgent> link = meeting.takePlayer();
        sayPath(*link);
        WatcherFeed watchers;
        LinkDetails details;
        details.coop = o.coop;
        details.path = icePathName(link->path());
        details.watchers = &watchers;
        // The room stays open: watchers who come later find their path through it.
        details.eachFrame = [&meeting, &watchers](int now) {
            meeting.poll(now);
            for (std::unique_ptr<IceAgent>& watcher : meeting.takeWatchers())
                watchers.add(std::move(watcher), now);
        };
        return playOverLink(std::move(game), *link, true, o.inputDelay, details);
    }
    GuestMeeting meeting(std::move(broker), code, keys,
                         o.watch ? RoomRole::Watcher : RoomRole::Player, defaultIceStarter());
    if (!meet(*game, meeting, closed)) {
        if (meeting.stage() == MeetStage::Failed) return finish(*game, meeting.failure(), 1);
        return finish(*game, o.watch ? "You stopped watching" : "You stopped joining",
                      closed ? 0 : 1);
    }
    const std::unique_ptr<IceAgent> link = meeting.takeLink();
    sayPath(*link);
    if (o.watch) return watchOverLink(std::move(game), *link);
    LinkDetails details;
    details.peer = "the host";
    details.path = icePathName(link->path());
    return playOverLink(std::move(game), *link, false, o.inputDelay, details);
}

}  // namespace

int playOnline(const OnlineOptions& o) {
    // An online game changes nothing of this machine's files but its recordings
    // and, on the host, a co-op score (ConfirmedRecord lets those through).
    allowSaving(false);
    std::unique_ptr<gameapp> game = openFightWindow();
    startKeyFeed();
    if (!o.lobbyHost.empty()) return playThroughRoom(std::move(game), o);
    if (!o.host && o.address.empty()) {
        return finish(*game, "A room code needs a lobby: --lobby HOST, or HOST for a direct game",
                      1);
    }
    if (o.watch) {
        // A watcher changes nothing of this machine's files but its recordings.
        std::string error;
        std::unique_ptr<NetLink> link = joinAt(o.address, o.port, error);
        if (!link) return finish(*game, error, 1);
        return watchOverLink(std::move(game), *link, o.address + ":" + std::to_string(o.port));
    }
    if (o.host) {
        std::printf(
            "No lobby is known, so the other player joins this machine directly. For a room\n"
            "code instead, host with --lobby HOST[:PORT] or FLAILWICK_LOBBY.\n");
    }
    std::string error;
    // The host's port has room for watchers besides the player.
    WatcherFeed watchers;
    std::unique_ptr<NetLink> link;
    if (!o.host) {
        link = joinAt(o.address, o.port, error);
    } else if (std::unique_ptr<UdpHub> hub = hubOnPort(o.port, kHubAddresses, error)) {
        link = std::make_unique<HostDoor>(std::move(hub), watchers, clockMillis);
    }
    if (!link) return finish(*game, error, 1);
    const std::string peer =
        o.host ? "PORT " + std::to_string(o.port) : o.address + ":" + std::to_string(o.port);
    std::unique_ptr<PortMapping> mapping;
    if (o.host) {
        std::printf("Waiting for the other player on port %d\n", o.port);
        std::fflush(stdout);
        if (o.askRouter) mapping = std::make_unique<PortMapping>(o.port, PortMapping::Routers{});
    }
    LinkDetails details;
    details.peer = peer;
    details.coop = o.coop;
    details.mapping = mapping.get();
    if (o.host) details.watchers = &watchers;
    return playOverLink(std::move(game), *link, o.host, o.inputDelay, details);
}

int playOverLink(std::unique_ptr<gameapp> game, NetLink& link, bool host, int inputDelay,
                 const LinkDetails& details) {
    const std::string& peer = details.peer;
    const bool coop = details.coop;
    WatcherFeed* const watchers = details.watchers;
    const auto eachFrame = [&details](int now) {
        if (details.eachFrame) details.eachFrame(now);
    };
    catchWindowClose(true);
    OnlineSession session(link, host);
    // Watchers hear how it ended, and the last message stays up until they have all of it.
    const auto feedEnd = [watchers](SeriesEnd how, int frame) {
        if (watchers == nullptr) return std::function<bool()>();
        watchers->end({how, frame});
        return std::function<bool()>([watchers] {
            watchers->poll(clockMillis());
            return !watchers->delivered();
        });
    };
    if (host) {
        // The table a game over here would go into, as on one machine.
        if (coop) game->loadScores();
        const SeriesStart offer = startOf(*game, clockMillis(), coop);
        const std::string wrong = settingsRefusal(offer);
        if (!wrong.empty()) {
            // Said at once: no joiner can play these, and the host can mend them.
            return finish(*game, wrong + " (mend it on the OPTIONS screen)", 1);
        }
        session.offer(offer, "");
        if (watchers != nullptr) watchers->offer(offer);
    }
    session.checkOffer = settingsRefusal;
    const std::vector<std::string> addresses =
        host ? reachableAddresses() : std::vector<std::string>{};
    while (!session.handshake(clockMillis())) {
        if (watchers != nullptr) watchers->poll(clockMillis());
        if (session.end() != SessionEnd::None)
            return finish(*game, endText(session, peer), 1, feedEnd(SeriesEnd::PlayersParted, 0));
        // The close button ends the program as it always does; Esc gives up waiting.
        const bool closed = windowCloseRequested();
        if (closed || viewerKeyPresses(KeyEscape) > 0) {
            if (session.heardFromPeer()) session.sayGoodbye(clockMillis());
            return finish(*game, host ? "Nobody joined" : "You stopped joining", closed ? 0 : 1,
                          feedEnd(SeriesEnd::PlayersParted, 0));
        }
        showLines(*game,
                  waitingLines(host, session.heardFromPeer(), peer, addresses, details.mapping));
        eachFrame(clockMillis());
    }

    const SeriesStart start = session.start();
    game = seriesGame(*game, start);
    const std::unique_ptr<SeriesSteps> stepsMade = stepsFor(*game, start);
    SeriesSteps& steps = *stepsMade;
    const char* const what = start.coop ? "game" : "series";
    const int delay =
        inputDelay != kAutoDelay ? inputDelay : inputDelayFor(session.roundTripMillis());
    std::printf("Input delay %d frames (round trip %d ms)\n", delay, session.roundTripMillis());
    std::fflush(stdout);
    session.begin(steps, delay);
    ConfirmedRecord record(*game, start, host);
    Overlay overlay{&session, game.get(), start.coop && !host, details.path};
    setFrameOverlay([&overlay] { overlay.draw(); });

    const int began = clockMillis();
    const long long frozeBefore = waitedMillis();
    const auto end = [&](const std::string& text, int status, SeriesEnd how, int frame) {
        // How well the two kept in step, for whoever runs the game from a terminal;
        // the freezes that mark blows are the game's own, not lost frames.
        const std::int64_t ending = clockMicros();
        const RollbackSession& r = session.rollback();
        const double seconds = (clockMillis() - began) / 1000.0;
        const double froze = static_cast<double>(waitedMillis() - frozeBefore) / 1000.0;
        const double playing = seconds - froze;
        std::printf(
            "Online %s: %d frames in %.1f s, %.1f s of them frozen on blows (%.1f "
            "frames a second of the rest), %d display frames without a new one, %d "
            "rollbacks, the deepest %d frames\n",
            what, r.frame(), seconds, froze, playing > 0 ? r.frame() / playing : 0.0, r.waits(),
            r.rollbacks(), r.deepestRollback());
        std::fflush(stdout);
        record.takeUpTo(r);
        record.cut();
        // The fights were recorded as they went: the end waits for no second run.
        std::printf("The %s's end took %.1f ms\n", what,
                    static_cast<double>(clockMicros() - ending) / 1000.0);
        std::fflush(stdout);
        if (watchers != nullptr) watchers->take(r);
        return finish(*game, text, status, feedEnd(how, frame != kNoFrame ? frame : r.confirmed()));
    };
    // Who left, by the Esc in the keys of the frame the series ended with.
    const auto leaver = [&](int frame) {
        const RollbackSession& r = session.rollback();
        if (frame > 0 && (r.keysOf(1, frame - 1) & FrameEscape) != 0)
            return SeriesEnd::PlayerOneLeft;
        return SeriesEnd::PlayerTwoLeft;
    };
    const SeriesEnd ownLeaving = host ? SeriesEnd::PlayerOneLeft : SeriesEnd::PlayerTwoLeft;
    const SeriesEnd peerLeaving = host ? SeriesEnd::PlayerTwoLeft : SeriesEnd::PlayerOneLeft;
    const std::string youLeft = std::string("You left the ") + what;
    int typed = 0;  // the host's character, until the local keys take it
    for (;;) {
        const int now = clockMillis();
        eachFrame(now);
        if (windowCloseRequested()) {
            session.sayGoodbye(now);
            return end(youLeft, 0, ownLeaving, kNoFrame);
        }
        if (viewerKeyPresses(KeyF1) > 0) overlay.stats = !overlay.stats;
        // P is a letter of the name there, as on one machine.
        const bool pausePressed = viewerKeyPresses(KeyP) > 0 && !inScoreScreens(*game);
        overlay.silentMillis = session.silentMillis(now);
        if (start.coop && host) typed = typedForFrame(*game, typed);
        RollbackSession& r = session.rollback();
        const int keysBefore = r.localKeysUpTo();
        const bool played = session.frame(now, withTyped(localFrameKeys(), typed), pausePressed);
        if (r.localKeysUpTo() > keysBefore) typed = 0;
        record.takeUpTo(r);
        if (watchers != nullptr) {
            watchers->take(r);
            watchers->poll(now);
        }
        // Ended on a frame both sides have confirmed: by whose Esc, or the game's own end.
        const bool overForBoth = steps.over() && r.confirmed() >= steps.overAt();
        const auto left = [&] {
            if (!steps.left()) return std::string("The game is over");
            const bool mine = (r.keysOf(r.side(), steps.overAt() - 1) & FrameEscape) != 0;
            return mine ? youLeft : std::string("The other player left");
        };
        const auto how = [&] {
            return steps.left() ? leaver(steps.overAt()) : SeriesEnd::GameOver;
        };
        if (session.end() != SessionEnd::None) {
            // Gone after the series ended: it left with Esc, as this side saw.
            if (overForBoth) return end(left(), 0, how(), steps.overAt());
            if (steps.over() || session.end() == SessionEnd::PeerLeft)
                return end("The other player left", 0, peerLeaving, kNoFrame);
            return end(endText(session, peer), 1, SeriesEnd::PlayersParted, kNoFrame);
        }
        if (r.desyncFrame() != kNoFrame) {
            reportDesync(session, clockMillis);
            return end("Desync at frame " + std::to_string(r.desyncFrame()), 1,
                       SeriesEnd::PlayersParted, kNoFrame);
        }
        if (overForBoth) {
            // The other side may not have all of this side's keys to that frame yet.
            session.sendKeys();
            return end(left(), 0, how(), steps.overAt());
        }
        // A frame that waits for the other side shows the last one again.
        if (!played) {
            const Presentation shown = presentation();
            setPresentation(Presentation{shown.drawing, false, false, true});
            r.showLastFrame();
            setPresentation(shown);
        }
    }
}

std::string enterRoomCode(gameapp& game, const std::string& lobby) {
    std::string typed;
    std::string problem;
    catchWindowClose(true);
    for (;;) {
        if (windowCloseRequested() || viewerKeyPresses(KeyEscape) > 0) return "";
        for (int c = viewerNextChar(); c != 0; c = viewerNextChar()) {
            if (c == kBackspaceChar || c == kDeleteChar) {
                if (!typed.empty()) typed.pop_back();
            } else if (typed.size() < kRoomCodeLength && std::isalnum(c) != 0) {
                typed += static_cast<char>(std::toupper(c));
            }
            problem.clear();
        }
        if (viewerKeyPresses(KeyEnter) > 0) {
            if (const std::optional<std::string> code = normalRoomCode(typed)) return *code;
            problem = roomCodeProblem(typed);
        }
        // Grouped as the host reads it out, whatever the player types between.
        std::string shown = typed.substr(0, 4);
        if (typed.size() > 4) shown += "-" + typed.substr(4);
        showLines(game, {"JOIN AN ONLINE GAME", "Type the room code the host gave you",
                         shown + (typed.size() < kRoomCodeLength ? "_" : ""), problem,
                         "Enter joins, Esc cancels", "Lobby: " + lobby});
    }
}
