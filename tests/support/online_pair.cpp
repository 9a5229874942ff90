// Two sides of an online series in one process: the network in memory, the
// scripted players and the measures a side takes of its own play.
#include "tests/support/online_pair.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <random>
#include <string>

#include "app/gameapp.h"
#include "fight/versus_steps.h"
#include "replay/replay.h"
#include "runtime/presentation.h"

namespace {

// One direction of the network: messages arrive after a delay with jitter,
// some are lost and some come twice; jitter reorders them.
class MemoryLink {
  public:
    MemoryLink(const NetworkConditions& n, unsigned seed) : n_(n), random_(seed) {}

    void send(double now, const std::string& bytes) {
        for (int copy = 0; copy < (chance(5) ? 2 : 1); ++copy) {
            if (chance(n_.lossPercent)) continue;
            const int j = n_.jitterMillis > 0
                              ? static_cast<int>(random_() % static_cast<unsigned>(n_.jitterMillis))
                              : 0;
            inFlight_.push_back({now + n_.delayMillis + j, bytes});
        }
    }
    std::vector<std::string> arrived(double now) {
        std::vector<std::string> out;
        for (auto it = inFlight_.begin(); it != inFlight_.end();) {
            if (it->first <= now) {
                out.push_back(it->second);
                it = inFlight_.erase(it);
            } else {
                ++it;
            }
        }
        return out;
    }

  private:
    bool chance(int percent) { return static_cast<int>(random_() % 100) < percent; }
    NetworkConditions n_;
    std::mt19937 random_;
    std::deque<std::pair<double, std::string>> inFlight_;
};

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

// The series with every fight begun near its end, so that a short run goes
// through many: as much part of the state as the fight itself, so rollbacks
// and the machine playing the confirmed keys alone weaken alike.
class Series : public SteppedGame {
  public:
    Series(gameapp& game, bool shortFights, FightRecorder* recorder = nullptr)
        : game_(game), steps_(game, 1, recorder), short_(shortFights) {
        beginNearlyBeaten(game);
    }
    void save(int slot) override { steps_.save(slot); }
    void load(int slot) override { steps_.load(slot); }
    void advance(std::uint8_t one, std::uint8_t two, bool seen) override {
        steps_.advance(one, two, seen);
        if (short_ && game_.frameCount == 1) beginNearlyBeaten(game_);
    }
    std::uint64_t hash() override { return steps_.hash(); }
    StateParts parts() override { return steps_.parts(); }

  private:
    gameapp& game_;
    VersusSteps steps_;
    bool short_;
};

// One machine: its game, its series and its session.
struct Side {
    Side(int side, const PairRun& run)
        : game(newGame(run.blowPower)),
          steps(std::make_unique<Series>(*game, run.shortFights)),
          session(side, run.network.inputDelay) {}
    std::unique_ptr<gameapp> game;
    std::unique_ptr<Series> steps;
    RollbackSession session;
    std::vector<int> sampledAt;  // the display frame that took each frame's local keys
};

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

int fightsEnded(const gameapp& g) { return g.wins[1] + g.wins[2]; }

}  // namespace

PairOutcome playPair(const PairRun& run) {
    Side host(1, run), joiner(2, run);
    MemoryLink toJoiner(run.network, 11), toHost(run.network, 12);
    std::array<SideOutcome, 2> out;
    std::array<Side*, 2> sides{&host, &joiner};
    const Unseen unseen;
    int leaveFrom = run.fights > 0 ? -1 : run.frames - 30;
    int t = 0;
    // A series that should end with fights gives up after half an hour.
    for (int end = run.fights > 0 ? 60 * 60 * 30 : run.frames + 200; t < end; ++t) {
        const double now = t * 1000.0 / 60.0;
        if (leaveFrom < 0 && fightsEnded(*host.game) >= run.fights) {
            leaveFrom = host.session.frame();
            end = t + 230;
        }
        for (int s = 0; s < 2; ++s) {
            if (s == 1 && t < run.joinerLate) continue;
            Side& side = *sides[static_cast<std::size_t>(s)];
            SideOutcome& o = out[static_cast<std::size_t>(s)];
            for (const std::string& bytes : (s == 0 ? toHost : toJoiner).arrived(now)) {
                KeysMessage m;
                if (decodeKeysMessage(bytes, m)) side.session.receive(m);
            }
            const int f = side.session.frame();
            side.session.setLocalKeys(
                scriptedKeys(s + 1, *side.game, f, leaveFrom >= 0 && f >= leaveFrom));
            const int keysBefore = side.session.localKeysUpTo();
            const auto start = std::chrono::steady_clock::now();
            const bool played = side.session.tick(*side.steps);
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            o.worstTickMicros = std::max(o.worstTickMicros, took.count());
            if (side.session.localKeysUpTo() > keysBefore) {
                side.sampledAt.resize(static_cast<std::size_t>(side.session.localKeysUpTo()) + 1,
                                      -1);
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
            const StateParts* parts = side.session.partsAfter(side.session.desyncFrame());
            if (parts != nullptr && o.partsAtDesync == StateParts{}) o.partsAtDesync = *parts;
            for (int c = o.confirmed; c < side.session.confirmed(); ++c) {
                o.one.push_back(side.session.keysOf(1, c));
                o.two.push_back(side.session.keysOf(2, c));
            }
            o.confirmed = side.session.confirmed();
            const std::string message = encodeKeysMessage(side.session.outgoing());
            o.bytesSent += static_cast<double>(message.size());
            o.messagesSent += 1;
            (s == 0 ? toJoiner : toHost).send(now, message);
        }
    }
    const int common = std::min(out[0].confirmed, out[1].confirmed);
    for (int s = 0; s < 2; ++s) {
        const Side& side = *sides[static_cast<std::size_t>(s)];
        SideOutcome& o = out[static_cast<std::size_t>(s)];
        o.one.resize(static_cast<std::size_t>(common));
        o.two.resize(static_cast<std::size_t>(common));
        o.confirmed = common;
        o.hash = side.session.hashAfter(common - 1);
        o.frames = side.session.frame();
        o.waits = side.session.waits();
        o.rollbacks = side.session.rollbacks();
        o.deepest = side.session.deepestRollback();
        o.desync = side.session.desyncFrame();
        o.fights = fightsEnded(*side.game);
    }
    return {out[0], out[1], t};
}

std::uint64_t playConfirmedKeys(const SideOutcome& o, const PairRun& run, int& fights,
                                FightRecorder* recorder) {
    auto game = newGame(run.blowPower);
    Series steps(*game, run.shortFights, recorder);
    const Unseen unseen;
    for (std::size_t f = 0; f < o.one.size(); ++f)
        steps.advance(o.one[f], o.two[f], true);
    fights = fightsEnded(*game);
    return steps.hash();
}
