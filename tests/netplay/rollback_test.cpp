// Two rollback sessions over lossy links confirm the fight one machine plays, and their messages
// refuse garbage.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "app/gameapp.h"
#include "fight/hash.h"
#include "fight/versus_steps.h"
#include "netplay/rollback.h"
#include "replay/replay.h"
#include "runtime/presentation.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/online_pair.h"
#include "tests/support/pair_checks.h"

namespace {

class Rollback : public HeadlessTest {};

TEST_F(Rollback, ASideThatHearsNothingGuessesEightFramesAndWaits) {
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    VersusSteps steps(*game, 1);
    RollbackSession host(1, 2, steps);
    const Unseen unseen;
    for (int t = 0; t < 100; ++t) {
        host.setLocalKeys(FrameRight);
        host.tick();
    }
    EXPECT_EQ(host.frame(), kMaxPredicted);
    EXPECT_EQ(host.confirmed(), 0);
    EXPECT_EQ(host.waits(), 100 - kMaxPredicted);
    // Its own keys wait with it: frames 0 to the input delay past the last played.
    EXPECT_EQ(host.outgoing().count, kMaxPredicted + 2 + 1);

    // A tap of Esc while it waits is not lost: the next keys it takes have it.
    host.setLocalKeys(FrameRight | FrameEscape);
    host.tick();
    KeysMessage heard;
    heard.count = 20;
    heard.frame = 20;
    host.receive(heard);
    for (int t = 0; t < 2; ++t) {
        host.setLocalKeys(FrameRight);
        host.tick();
    }
    EXPECT_EQ(host.keysOf(1, kMaxPredicted + 2), FrameRight);
    EXPECT_EQ(host.keysOf(1, kMaxPredicted + 3), FrameRight | FrameEscape);
    EXPECT_EQ(host.keysOf(1, kMaxPredicted + 4), 0);
}

TEST_F(Rollback, ASideAheadGivesUpFramesUntilTheTwoMeet) {
    PairRun run;
    run.network = {50, 8, 5};
    run.frames = 400;
    run.joinerLate = 120;
    const auto [host, joiner, displayed] = playPair(run);
    // The host played its eight guessed frames and waited for the joiner,
    // then gave up frames until neither was ahead.
    EXPECT_LE(std::abs(host.frames - joiner.frames), 1);
    EXPECT_GE(host.waits, 120 - kMaxPredicted + 6);
    // The joiner, behind all along, gives up no more than the odd frame the
    // averaged lead overshoots by: the two do not swing about each other.
    EXPECT_LE(joiner.waits, 4);
    EXPECT_LE(host.waits, 120 - kMaxPredicted + 16);
}

TEST_F(Rollback, StatesThatPartBothSidesSayWhere) {
    // The joiner's tally miscounted at one moment, as a fault would.
    PairRun run;
    run.network = {50, 8, 5};
    run.frames = 700;
    run.tamper = [](gameapp& g, int t) {
        if (t == 300) g.wins[2] += 1;
    };
    const auto [host, joiner, displayed] = playPair(run);
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

TEST_F(Rollback, TwoSidesOverBadLinksConfirmTheSameSeriesAsOneMachinePlays) {
    // One way 0, 50 and 125 ms: round trips of 0, 100 and 250 ms.
    const NetworkConditions links[] = {{0, 0, 0}, {50, 8, 5}, {125, 20, 20}};
    for (const NetworkConditions& l : links) {
        PairRun run;
        run.network = l;
        run.shortFights = true;
        const auto [host, joiner, displayed] = playPair(run);
        SCOPED_TRACE(testing::Message()
                     << "one way " << l.delayMillis << " ms, loss " << l.lossPercent << " %");
        ASSERT_TRUE(sidesAgree(host, joiner, 2000));
        int fights = 0;
        EXPECT_EQ(playConfirmedKeys(host, run, fights), host.hash);
        EXPECT_GE(fights, 3);
        EXPECT_LE(std::max(host.deepest, joiner.deepest), kMaxPredicted);
        if (l.lossPercent > 0) {
            EXPECT_GT(host.deepest, 0);
        }
        std::printf("link %d ms: %d frames confirmed, %d fights, rollbacks up to %d frames\n",
                    l.delayMillis, host.confirmed, fights, std::max(host.deepest, joiner.deepest));
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
    ASSERT_TRUE(decodeKeysMessage(good, back));
    EXPECT_EQ(encodeKeysMessage(back), good);
    EXPECT_EQ(back.hashFrame, 59);
    EXPECT_EQ(back.received, 118);

    // A key held all along travels as one key and a count.
    KeysMessage held = m;
    held.count = KeysMessage::kMaxKeys;
    held.keys.fill(FrameRight | FrameUp);
    held.hashFrame = -1;
    const std::string few = encodeKeysMessage(held);
    EXPECT_LE(few.size(), 10u);
    ASSERT_TRUE(decodeKeysMessage(few, back));
    EXPECT_EQ(back.keys, held.keys);
    EXPECT_EQ(back.hashFrame, -1);

    // A character typed with the keys travels with them; a versus message,
    // typing nothing, stays as it was.
    KeysMessage typed = held;
    typed.keys[20] = withTyped(FrameEnter, 'q');
    typed.keys[21] = withTyped(0, 8);
    ASSERT_TRUE(decodeKeysMessage(encodeKeysMessage(typed), back));
    EXPECT_EQ(back.keys, typed.keys);
    EXPECT_EQ(typedIn(back.keys[21]), 8);
    EXPECT_GT(encodeKeysMessage(typed).size(), few.size() + 3);
    std::string untypable = encodeKeysMessage(typed);
    const std::size_t q = untypable.find('q');
    ASSERT_NE(q, std::string::npos);
    untypable[q] = '\x01';
    EXPECT_FALSE(decodeKeysMessage(untypable, back));

    std::string tooMany = good;
    tooMany[2] = static_cast<char>(KeysMessage::kMaxKeys + 1);
    std::string runPastCount = good;
    runPastCount[5] = static_cast<char>(0x80);
    KeysMessage far = m;
    far.firstFrame = 1 << 27;
    KeysMessage hashAhead = m;
    hashAhead.hashFrame = m.frame + 1;
    std::mt19937 random(5);
    std::string noise(64, 0);
    for (char& c : noise)
        c = static_cast<char>(random());
    for (const std::string& bytes :
         {std::string(), good.substr(0, good.size() - 1), good + "x", tooMany, runPastCount,
          encodeKeysMessage(far), encodeKeysMessage(hashAhead),
          std::string("K\xff\xff\xff\xff\xff\x01"), noise}) {
        EXPECT_FALSE(decodeKeysMessage(bytes, back));
    }
}

}  // namespace
