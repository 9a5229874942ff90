// The online series: waiting and connecting screens, the handshake, the
// frame loop over the rollback session, pause, leaving and lost connections.
#include "netplay/online.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "app/gameapp.h"
#include "fight/hash.h"
#include "fight/simulation_version.h"
#include "fight/versus_steps.h"
#include "netplay/rollback.h"
#include "persist/settings_table.h"
#include "replay/format.h"
#include "replay/replay.h"
#include "runtime/bytes.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/net/link.h"
#include "runtime/numbers.h"
#include "runtime/presentation.h"

namespace {

constexpr int kProtocol = kOnlineProtocol;
constexpr int kLostMillis = 3000;  // a silent connection is lost after this
constexpr int kConnectMillis = 5000;
constexpr int kMessageMillis = 2500;  // how long a last message stays up

enum Tag : char {
    Hello = 'H',
    Welcome = 'W',
    Refused = 'R',
    Ready = 'G',  // the joiner has the settings: both start the series
    Pause = 'P',
    Parts = 'D'
};

std::string versionText(std::uint32_t protocol, std::uint64_t simulation) {
    return std::to_string(protocol) + "/" + hashText(simulation);
}

// A message's tag, then this side's protocol and simulation versions.
ByteWriter versionMessage(Tag tag) {
    ByteWriter m;
    m.u8(static_cast<std::uint32_t>(tag));
    m.u32(kProtocol);
    m.u64(kSimulationVersion);
    return m;
}
constexpr std::size_t kVersionMessageSize = 13;

// The lines of a screen of text, centred, in the heading's colour.
void showLines(gameapp& game, const std::vector<std::string>& lines) {
    clearScreen();
    game.cyclePalette();
    game.drawHeading();
    setDrawColor(game.palette[1][1], game.palette[1][2], game.palette[1][3]);
    setDrawScale(2, 2);
    int y = 300;
    for (const std::string& line : lines) {
        drawString(line, centredX(line, 2), static_cast<float>(y));
        y += 48;
    }
    setDrawScale(1, 1);
    presentFrame();
}

// A last message, up for a moment or until a key.
int finish(gameapp& game, const std::string& text, int status) {
    std::fprintf(stderr, "flailwick: %s\n", text.c_str());
    const int start = clockMillis();
    while (clockMillis() - start < kMessageMillis) {
        showLines(game, {text});
        if (viewerKeyPresses(KeyEscape) > 0 || viewerKeyPresses(KeyEnter) > 0) break;
    }
    return status;
}

std::uint8_t localFrameKeys() {
    const auto held = [](int a, int b) { return viewerIsKeyDown(a) || viewerIsKeyDown(b); };
    std::uint8_t keys = 0;
    if (held(KeyUp, KeyW)) keys |= FrameUp;
    if (held(KeyDown, KeyS)) keys |= FrameDown;
    if (held(KeyLeft, KeyA)) keys |= FrameLeft;
    if (held(KeyRight, KeyD)) keys |= FrameRight;
    if (viewerIsKeyDown(KeyEnter)) keys |= FrameEnter;
    if (viewerIsKeyDown(KeySpace)) keys |= FrameSpace;
    if (viewerIsKeyDown(KeyEscape)) keys |= FrameEscape;
    return keys;
}

// The host's settings and its generator's seed, for both sides.
std::string welcomeMessage(const gameapp& game, int seed) {
    ByteWriter m = versionMessage(Welcome);
    for (const Setting& row : kSettings)
        m.i32(game.*(row.field));
    m.i32(seed);
    return m.bytes;
}

bool takeWelcome(gameapp& game, const std::string& m, int& seed) {
    const std::size_t size = kVersionMessageSize + 4 * (kSettings.size() + 1);
    if (m.size() != size) return false;
    ByteReader r(m, kVersionMessageSize, "");
    for (const Setting& row : kSettings) {
        const int v = r.i32();
        // Full screen stays this machine's own.
        if (row.field != &gameapp::fullscreen) game.*(row.field) = v;
    }
    seed = r.i32();
    return true;
}

// Waits for the other side's next message of the handshake, or with `tag`
// for the next with it; any others are kept in `later`, in order.
bool awaitMessage(gameapp& game, NetLink& link, const std::vector<std::string>& screen,
                  std::string& message, std::vector<std::string>& later, char tag = 0) {
    std::vector<std::string> got;
    const int start = clockMillis();
    while (clockMillis() - start < kConnectMillis) {
        const bool there = link.receive(got);
        bool found = false;
        for (std::string& m : got) {
            if (!found && (tag == 0 || (!m.empty() && m[0] == tag))) {
                message = std::move(m);
                found = true;
            } else {
                later.push_back(std::move(m));
            }
        }
        got.clear();
        if (found) return true;
        if (!there) return false;
        if (viewerKeyPresses(KeyEscape) > 0) return false;
        showLines(game, screen);
    }
    return false;
}

// Versions agree, or the reason on this side (the other side learns it from
// the refusal).
std::string checkVersions(const std::string& m) {
    if (m.size() < kVersionMessageSize) return "the other game does not speak Flailwick";
    ByteReader r(m, 1, "");
    const std::uint32_t protocol = r.u32();
    const std::uint64_t simulation = r.u64();
    if (protocol == static_cast<std::uint32_t>(kProtocol) && simulation == kSimulationVersion)
        return {};
    return "the other player's game is version " + versionText(protocol, simulation) +
           ", this one " + versionText(kProtocol, kSimulationVersion);
}

std::unique_ptr<NetLink> connect(gameapp& game, const OnlineOptions& o, std::string& error) {
    if (!o.host) {
        showLines(game, {"CONNECTING TO", o.address + ":" + std::to_string(o.port)});
        return connectToPlayer(o.address, o.port, kConnectMillis, error);
    }
    auto listener = listenForPlayer(o.port, error);
    if (!listener) return nullptr;
    std::vector<std::string> lines{"WAITING FOR THE OTHER PLAYER",
                                   "PORT " + std::to_string(o.port)};
    for (const std::string& a : localAddresses()) {
        if (a != "127.0.0.1") lines.push_back(a);
    }
    std::printf("Waiting for the other player on port %d (addresses:", o.port);
    for (std::size_t i = 2; i < lines.size(); ++i)
        std::printf(" %s", lines[i].c_str());
    std::printf(")\n");
    std::fflush(stdout);
    for (;;) {
        if (auto link = listener->poll(1)) return link;
        if (viewerKeyPresses(KeyEscape) > 0) {
            error = "nobody joined";
            return nullptr;
        }
        showLines(game, lines);
    }
}

std::string partsMessage(int frame, const StateParts& parts) {
    ByteWriter m;
    m.u8(static_cast<std::uint32_t>(Parts));
    m.i32(frame);
    for (std::uint64_t h : parts)
        m.u64(h);
    return m.bytes;
}

// Where the two sides parted, written beside the recorded fights: each side's
// hash of every part of the state after the frame, and the first that differs.
void reportDesync(NetLink& link, const RollbackSession& session) {
    const int frame = session.desyncFrame();
    const StateParts* mine = session.partsAfter(frame);
    if (mine == nullptr) return;
    link.send(partsMessage(frame, *mine), true);
    link.flush();
    std::vector<std::string> got;
    StateParts theirs{};
    bool known = false;
    const int start = clockMillis();
    bool there = true;
    while (!known && there && clockMillis() - start < 1000) {
        // Their parts count even when they leave right after sending them.
        there = link.receive(got);
        for (const std::string& m : got) {
            ByteReader r(m, 1, "");
            if (m.size() != 5 + 8 * kStateParts || m[0] != Parts || r.i32() != frame) continue;
            for (std::uint64_t& h : theirs)
                h = r.u64();
            known = true;
        }
        got.clear();
        sleepMillis(5);
    }
    const auto names = hashFightParts(*std::make_unique<gameapp>());
    std::string report = "Desync at frame " + std::to_string(frame) + "\n";
    bool named = false;
    for (int i = 0; i < kStateParts; ++i) {
        const std::uint64_t own = (*mine)[static_cast<std::size_t>(i)];
        const std::uint64_t other = theirs[static_cast<std::size_t>(i)];
        char line[160];
        std::snprintf(line, sizeof line, "%-18s this side %s, other side %s%s\n",
                      names[static_cast<std::size_t>(i)].name, hashText(own).c_str(),
                      known ? hashText(other).c_str() : "unknown",
                      known && own != other && !named ? "   <- the first that differs" : "");
        if (known && own != other) named = true;
        report += line;
    }
    const std::string dir = replayDirectory();
    allowSaving(true);
    if (!dir.empty() && makeDirectories(dir))
        writeWholeFile(dir + "/desync-frame-" + std::to_string(frame) + ".txt", report);
    allowSaving(false);
}

struct SeriesKeys {
    std::vector<std::uint8_t> one, two;  // by frame
};

// The series played again unseen from its start on the confirmed keys, with
// the recorder keeping each fight in the replay directory.
void recordSeries(const gameapp& played, int seed, const SeriesKeys& keys) {
    auto game = std::make_unique<gameapp>();
    game->fillDefaultScores();
    for (const Setting& row : kSettings)
        (*game).*(row.field) = played.*(row.field);
    FightRecorder recorder(replayDirectory());
    const Unseen unseen;
    VersusSteps steps(*game, seed, &recorder);
    for (std::size_t f = 0; f < keys.one.size(); ++f)
        steps.advance(keys.one[f], keys.two[f], false);
}

}  // namespace

int playOnline(const OnlineOptions& o) {
    // An online series changes nothing of this machine's files.
    allowSaving(false);
    std::unique_ptr<gameapp> game = openFightWindow();
    startKeyFeed();

    std::string error;
    std::unique_ptr<NetLink> link = connect(*game, o, error);
    if (!link) return finish(*game, error, 1);
    return playOverLink(std::move(game), *link, o.host, o.inputDelay);
}

int playOverLink(std::unique_ptr<gameapp> game, NetLink& link, bool host, int inputDelay) {
    std::string message;
    std::vector<std::string> early;  // what came with the last message of the handshake
    int seed = 0;
    if (host) {
        if (!awaitMessage(*game, link, {"THE OTHER PLAYER IS HERE"}, message, early))
            return finish(*game, "Connection lost", 1);
        const std::string wrong = checkVersions(message);
        if (!wrong.empty()) {
            link.send(versionMessage(Refused).bytes, true);
            link.flush();
            return finish(*game, wrong, 1);
        }
        seed = clockMillis();
        link.send(welcomeMessage(*game, seed), true);
        // Started once the joiner has the settings, not when they leave: a
        // welcome lost and sent again would put this side seconds ahead. The
        // joiner's first keys may come before its word that it is ready.
        early.clear();
        if (!awaitMessage(*game, link, {"THE OTHER PLAYER IS HERE"}, message, early, Ready))
            return finish(*game, "Connection lost", 1);
    } else {
        link.send(versionMessage(Hello).bytes, true);
        if (!awaitMessage(*game, link, {"CONNECTED"}, message, early))
            return finish(*game, "Connection lost", 1);
        const std::string wrong = checkVersions(message);
        if (!wrong.empty()) return finish(*game, wrong, 1);
        if (message[0] != Welcome || !takeWelcome(*game, message, seed))
            return finish(*game, "the other game does not speak Flailwick", 1);
        link.send(std::string(1, Ready), true);
    }

    // The series starts from a game object made now on both sides alike;
    // the screens before it have moved this one's colours.
    auto series = std::make_unique<gameapp>();
    series->fillDefaultScores();
    series->media = game->media;
    for (const Setting& row : kSettings)
        (*series).*(row.field) = (*game).*(row.field);
    game = std::move(series);
    VersusSteps steps(*game, seed);
    RollbackSession session(host ? 1 : 2, inputDelay);
    SeriesKeys confirmed;
    const auto takeConfirmed = [&] {
        for (int f = static_cast<int>(confirmed.one.size()); f < session.confirmed(); ++f) {
            confirmed.one.push_back(session.keysOf(1, f));
            confirmed.two.push_back(session.keysOf(2, f));
        }
    };
    const int began = clockMillis();
    const long long frozeBefore = waitedMillis();
    const auto end = [&](const std::string& text, int status) {
        // How well the two kept in step, for whoever runs the game from a terminal;
        // the freezes that mark blows are the game's own, not lost frames.
        const double seconds = (clockMillis() - began) / 1000.0;
        const double froze = static_cast<double>(waitedMillis() - frozeBefore) / 1000.0;
        const double playing = seconds - froze;
        std::printf(
            "Online series: %d frames in %.1f s, %.1f s of them frozen on blows (%.1f "
            "frames a second of the rest), %d display frames without a new one, %d "
            "rollbacks, the deepest %d frames\n",
            session.frame(), seconds, froze, playing > 0 ? session.frame() / playing : 0.0,
            session.waits(), session.rollbacks(), session.deepestRollback());
        std::fflush(stdout);
        // The fights are recorded from the keys both sides confirmed,
        // played once more as one machine plays them.
        takeConfirmed();
        allowSaving(true);
        recordSeries(*game, seed, confirmed);
        allowSaving(false);
        return finish(*game, text, status);
    };
    bool paused = false;
    std::vector<std::string> got = std::move(early);
    for (;;) {
        // What arrived counts even when the other side left right after it.
        const bool there = link.receive(got);
        for (const std::string& m : got) {
            KeysMessage keys;
            if (decodeKeysMessage(m, keys)) {
                session.receive(keys);
            } else if (m.size() == 1 && m[0] == Pause) {
                paused = !paused;
            }
        }
        got.clear();
        // Ended by Esc on a frame both sides have confirmed: whose Esc it was.
        const bool overForBoth = steps.over() && session.confirmed() >= steps.overAt();
        const auto left = [&] {
            const bool mine = (session.keysOf(host ? 1 : 2, steps.overAt() - 1) & FrameEscape) != 0;
            return mine ? "You left the series" : "The other player left";
        };
        if (!there || link.silentMillis() > kLostMillis) {
            // Gone after the series ended: it left with Esc, as this side saw.
            if (overForBoth) return end(left(), 0);
            if (steps.over()) return end("The other player left", 0);
            return end("Connection lost", 1);
        }
        if (viewerKeyPresses(KeyP) > 0) {
            paused = !paused;
            link.send(std::string(1, Pause), true);
        }
        if (session.desyncFrame() >= 0) {
            reportDesync(link, session);
            return end("Desync at frame " + std::to_string(session.desyncFrame()), 1);
        }
        if (overForBoth) {
            // The other side may not have all of this side's keys to that frame yet.
            link.send(encodeKeysMessage(session.outgoing()), true);
            link.flush();
            return end(left(), 0);
        }
        if (paused) {
            presentFrame();
        } else {
            session.setLocalKeys(localFrameKeys());
            // A frame that waits for the other side shows the last one again.
            if (!session.tick(steps)) presentFrame();
        }
        takeConfirmed();
        link.send(encodeKeysMessage(session.outgoing()), false);
    }
}
