// Watchers of an online series over networks in memory: they end on the
// players' hash from the first frame or from a late start, a stalled one is
// dropped without the players waiting, a ninth and a damaged hello are
// refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "netplay/messages.h"
#include "netplay/protocol.h"
#include "netplay/watchers.h"
#include "runtime/net/memory_link.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/online_pair.h"
#include "tests/support/pair_checks.h"

namespace {

class Watch : public HeadlessTest {};

PairRun watchedRun() {
    PairRun run;
    run.network = {40, 8, 5, 5};
    run.shortFights = true;
    return run;
}

// Played to where the host said the series ended, on the keys the players confirmed.
::testing::AssertionResult sawTheSeries(const WatcherOutcome& w, const SideOutcome& host) {
    if (!w.welcomed || w.endFrame <= 0 || w.played != w.endFrame)
        return ::testing::AssertionFailure()
               << "played " << w.played << " of " << w.endFrame << " (" << w.why << ")";
    const auto upTo = static_cast<std::size_t>(w.endFrame);
    if (w.one.size() < upTo || host.one.size() < upTo ||
        !std::equal(w.one.begin(), w.one.begin() + static_cast<long>(upTo), host.one.begin()) ||
        !std::equal(w.two.begin(), w.two.begin() + static_cast<long>(upTo), host.two.begin()))
        return ::testing::AssertionFailure() << "the keys differ from the players'";
    if (w.hash != host.hash) return ::testing::AssertionFailure() << "the hash differs";
    return ::testing::AssertionSuccess();
}

TEST_F(Watch, FromTheStartAndAfterTwoFightsWatchersEndOnThePlayersHash) {
    PairRun run = watchedRun();
    run.watchers = {{0, -1}, {2, -1}};
    WatchedOutcome watched;
    const PairOutcome out = playPair(run, &watched);
    ASSERT_TRUE(sidesAgree(out.host, out.joiner, 1000));
    ASSERT_EQ(watched.watchers.size(), 2u);
    EXPECT_TRUE(sawTheSeries(watched.watchers[0], out.host));
    EXPECT_TRUE(sawTheSeries(watched.watchers[1], out.host));
    EXPECT_GT(watched.watchers[1].confirmedAtHello, 0);
}

TEST_F(Watch, AStalledWatcherIsDroppedANinthRefusedAndThePlayersNeverWait) {
    PairRun run = watchedRun();
    run.frames = 1200;
    const PairOutcome alone = playPair(run);
    run.watchers.assign(kMaxWatchers + 1, WatcherRun{});
    run.watchers[0].stallAt = 300;
    WatchedOutcome watched;
    const PairOutcome out = playPair(run, &watched);
    EXPECT_EQ(out.host.waits, alone.host.waits);
    EXPECT_EQ(out.joiner.waits, alone.joiner.waits);
    EXPECT_EQ(out.host.hash, alone.host.hash);
    EXPECT_EQ(watched.watching, kMaxWatchers - 1);
    const WatcherOutcome& ninth = watched.watchers.back();
    EXPECT_FALSE(ninth.welcomed);
    EXPECT_NE(ninth.why.find("already has 8 watchers"), std::string::npos) << ninth.why;
    for (int i = 1; i < kMaxWatchers; ++i)
        EXPECT_TRUE(sawTheSeries(watched.watchers[static_cast<std::size_t>(i)], out.host)) << i;
}

TEST(WatcherFeed, ADamagedHelloIsRefusedInWords) {
    double now = 0;
    MemoryLinks links = makeMemoryLinks({}, 3, [&now] { return now; });
    WatcherFeed feed;
    feed.offer(SeriesStart{});
    feed.add(std::move(links.a), 0);
    PeerProtocol watcher(*links.b);
    watcher.sendReliable(std::string(1, MessageWatch) + "\x04", 0);
    Refusal refusal;
    std::string m;
    for (int t = 1; t < 60 && refusal.reason.empty(); ++t) {
        now = t * 17;
        feed.poll(t * 17);
        watcher.poll(t * 17);
        while (watcher.nextReliable(m))
            readRefused(m, refusal);
    }
    EXPECT_EQ(refusal.reason, "the watcher's hello is damaged");
}

}  // namespace
