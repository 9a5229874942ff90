// One side of an online series, the real screens on the headless platform,
// against another side over a network in memory: a well-behaved one, and one
// that sends what a game of this build never would. And two sessions alone:
// pause on both sides at once, silence that passes, keys messages at the
// edge of their ranges.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>

#include "app/gameapp.h"
#include "fight/hash.h"
#include "fight/simulation_version.h"
#include "fight/versus_steps.h"
#include "netplay/online.h"
#include "netplay/session.h"
#include "replay/format.h"
#include "replay/replay.h"
#include "runtime/files.h"
#include "runtime/input.h"
#include "runtime/net/memory_link.h"
#include "runtime/presentation.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

// The game's end of the network, where the other side acts each time the game listens.
class PeerLink : public NetLink {
  public:
    explicit PeerLink(NetLink& inner) : inner_(inner) {}
    std::function<void()> onListen;
    void send(const std::string& datagram) override { inner_.send(datagram); }
    bool receive(std::vector<std::string>& datagrams) override {
        // A game that never ends its series fails the test instead of hanging it.
        if (++listens_ < 40000 && onListen) onListen();
        return inner_.receive(datagrams);
    }

  private:
    NetLink& inner_;
    int listens_ = 0;
};

// Another game of this build: its own series, stepped by its own session.
struct PeerGame {
    PeerGame(NetLink& link, bool host) : game(std::make_unique<gameapp>()), session(link, host) {
        game->setDefaultSettings();
        game->fillDefaultScores();
        if (host) session.offer(SeriesStart{{1, 4, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 3}, 7}, "");
    }
    // One display frame; keys(frame) gives its keys once the series runs.
    void act(const std::function<std::uint8_t(int)>& keys, bool pause = false,
             int now = clockMillis()) {
        if (!steps) {
            if (!session.handshake(now)) return;
            steps = std::make_unique<VersusSteps>(*game, session.start().seed);
            session.begin(*steps, 2);
        }
        const Unseen unseen;
        session.frame(now, keys(session.rollback().frame()), pause);
    }
    std::unique_ptr<gameapp> game;
    std::unique_ptr<VersusSteps> steps;
    OnlineSession session;
};

class Online : public HeadlessTest {
  protected:
    Online()
        : links_(makeMemoryLinks({0, 0, 0, 0}, 3, [] { return clockMillis(); })), link_(*links_.a) {
        const char* data = std::getenv("XDG_DATA_HOME");
        if (data != nullptr) previousData_ = data;
        setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
        allowSaving(false);
    }
    ~Online() override {
        allowSaving(true);
        if (previousData_.empty()) {
            unsetenv("XDG_DATA_HOME");
        } else {
            setenv("XDG_DATA_HOME", previousData_.c_str(), 1);
        }
    }
    // The status, and what the game said on stderr.
    std::pair<int, std::string> play(bool host, int blood = 3) {
        std::unique_ptr<gameapp> game = openFightWindow();
        game->blood = blood;
        startKeyFeed();
        testing::internal::CaptureStderr();
        const int status = playOverLink(std::move(game), link_, host, 2);
        return {status, testing::internal::GetCapturedStderr()};
    }
    // The newest recording, played again.
    ReplayRun replayNewest(Replay& replay) {
        const std::string newest = newestReplay(dir_.path() + "/flailwick/replays");
        EXPECT_EQ(loadReplay(newest, replay), "") << newest;
        auto again = std::make_unique<gameapp>();
        return playRecordedFight(*again, replay);
    }
    // The fight in progress, recorded up to where it was cut, plays again.
    void expectCutFightKept(int atLeastFrames) {
        Replay replay;
        const ReplayRun run = replayNewest(replay);
        EXPECT_TRUE(run.ok) << run.why;
        EXPECT_EQ(replay.result, kResultCut);
        EXPECT_GE(replay.frames, atLeastFrames);
    }
    NetLink& peerEnd() { return *links_.b; }

    TempDir dir_;
    std::string previousData_;
    MemoryLinks links_;
    PeerLink link_;
};

TEST_F(Online, SettingsOutOfRangeAreRefusedOnBothSidesWithTheSettingNamed) {
    // A host whose BLOOD would overflow the game's arithmetic.
    PeerProtocol host(peerEnd());
    std::string refusal;
    const auto listen = [&] {
        host.poll(clockMillis());
        std::string m;
        Versions v;
        Refusal r;
        while (host.nextReliable(m)) {
            if (readHello(m, v)) {
                SeriesStart start{{1, 4, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 999999999}, 7};
                host.sendReliable(welcomeMessage({kOnlineProtocol, kSimulationVersion}, start),
                                  clockMillis());
            }
            if (readRefused(m, r)) refusal = r.reason;
        }
    };
    link_.onListen = listen;
    const auto [joinerStatus, joinerSaid] = play(false);
    listen();
    EXPECT_EQ(joinerStatus, 1);
    const std::string named = "BLOOD is 999999999, outside 0 to 5";
    EXPECT_NE(joinerSaid.find(named), std::string::npos) << joinerSaid;
    EXPECT_NE(refusal.find(named), std::string::npos) << refusal;

    // This side hosting with its own setting out of range: said at once.
    const auto [hostStatus, hostSaid] = play(true, 99);
    EXPECT_EQ(hostStatus, 1);
    EXPECT_NE(hostSaid.find("BLOOD is 99, outside 0 to 5"), std::string::npos) << hostSaid;
    EXPECT_NE(hostSaid.find("OPTIONS"), std::string::npos) << hostSaid;
}

TEST_F(Online, AJoinerOfAnotherVersionIsRefusedWithBothVersionsNamed) {
    PeerProtocol joiner(peerEnd());
    const std::uint64_t other = kSimulationVersion ^ 0x10;
    bool refused = false;
    const auto listen = [&] {
        if (clockMillis() > 0 && !joiner.heardAnything() && joiner.bytesSent() == 0)
            joiner.sendReliable(helloMessage({kOnlineProtocol, other}), clockMillis());
        joiner.poll(clockMillis());
        std::string m;
        Refusal r;
        while (joiner.nextReliable(m))
            refused = refused || readRefused(m, r);
    };
    link_.onListen = listen;
    const auto [status, said] = play(true);
    listen();
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("the other player's game is version " + std::to_string(kOnlineProtocol) +
                        "/" + hashText(other) + ", this one"),
              std::string::npos)
        << said;
    EXPECT_TRUE(refused);
}

TEST_F(Online, ClosingTheWindowSaysGoodbyeAndKeepsTheFightPlayedSoFar) {
    PeerGame peer(peerEnd(), false);
    link_.onListen = [&] { peer.act([](int) { return FrameRight; }); };
    headless.closeWindowAt(200);
    const auto [status, said] = play(true);
    EXPECT_EQ(status, 0);
    EXPECT_NE(said.find("You left the series"), std::string::npos) << said;
    // The other side hears it at once, not after seconds of silence.
    peer.act([](int) { return 0; });
    EXPECT_EQ(peer.session.end(), SessionEnd::PeerLeft);
    expectCutFightKept(100);
}

TEST_F(Online, ALostConnectionIsSaidAfterThreeSecondsAndTheFightIsKept) {
    PeerGame peer(peerEnd(), false);
    int lastHeard = -1;
    link_.onListen = [&] {
        if (peer.steps && peer.session.rollback().frame() >= 150) return;
        peer.act([](int f) { return f % 40 < 20 ? FrameLeft : FrameUp; });
        lastHeard = clockMillis();
    };
    const auto [status, said] = play(true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("Connection lost"), std::string::npos) << said;
    const int lostAt = clockMillis() - 2500;  // the message stays up 2.5 s
    EXPECT_GE(lostAt - lastHeard, kLostMillis);
    EXPECT_LT(lostAt - lastHeard, kLostMillis + 100);
    expectCutFightKept(140);
}

TEST_F(Online, EscOnTheOtherSideEndsTheSeriesAndItsFightVerifies) {
    PeerGame peer(peerEnd(), false);
    link_.onListen = [&] { peer.act([](int f) { return f >= 300 ? FrameEscape : FrameLeft; }); };
    const auto [status, said] = play(true);
    EXPECT_EQ(status, 0);
    EXPECT_NE(said.find("The other player left"), std::string::npos) << said;
    Replay replay;
    const ReplayRun run = replayNewest(replay);
    EXPECT_TRUE(run.ok) << run.why;
    EXPECT_EQ(replay.result, 3);
}

TEST_F(Online, SidesThatPartAreStoppedAndTheReportNamesTheFirstPartThatDiffers) {
    PeerGame peer(peerEnd(), false);
    bool sentParts = false;
    link_.onListen = [&] {
        peer.act([](int) { return FrameUp; });
        if (!peer.steps) return;
        RollbackSession& r = peer.session.rollback();
        // A knock the other side never saw: its energy parts from this side's.
        if (r.frame() == 30) peer.game->fighters[2].energy -= 1.0f;
        const StateParts* parts = r.partsAfter(r.desyncFrame());
        if (parts != nullptr && !sentParts) {
            peer.session.sendParts(r.desyncFrame(), *parts, clockMillis());
            sentParts = true;
        }
    };
    const auto [status, said] = play(true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("Desync at frame 59"), std::string::npos) << said;
    const std::string report = fileBytes(dir_.path() + "/flailwick/replays/desync-frame-59.txt");
    const std::string part = hashFightParts(gameapp())[3].name;
    const std::size_t marked = report.find("<- the first that differs");
    ASSERT_NE(marked, std::string::npos) << report;
    EXPECT_EQ(report.rfind('\n', marked) + 1, report.find(part + " ")) << report;
    EXPECT_EQ(report.find("<- the first", marked + 1), std::string::npos);
}

// Two sessions in one process, each stepping its own series.
class TwoSessions : public HeadlessTest {
  protected:
    TwoSessions()
        : links_(makeMemoryLinks({20, 0, 0, 0}, 5, [this] { return now_; })),
          host_(*links_.a, true),
          joiner_(*links_.b, false) {
        host_.session.offer(SeriesStart{{1, 4, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 3}, 7}, "");
    }
    // Display frames on both sides, or on the host alone.
    void run(int frames, bool joinerToo = true, bool hostPause = false, bool joinerPause = false) {
        for (int i = 0; i < frames; ++i) {
            now_ += 1000.0 / 60.0;
            const auto keys = [](int) { return FrameRight; };
            host_.act(keys, hostPause && i == 0, now());
            if (joinerToo) joiner_.act(keys, joinerPause && i == 0, now());
        }
    }
    int now() const { return static_cast<int>(now_); }

    double now_ = 0;
    MemoryLinks links_;
    PeerGame host_, joiner_;
};

TEST_F(TwoSessions, POnBothSidesAtOncePausesOnceAndSilenceIsInterruptedUntilKeysReturn) {
    run(120);
    ASSERT_TRUE(host_.steps && joiner_.steps);
    run(30, true, true, true);
    EXPECT_TRUE(host_.session.paused());
    EXPECT_TRUE(joiner_.session.paused());
    const int stood = host_.session.rollback().frame();
    run(30);
    EXPECT_EQ(host_.session.rollback().frame(), stood);
    run(30, true, false, true);  // one side's P goes on for both
    EXPECT_FALSE(host_.session.paused());
    EXPECT_FALSE(joiner_.session.paused());

    run(40, false);  // the joiner says nothing for 667 ms
    EXPECT_FALSE(host_.session.interrupted(now()));
    run(10, false);
    EXPECT_TRUE(host_.session.interrupted(now()));
    run(5);
    EXPECT_FALSE(host_.session.interrupted(now()));
    EXPECT_EQ(host_.session.end(), SessionEnd::None);
    EXPECT_GT(host_.session.rollback().frame(), stood + 20);
}

TEST(TimeSync, LeadsFromTheWireAtTheEdgeOfTheirRangeStayBounded) {
    TimeSync sync;
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(sync.average(3 * kMaxFrame),
                  i + 1 >= TimeSync::kTicks ? TimeSync::kMaxLead
                                            : TimeSync::kMaxLead * (i + 1) / TimeSync::kTicks);
    for (int i = 0; i < TimeSync::kTicks; ++i)
        sync.average(-3 * kMaxFrame);
    EXPECT_EQ(sync.average(-3 * kMaxFrame), -TimeSync::kMaxLead);
    EXPECT_EQ(inputDelayFor(80), 1);
    EXPECT_EQ(inputDelayFor(81), 2);
    EXPECT_EQ(inputDelayFor(220), 3);
    EXPECT_EQ(inputDelayFor(221), 4);
    EXPECT_EQ(inputDelayFor(290), 4);
    EXPECT_EQ(inputDelayFor(291), 5);
    EXPECT_EQ(inputDelayFor(100000), kMaxInputDelay);
}

}  // namespace
