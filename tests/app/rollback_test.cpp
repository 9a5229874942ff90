// Two rollback sessions over lossy links confirm the fight one machine plays, and their messages
// refuse garbage.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "app/fight_hash.h"
#include "app/gameapp.h"
#include "app/online_versus.h"
#include "app/replay.h"
#include "app/rollback.h"
#include "runtime/presentation.h"
#include "tests/support/headless_fixture.h"

namespace {

// One direction of a network: messages arrive after a delay with jitter, some
// are lost and some come twice; jitter reorders them.
class Link {
  public:
    Link(int delayMillis, int jitterMillis, int lossPercent, unsigned seed)
        : delay_(delayMillis), jitter_(jitterMillis), loss_(lossPercent), random_(seed) {}

    void send(double now, const std::string& bytes) {
        for (int copy = 0; copy < (chance(5) ? 2 : 1); ++copy) {
            if (chance(loss_)) continue;
            const int j =
                jitter_ > 0 ? static_cast<int>(random_() % static_cast<unsigned>(jitter_)) : 0;
            inFlight_.push_back({now + delay_ + j, bytes});
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
    int delay_, jitter_, loss_;
    std::mt19937 random_;
    std::deque<std::pair<double, std::string>> inFlight_;
};

// One machine: its game, its series and its session.
struct Side {
    Side(int side, int delay) : game(std::make_unique<gameapp>()), session(side, delay) {
        game->setDefaultSettings();
        game->fillDefaultScores();
        steps = std::make_unique<VersusSteps>(*game, 1);
        weakenFirstFight(*game);
    }
    // The first fight is near its end, so the series goes on to the next one.
    static void weakenFirstFight(gameapp& g) {
        g.fighters[1].energy = 1.0f;
        g.fighters[2].energy = 1.0f;
    }
    std::unique_ptr<gameapp> game;
    std::unique_ptr<VersusSteps> steps;
    RollbackSession session;
};

// Each player goes for the other as its own screen shows them, jumping now
// and then, and confirms results; player 1 leaves at the end.
std::uint8_t scriptedKeys(int side, const gameapp& game, int frame, int frames) {
    if (side == 1 && frame >= frames - 30) return FrameEscape;
    const float mine = game.fighters[side].points[kPelvis].x;
    const float theirs = game.fighters[3 - side].points[kPelvis].x;
    // Player 2 stands still at first, so player 1's blows run into combos.
    if (side == 2 && frame < frames / 2) return frame % 150 < 3 ? FrameEnter : 0;
    std::uint8_t keys = mine < theirs ? FrameRight : FrameLeft;
    if (frame % (side == 1 ? 41 : 29) < 6) keys |= FrameUp;
    if (frame % 150 < 3) keys |= FrameEnter;
    return keys;
}

struct Outcome {
    int confirmed = 0;
    std::vector<std::uint8_t> one, two;  // confirmed keys, by frame
    std::uint64_t hash = 0;              // after the last confirmed frame both have
    int deepest = 0;
    int desync = -1;
    double bytesSent = 0;  // the messages' own bytes, without the transport's
    StateParts partsAtDesync{};
};

// Both sides over the two links for `frames` display frames at 60 a second.
// `tamper`, when given, runs on the joiner's game after each display frame.
std::pair<Outcome, Outcome> playOnline(int delayMillis, int jitterMillis, int loss, int frames,
                                       const std::function<void(gameapp&, int)>& tamper = {}) {
    Side host(1, 2), joiner(2, 2);
    Link toJoiner(delayMillis, jitterMillis, loss, 11), toHost(delayMillis, jitterMillis, loss, 12);
    std::array<Outcome, 2> out;
    std::array<Side*, 2> sides{&host, &joiner};
    const Unseen unseen;
    for (int t = 0; t < frames + 200; ++t) {
        const double now = t * 1000.0 / 60.0;
        for (int s = 0; s < 2; ++s) {
            Side& side = *sides[static_cast<std::size_t>(s)];
            Link& in = s == 0 ? toHost : toJoiner;
            for (const std::string& bytes : in.arrived(now)) {
                KeysMessage m;
                if (decodeKeysMessage(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size(), m))
                    side.session.receive(m);
            }
            side.session.setLocalKeys(
                scriptedKeys(s + 1, *side.game, side.session.frame(), frames));
            side.session.tick(*side.steps);
            if (s == 1 && tamper) tamper(*side.game, t);
            // Kept at once: online play stops there.
            const StateParts* parts = side.session.partsAfter(side.session.desyncFrame());
            if (parts != nullptr && out[static_cast<std::size_t>(s)].partsAtDesync == StateParts{})
                out[static_cast<std::size_t>(s)].partsAtDesync = *parts;
            Outcome& o = out[static_cast<std::size_t>(s)];
            for (int f = o.confirmed; f < side.session.confirmed(); ++f) {
                o.one.push_back(side.session.keysOf(1, f));
                o.two.push_back(side.session.keysOf(2, f));
            }
            o.confirmed = side.session.confirmed();
            const std::string message = encodeKeysMessage(side.session.outgoing());
            o.bytesSent += static_cast<double>(message.size());
            (s == 0 ? toJoiner : toHost).send(now, message);
        }
    }
    const int common = std::min(out[0].confirmed, out[1].confirmed);
    for (int s = 0; s < 2; ++s) {
        out[static_cast<std::size_t>(s)].hash =
            sides[static_cast<std::size_t>(s)]->session.hashAfter(common - 1);
        out[static_cast<std::size_t>(s)].deepest =
            sides[static_cast<std::size_t>(s)]->session.deepestRollback();
        out[static_cast<std::size_t>(s)].desync =
            sides[static_cast<std::size_t>(s)]->session.desyncFrame();
    }
    return {out[0], out[1]};
}

// The same keys on one machine, no guessing: the hash after `frames` frames.
// The fights are recorded as the game records any.
std::uint64_t playOffline(const Outcome& o, int frames, int& fights, FightRecorder& recorder) {
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    game->fillDefaultScores();
    VersusSteps steps(*game, 1, &recorder);
    Side::weakenFirstFight(*game);
    const Unseen unseen;
    for (int f = 0; f < frames; ++f)
        steps.advance(o.one[static_cast<std::size_t>(f)], o.two[static_cast<std::size_t>(f)], true);
    fights = game->wins[1] + game->wins[2];
    return steps.hash();
}

class Rollback : public HeadlessTest {};

TEST_F(Rollback, ASideThatHearsNothingGuessesEightFramesAndWaits) {
    Side host(1, 2);
    const Unseen unseen;
    for (int t = 0; t < 100; ++t) {
        host.session.setLocalKeys(FrameRight);
        host.session.tick(*host.steps);
    }
    EXPECT_EQ(host.session.frame(), kMaxPredicted);
    EXPECT_EQ(host.session.confirmed(), 0);
    EXPECT_EQ(host.session.waits(), 100 - kMaxPredicted);
    // Its own keys wait with it: frames 0 to the input delay past the last played.
    EXPECT_EQ(host.session.outgoing().count, kMaxPredicted + 2 + 1);
}

TEST_F(Rollback, StatesThatPartBothSidesSayWhere) {
    // The joiner's tally miscounted at one moment, as a fault would.
    const auto [host, joiner] = playOnline(50, 8, 5, 700, [](gameapp& g, int t) {
        if (t == 300) g.wins[2] += 1;
    });
    EXPECT_GE(host.desync, 240);
    EXPECT_LE(host.desync, 419);
    EXPECT_EQ(host.desync, joiner.desync);
    // The first part that differs is the one the fault was in.
    std::size_t first = 0;
    while (first < kStateParts && host.partsAtDesync[first] == joiner.partsAtDesync[first])
        ++first;
    ASSERT_LT(first, static_cast<std::size_t>(kStateParts));
    EXPECT_STREQ(hashFightParts(*std::make_unique<gameapp>())[first].name, "tally");
}

TEST_F(Rollback, TwoSidesOverBadLinksConfirmTheSameFightAsOneMachinePlays) {
    const struct { int delay, jitter, loss; } links[] = {{0, 0, 0}, {50, 8, 5}, {125, 20, 20}};
    for (const auto& l : links) {
        const auto [host, joiner] = playOnline(l.delay, l.jitter, l.loss, 2400);
        SCOPED_TRACE(testing::Message() << "one way " << l.delay << " ms, loss " << l.loss << " %");
        EXPECT_EQ(host.desync, -1);
        EXPECT_EQ(joiner.desync, -1);
        const int common = std::min(host.confirmed, joiner.confirmed);
        ASSERT_GT(common, 2000);
        for (int f = 0; f < common; ++f) {
            ASSERT_EQ(host.one[static_cast<std::size_t>(f)],
                      joiner.one[static_cast<std::size_t>(f)])
                << f;
            ASSERT_EQ(host.two[static_cast<std::size_t>(f)],
                      joiner.two[static_cast<std::size_t>(f)])
                << f;
        }
        EXPECT_EQ(host.hash, joiner.hash);
        int fights = 0;
        FightRecorder recorder("");
        EXPECT_EQ(playOffline(host, common, fights, recorder), host.hash);
        EXPECT_GE(fights, 1);
        // The last fight, left with Esc, plays again from its recording.
        auto again = std::make_unique<gameapp>();
        const Unseen unseen;
        const ReplayRun run = playRecordedFight(*again, recorder.lastFight());
        EXPECT_TRUE(run.ok) << run.why;
        EXPECT_EQ(recorder.lastFight().result, 3);
        EXPECT_LE(host.deepest, kMaxPredicted);
        EXPECT_LE(joiner.deepest, kMaxPredicted);
        if (l.loss > 0) {
            EXPECT_GT(host.deepest, 0);
        }
        std::printf(
            "link %d ms: %d frames confirmed, %d fights won, rollbacks up to %d frames, "
            "%.0f bytes a second of messages\n",
            l.delay, common, fights, std::max(host.deepest, joiner.deepest),
            host.bytesSent * 60.0 / (2400 + 200));
    }
}

}  // namespace

namespace {

TEST(KeysMessages, GarbageAndDamagedMessagesAreRefused) {
    KeysMessage m;
    m.firstFrame = 120;
    m.count = 3;
    m.keys = {FrameUp, FrameLeft | FrameEnter, 0};
    m.received = 118;
    m.frame = 124;
    m.hashFrame = 59;
    m.hash = 0x0123456789abcdefull;
    const std::string good = encodeKeysMessage(m);
    KeysMessage back;
    ASSERT_TRUE(
        decodeKeysMessage(reinterpret_cast<const std::uint8_t*>(good.data()), good.size(), back));
    EXPECT_EQ(encodeKeysMessage(back), good);

    std::string badKey = good;
    badKey[9] = static_cast<char>(0x80);
    std::string tooMany = good;
    tooMany[8] = static_cast<char>(KeysMessage::kMaxKeys + 1);
    std::string farFrame = good;
    farFrame[7] = 0x7F;
    std::mt19937 random(5);
    std::string noise(64, 0);
    for (char& c : noise)
        c = static_cast<char>(random());
    for (const std::string& bytes : {std::string(), good.substr(0, good.size() - 1), good + "x",
                                     badKey, tooMany, farFrame, noise}) {
        EXPECT_FALSE(decodeKeysMessage(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size(), back));
    }
}

}  // namespace
