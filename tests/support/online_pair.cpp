// Two sides of an online series in one process: the network in memory, the
// scripted players and the measures a side takes of its own play.
#include "tests/support/online_pair.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>

#include "app/fighters_in_play.h"
#include "app/game_texts.h"
#include "app/gameapp.h"
#include "fight/coop_steps.h"
#include "netplay/online.h"
#include "netplay/session.h"
#include "netplay/watch_session.h"
#include "netplay/watchers.h"
#include "replay/replay.h"
#include "runtime/presentation.h"

namespace {

std::unique_ptr<gameapp> newGame(int blowPower) {
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    game->fillDefaultScores();
    game->blowPower = blowPower;
    return game;
}

// Both fighters a blow from the end of the fight.
void beginNearlyBeaten(gameapp& g) {
    g.fighters[1].energy = 1.0f;
    g.fighters[2].energy = 1.0f;
}

// A co-op level decided at its start: the computer's fighters knocked out
// below the level that is lost, the players at it.
void decideLevel(gameapp& g, int loseAt) {
    const int n = fightersInPlay(g);
    for (int i = g.level < loseAt ? 3 : 1; i <= (g.level < loseAt ? n : 2); ++i)
        g.fighters[i].energy = 0.0f;
}

std::unique_ptr<SeriesSteps> stepsOf(gameapp& game, const PairRun& run, FightRecorder* recorder) {
    if (run.coop) return std::make_unique<CoopSteps>(game, 1, recorder);
    return std::make_unique<VersusSteps>(game, 1, recorder);
}

// The series with every fight begun near its end, so that a short run goes
// through many: as much part of the state as the fight itself, so rollbacks
// and the machine playing the confirmed keys alone weaken alike. A co-op
// game has each level decided at once instead.
class Series : public SteppedGame {
  public:
    Series(gameapp& game, const PairRun& run, FightRecorder* recorder = nullptr)
        : game_(game), steps_(stepsOf(game, run, recorder)), run_(run) {
        if (!run.coop) beginNearlyBeaten(game);
    }
    void save(int slot) override { steps_->save(slot); }
    void load(int slot) override { steps_->load(slot); }
    void advance(FrameKeys one, FrameKeys two, bool seen) override {
        steps_->advance(one, two, seen);
        if (run_.coop) {
            if (game_.frameCount == run_.decideAfter && game_.matchState == kStateFighting)
                decideLevel(game_, run_.loseAt);
        } else if (run_.shortFights && game_.frameCount == 1) {
            beginNearlyBeaten(game_);
        }
    }
    std::uint64_t hash() override { return steps_->hash(); }
    StateParts parts() override { return steps_->parts(); }
    bool over() const { return steps_->over(); }
    int overAt() const { return steps_->overAt(); }

  private:
    gameapp& game_;
    std::unique_ptr<SeriesSteps> steps_;
    const PairRun& run_;
};

// One machine: its game, its series and its session.
struct Side {
    Side(int side, const PairRun& run, NetLink& link)
        : game(newGame(run.blowPower)),
          steps(std::make_unique<Series>(*game, run)),
          online(link, side == 1) {}
    std::unique_ptr<gameapp> game;
    std::unique_ptr<Series> steps;
    OnlineSession online;
    std::vector<int> sampledAt;  // the display frame that took each frame's local keys
    int typed = 0;               // the characters of the name handed over so far
    int pendingChar = 0;         // one waiting for the local keys to take it
};

// The name as the host types it: in lower case, with a slip taken back.
std::string typing(const PairRun& run) {
    std::string keys;
    for (char c : run.name)
        keys += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return keys + "x\b";
}

// Player 2 confirms a level's summary with Space, player 1 with Enter a
// little later; player 1 types the name, then leaves the game over and the
// table with Enter.
FrameKeys coopKeys(int side, Side& s, const PairRun& run) {
    const gameapp& g = *s.game;
    const int e = g.frameCount - g.stateStartFrame;
    const bool tap = e % 20 < 2;
    if (g.matchState == kStateLevelCompleted) {
        if (side == 2) return e >= 30 && tap ? FrameSpace : 0;
        return e >= 50 && tap ? FrameEnter : 0;
    }
    if (side != 1) return 0;
    if (g.matchState == kStateGameOver) {
        const std::string keys = typing(run);
        if (s.pendingChar == 0 && s.typed < static_cast<int>(keys.size()) && e >= 10 + 4 * s.typed)
            s.pendingChar = keys[static_cast<std::size_t>(s.typed++)];
        return withTyped(e >= 80 && tap ? FrameEnter : 0, s.pendingChar);
    }
    if (g.matchState == kStateHighScores) return e >= 40 && tap ? FrameEnter : 0;
    if (g.matchState != kStateFighting) return 0;
    // In the fight each player goes for the computer's first fighter, jumping now and then.
    const float mine = g.fighters[side].points[kPelvis].x;
    const float theirs = g.fighters[3].points[kPelvis].x;
    FrameKeys keys = mine < theirs ? FrameRight : FrameLeft;
    if (g.frameCount % (side == 1 ? 41 : 29) < 6) keys |= FrameUp;
    return keys;
}

// Each player goes for the other as its own screen shows them, jumping now
// and then, and confirms results; player 1 leaves at the end.
std::uint8_t scriptedKeys(int side, const gameapp& game, int frame, bool leave) {
    if (side == 1 && leave) return FrameEscape;
    const float mine = game.fighters[side].points[kPelvis].x;
    const float theirs = game.fighters[3 - side].points[kPelvis].x;
    // Player 2 stands still at first, so player 1's blows run into combos.
    if (side == 2 && frame < 1200) return frame % 150 < 3 ? FrameEnter : 0;
    std::uint8_t keys = mine < theirs ? FrameRight : FrameLeft;
    if (frame % (side == 1 ? 41 : 29) < 6) keys |= FrameUp;
    if (frame % 150 < 3) keys |= FrameEnter;
    return keys;
}

int fightsEnded(const gameapp& g) { return g.mode == kModeCoop ? g.level : g.wins[1] + g.wins[2]; }

// A watcher: its end of its own network, its session and the game it plays.
struct Watcher {
    Watcher(const PairRun& run, const WatcherRun& w, unsigned seed, std::function<double()> clock)
        : plan(w),
          links(makeMemoryLinks(run.network, seed, std::move(clock))),
          session(*links.b),
          game(newGame(run.blowPower)),
          steps(std::make_unique<Series>(*game, run)),
          player(*steps) {}
    WatcherRun plan;
    MemoryLinks links;
    WatchSession session;
    std::unique_ptr<gameapp> game;
    std::unique_ptr<Series> steps;
    WatchPlayer player;
    WatcherOutcome out;
    bool speaking = false;
    bool left = false;

    // One display frame; false once it has nothing more to do.
    bool frame(int t, int now) {
        if (!speaking || (plan.stallAt >= 0 && t >= plan.stallAt)) return false;
        if (session.end() != WatchEnd::None || left) return false;
        if (player.done(session)) {
            session.sayGoodbye(now);
            left = true;
            return false;
        }
        if (!out.welcomed) {
            out.welcomed = session.handshake(now);
        } else {
            session.listen(now);
            if (!player.frame(session) && player.played() > 0) ++out.shownAgain;
        }
        return true;
    }
};

std::vector<ScoreRow> tableOf(const gameapp& g) {
    std::vector<ScoreRow> rows;
    for (const ScoreEntry& e : g.highScores)
        rows.push_back({e.name, e.score});
    return rows;
}

}  // namespace

PairOutcome playPair(const PairRun& run, WatchedOutcome* watched) {
    double now = 0;
    MemoryLinks links = makeMemoryLinks(run.network, 11, [&now] { return now; });
    Side host(1, run, *links.a), joiner(2, run, *links.b);
    std::array<SideOutcome, 2> out;
    std::array<Side*, 2> sides{&host, &joiner};
    const Unseen unseen;
    // The handshake first, in the same simulated time; the series' seed is the one
    // both Series begin from.
    SeriesStart start;
    start.seed = 1;
    start.coop = run.coop;
    start.table = run.table;
    host.online.offer(start, "");
    WatcherFeed feed;
    feed.offer(start);
    std::vector<std::unique_ptr<Watcher>> watchers;
    WatchedOutcome seen;
    bool ended = false;
    for (std::size_t i = 0; i < run.watchers.size(); ++i)
        watchers.push_back(std::make_unique<Watcher>(
            run, run.watchers[i], static_cast<unsigned>(100 + i), [&now] { return now; }));
    // The host's feed and its watchers, as the host's display frame ends.
    const auto watch = [&](int t) {
        bool busy = false;
        const RollbackSession& r = host.online.rollback();
        for (auto& w : watchers) {
            if (!w->speaking && fightsEnded(*host.game) >= w->plan.afterFights) {
                w->speaking = true;
                w->out.confirmedAtHello = r.confirmed();
                feed.add(std::move(w->links.a), static_cast<int>(now));
            }
            busy = w->frame(t, static_cast<int>(now)) || busy;
        }
        feed.take(r);
        if (host.steps->over() && r.confirmed() >= host.steps->overAt() && !ended) {
            feed.end({SeriesEnd::PlayerOneLeft, host.steps->overAt()});
            seen.watching = feed.watching();
            ended = true;
        }
        feed.poll(static_cast<int>(now));
        return busy;
    };
    bool hostReady = false, joinerReady = false;
    for (int h = 0; h < 600 && !(hostReady && joinerReady); ++h) {
        now = h * 1000.0 / 60.0;
        // Both keep listening until both can start, as two games do.
        hostReady = host.online.handshake(static_cast<int>(now));
        joinerReady = joiner.online.handshake(static_cast<int>(now));
    }
    const double began = now;
    // Each side plays with the table the handshake brought.
    useHostTable(*host.game, host.online.start());
    useHostTable(*joiner.game, joiner.online.start());
    host.online.begin(*host.steps, run.inputDelay);
    joiner.online.begin(*joiner.steps, run.inputDelay);
    int leaveFrom = run.fights > 0 ? -1 : run.frames - 30;
    int t = 0;
    // A series that should end with fights gives up after half an hour.
    for (int end = run.fights > 0 ? 60 * 60 * 30 : run.frames + 200; t < end; ++t) {
        now = began + t * 1000.0 / 60.0;
        if (leaveFrom < 0 && fightsEnded(*host.game) >= run.fights) {
            leaveFrom = host.online.rollback().frame();
            end = t + 230;
        }
        for (int s = 0; s < 2; ++s) {
            if (s == 1 && t < run.joinerLate) continue;
            Side& side = *sides[static_cast<std::size_t>(s)];
            SideOutcome& o = out[static_cast<std::size_t>(s)];
            RollbackSession& session = side.online.rollback();
            const int f = session.frame();
            const FrameKeys keys =
                run.coop ? coopKeys(s + 1, side, run)
                         : scriptedKeys(s + 1, *side.game, f, leaveFrom >= 0 && f >= leaveFrom);
            const int keysBefore = session.localKeysUpTo();
            const double bytesBefore = static_cast<double>(side.online.bytesSent());
            const auto datagramsBefore = side.online.datagramsSent();
            const auto tickStart = std::chrono::steady_clock::now();
            const bool played = side.online.frame(static_cast<int>(now), keys, false);
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - tickStart;
            o.worstTickMicros = std::max(o.worstTickMicros, took.count());
            if (session.localKeysUpTo() > keysBefore) {
                side.pendingChar = 0;
                side.sampledAt.resize(static_cast<std::size_t>(session.localKeysUpTo()) + 1, -1);
                side.sampledAt.back() = t;
            }
            if (played && f < static_cast<int>(side.sampledAt.size()) &&
                side.sampledAt[static_cast<std::size_t>(f)] >= 0) {
                const auto latency =
                    static_cast<std::size_t>(t - side.sampledAt[static_cast<std::size_t>(f)]);
                if (o.keyLatency.size() <= latency) o.keyLatency.resize(latency + 1, 0);
                o.keyLatency[latency] += 1;
            }
            if (s == 1 && run.tamper) run.tamper(*side.game, t);
            // Kept at once: online play stops there.
            const StateParts* parts = session.partsAfter(session.desyncFrame());
            if (parts != nullptr && o.partsAtDesync == StateParts{}) o.partsAtDesync = *parts;
            for (int c = o.confirmed; c < session.confirmed(); ++c) {
                o.one.push_back(session.keysOf(1, c));
                o.two.push_back(session.keysOf(2, c));
            }
            o.confirmed = session.confirmed();
            o.bytesSent += static_cast<double>(side.online.bytesSent()) - bytesBefore;
            o.messagesSent += static_cast<int>(side.online.datagramsSent() - datagramsBefore);
        }
        if (!watchers.empty()) watch(t);
    }
    // The watchers play on to the end, the host's feed with them.
    for (int extra = 0; extra < 60 * 60; ++extra) {
        now = began + (t + extra) * 1000.0 / 60.0;
        if (!watch(t + extra)) break;
    }
    for (auto& w : watchers) {
        WatcherOutcome& o = w->out;
        o.why = w->session.why();
        o.endFrame = w->session.ended() != nullptr ? w->session.ended()->frame : -1;
        o.played = w->player.played();
        o.hash = w->steps->hash();
        for (int f = 0; f < w->session.known(); ++f) {
            o.one.push_back(w->session.keysOf(1, f));
            o.two.push_back(w->session.keysOf(2, f));
        }
        seen.watchers.push_back(o);
    }
    seen.watcherBytes = static_cast<double>(feed.bytesSent());
    seen.watcherDatagrams = static_cast<double>(feed.datagramsSent());
    if (watched != nullptr) *watched = seen;
    const int common = std::min(out[0].confirmed, out[1].confirmed);
    for (int s = 0; s < 2; ++s) {
        Side& side = *sides[static_cast<std::size_t>(s)];
        const RollbackSession& session = side.online.rollback();
        SideOutcome& o = out[static_cast<std::size_t>(s)];
        o.one.resize(static_cast<std::size_t>(common));
        o.two.resize(static_cast<std::size_t>(common));
        o.confirmed = common;
        o.hash = common > 0 ? session.hashAfter(common - 1) : 0;
        o.frames = session.frame();
        o.waits = session.waits();
        o.rollbacks = session.rollbacks();
        o.deepest = session.deepestRollback();
        o.desync = session.desyncFrame();
        o.fights = fightsEnded(*side.game);
        o.table = tableOf(*side.game);
    }
    return {out[0], out[1], t};
}

std::uint64_t playConfirmedKeys(const SideOutcome& o, const PairRun& run, int& fights,
                                FightRecorder* recorder, std::unique_ptr<gameapp>* kept) {
    auto game = newGame(run.blowPower);
    SeriesStart start;
    start.table = run.table;
    useHostTable(*game, start);
    game->scoresToFile = !run.joinersCopy;
    Series steps(*game, run, recorder);
    const Unseen unseen;
    for (std::size_t f = 0; f < o.one.size(); ++f)
        steps.advance(o.one[f], o.two[f], true);
    fights = fightsEnded(*game);
    const std::uint64_t h = steps.hash();
    if (kept != nullptr) *kept = std::move(game);
    return h;
}
