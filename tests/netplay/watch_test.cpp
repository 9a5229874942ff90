// Watchers of an online series over networks in memory: they end on the
// players' hash from the first frame or from a late start, a stalled one is
// dropped without the players waiting, a ninth and a damaged hello are
// refused. And the host's port over the loopback, where each finds its place.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "netplay/messages.h"
#include "netplay/protocol.h"
#include "netplay/session.h"
#include "netplay/watch_session.h"
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

int steadyMillis() {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count() %
                            (1 << 30));
}

TEST(HostDoor, AStrangerWhoWritesFirstTakesNoPlaceThePlayerAndAWatcherFindTheirs) {
    std::string error;
    std::unique_ptr<UdpHub> hub;
    int port = 0;
    for (int tries = 0; !hub && tries < 20; ++tries) {
        port = 30000 + (getpid() * 7 + tries * 131) % 20000;
        hub = hubOnPort(port, kHubAddresses, error);
    }
    ASSERT_TRUE(hub) << error;
    WatcherFeed feed;
    feed.offer(SeriesStart{});
    HostDoor door(std::move(hub), feed, steadyMillis);
    OnlineSession host(door, true);
    host.offer(SeriesStart{}, "");
    const std::unique_ptr<NetLink> stranger = joinAt("127.0.0.1", port, error);
    const std::unique_ptr<NetLink> joinerLink = joinAt("127.0.0.1", port, error);
    const std::unique_ptr<NetLink> watcherLink = joinAt("127.0.0.1", port, error);
    ASSERT_TRUE(stranger && joinerLink && watcherLink) << error;
    stranger->send("not a game");
    OnlineSession joiner(*joinerLink, false);
    WatchSession watcher(*watcherLink);
    bool hostReady = false, joinerReady = false, watching = false;
    const int began = steadyMillis();
    while (!(hostReady && joinerReady && watching) && steadyMillis() - began < 10000) {
        const int now = steadyMillis();
        stranger->send("still not a game");
        hostReady = host.handshake(now) || hostReady;
        joinerReady = joiner.handshake(now) || joinerReady;
        watching = watcher.handshake(now) || watching;
        feed.poll(now);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(hostReady && joinerReady) << host.why() << joiner.why();
    EXPECT_TRUE(watching) << watcher.why();
    EXPECT_EQ(feed.watching(), 1);
}

}  // namespace
