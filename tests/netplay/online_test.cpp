// One side of an online series against a scripted other side: versions that
// differ, a connection gone silent, pause on either side, leaving, and the
// report of two sides that parted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <utility>

#include "app/gameapp.h"
#include "fight/hash.h"
#include "fight/simulation_version.h"
#include "netplay/online.h"
#include "netplay/rollback.h"
#include "replay/format.h"
#include "replay/replay.h"
#include "runtime/files.h"
#include "runtime/input.h"
#include "runtime/net/link.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

std::string versionMessage(char tag, std::uint32_t protocol, std::uint64_t simulation) {
    std::string m(1, tag);
    for (int i = 0; i < 12; ++i) {
        const std::uint64_t v = i < 4 ? protocol : simulation;
        m.push_back(static_cast<char>((v >> (8 * (i < 4 ? i : i - 4))) & 0xFFu));
    }
    return m;
}

// The other machine as a script, run each time the game listens.
class ScriptedPeer : public NetLink {
  public:
    std::function<void(ScriptedPeer&)> onListen;
    std::vector<std::pair<std::string, bool>> sent;  // by the game, and whether reliably
    std::vector<std::string> inbox;                  // for the game, at its next listen
    bool open = true;
    int hashFrame = -1;  // what this side claims of its confirmed frames
    std::uint64_t hash = 0;

    void send(const std::string& bytes, bool reliable) override {
        sent.emplace_back(bytes, reliable);
    }
    bool receive(std::vector<std::string>& messages) override {
        // A game that never ends its series fails the test instead of hanging it.
        if (++listens_ > 20000) open = false;
        if (onListen && open) onListen(*this);
        if (!inbox.empty()) heard_ = clockMillis();
        messages.insert(messages.end(), inbox.begin(), inbox.end());
        inbox.clear();
        return open;
    }
    int silentMillis() const override { return clockMillis() - heard_; }
    void flush() override {}

    // The game's newest frame, as its last keys message says.
    int gameFrame() const {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
            KeysMessage m;
            if (decodeKeysMessage(it->first, m)) return m.frame;
        }
        return 0;
    }
    bool sentReliably(char tag) const {
        return std::any_of(sent.begin(), sent.end(),
                           [&](const auto& m) { return m.second && m.first[0] == tag; });
    }
    // This side plays its next frame with these keys.
    void playFrame(std::uint8_t keys) {
        keys_.push_back(keys);
        KeysMessage m;
        const int frames = static_cast<int>(keys_.size());
        m.firstFrame = std::max(0, frames - 8);
        for (int f = m.firstFrame; f < frames; ++f)
            m.keys[static_cast<std::size_t>(m.count++)] = keys_[static_cast<std::size_t>(f)];
        m.received = gameFrame() - 1;
        m.frame = frames;
        m.hashFrame = frames > hashFrame ? hashFrame : -1;
        m.hash = hash;
        inbox.push_back(encodeKeysMessage(m));
    }
    int frames() const { return static_cast<int>(keys_.size()); }

  private:
    std::vector<std::uint8_t> keys_;
    int listens_ = 0;
    int heard_ = clockMillis();
};

class Online : public HeadlessTest {
  protected:
    Online() {
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
    std::pair<int, std::string> play(ScriptedPeer& peer, bool host) {
        std::unique_ptr<gameapp> game = openFightWindow();
        startKeyFeed();
        testing::internal::CaptureStderr();
        const int status = playOverLink(std::move(game), peer, host, 2);
        return {status, testing::internal::GetCapturedStderr()};
    }
    // A joiner of this build saying hello, ready once welcomed, then playing
    // by `frame`.
    static ScriptedPeer joiner(std::function<void(ScriptedPeer&)> frame) {
        ScriptedPeer peer;
        peer.inbox.push_back(versionMessage('H', kOnlineProtocol, kSimulationVersion));
        peer.onListen = [frame = std::move(frame), ready = false](ScriptedPeer& p) mutable {
            if (!ready && p.sentReliably('W')) {
                p.inbox.push_back("G");
                ready = true;
            }
            if (ready) frame(p);
        };
        return peer;
    }

    TempDir dir_;
    std::string previousData_;
};

TEST_F(Online, APeerOfAnotherVersionIsRefusedWithBothVersionsNamed) {
    const std::uint64_t other = kSimulationVersion ^ 0x10;
    const std::string protocol = std::to_string(kOnlineProtocol) + "/";
    const std::string versions = "the other player's game is version " + protocol +
                                 hashText(other) + ", this one " + protocol +
                                 hashText(kSimulationVersion);
    ScriptedPeer joiner;
    joiner.inbox.push_back(versionMessage('H', kOnlineProtocol, other));
    const auto [hostStatus, hostSaid] = play(joiner, true);
    EXPECT_EQ(hostStatus, 1);
    EXPECT_NE(hostSaid.find(versions), std::string::npos) << hostSaid;
    // The joiner learns it from the refusal, which carries the host's version.
    EXPECT_TRUE(joiner.sentReliably('R'));
    EXPECT_FALSE(joiner.sentReliably('W'));

    ScriptedPeer host;
    host.onListen = [](ScriptedPeer& p) {
        if (p.sent.size() == 1 && p.inbox.empty() && p.frames() == 0) {
            p.inbox.push_back(versionMessage('W', kOnlineProtocol + 1, kSimulationVersion));
            p.playFrame(0);  // marks the answer given
        }
    };
    const auto [joinerStatus, joinerSaid] = play(host, false);
    EXPECT_EQ(joinerStatus, 1);
    EXPECT_NE(joinerSaid.find("version " + std::to_string(kOnlineProtocol + 1) + "/"),
              std::string::npos)
        << joinerSaid;
}

TEST_F(Online, AConnectionSilentForThreeSecondsIsLostAndNoFileIsWritten) {
    int lastHeard = -1;
    ScriptedPeer peer = joiner([&](ScriptedPeer& p) {
        if (p.frames() < 40) {
            p.playFrame(FrameLeft);
            lastHeard = clockMillis();
        }
    });
    const auto [status, said] = play(peer, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("Connection lost"), std::string::npos) << said;
    // Not before three seconds of silence, and not long after.
    const int lostAt = clockMillis() - 2500;  // the message stays up 2.5 s
    EXPECT_GT(lostAt - lastHeard, 3000);
    EXPECT_LT(lostAt - lastHeard, 3100);
    EXPECT_FALSE(std::filesystem::exists("prefs.fwk"));
    EXPECT_FALSE(std::filesystem::exists("scores.txt"));

    // Welcomed but never ready: the host never starts its frames.
    ScriptedPeer mute;
    mute.inbox.push_back(versionMessage('H', kOnlineProtocol, kSimulationVersion));
    const auto [muteStatus, muteSaid] = play(mute, true);
    EXPECT_EQ(muteStatus, 1);
    EXPECT_TRUE(mute.sentReliably('W'));
    EXPECT_EQ(mute.sent.size(), 1u);
}

TEST_F(Online, POnEitherSidePausesBothAndEscOnTheOtherSideEndsTheSeries) {
    // This side presses P; the other side lets the pause go on a while, then
    // presses P itself, plays on, and leaves.
    headless.pressAt(90, KeyP);
    int pausedAt = -1;
    int listensPaused = 0;
    bool stood = true;  // the game's frames stood still all through the pause
    ScriptedPeer peer = joiner([&](ScriptedPeer& p) {
        if (pausedAt < 0 && p.sentReliably('P')) pausedAt = p.gameFrame();
        if (pausedAt >= 0 && listensPaused < 120) {
            stood = stood && p.gameFrame() == pausedAt;
            if (++listensPaused == 120) p.inbox.push_back("P");
            return;
        }
        const int f = p.frames();
        p.playFrame(f >= 200 && f < 210 ? FrameEscape : FrameRight);
    });
    const auto [status, said] = play(peer, true);
    EXPECT_GT(pausedAt, 0);
    EXPECT_TRUE(stood);
    EXPECT_EQ(listensPaused, 120);
    EXPECT_GT(peer.gameFrame(), pausedAt + 100);
    EXPECT_EQ(status, 0);
    EXPECT_NE(said.find("The other player left"), std::string::npos) << said;
    // The series, left with Esc, was recorded from its confirmed keys, and
    // plays again from its recording.
    const std::string newest = newestReplay(dir_.path() + "/flailwick/replays");
    Replay replay;
    ASSERT_EQ(loadReplay(newest, replay), "") << newest;
    auto again = std::make_unique<gameapp>();
    const ReplayRun run = playRecordedFight(*again, replay);
    EXPECT_TRUE(run.ok) << run.why;
    EXPECT_EQ(replay.result, 3);
}

TEST_F(Online, EscOnThisSideEndsTheSeriesAtTheFrameItActedOn) {
    // The other side runs slow, so this one is frames ahead when it leaves.
    headless.pressAt(100, KeyEscape);
    int listens = 0;
    ScriptedPeer peer = joiner([&](ScriptedPeer& p) {
        if (++listens % 2 == 0) p.playFrame(FrameLeft);
    });
    const auto [status, said] = play(peer, true);
    EXPECT_EQ(status, 0);
    EXPECT_NE(said.find("You left the series"), std::string::npos) << said;
}

TEST_F(Online, SidesThatPartAreStoppedAndTheReportNamesTheFirstPartThatDiffers) {
    ScriptedPeer peer = joiner([](ScriptedPeer& p) {
        for (const auto& [bytes, reliable] : p.sent) {
            // Its parts are this side's but the fourth.
            if (reliable && bytes[0] == 'D' && p.open) {
                std::string theirs = bytes;
                theirs[5 + 8 * 3] = static_cast<char>(theirs[5 + 8 * 3] ^ 1);
                p.inbox.push_back(theirs);
                p.open = false;
                return;
            }
        }
        p.playFrame(FrameUp);
    });
    peer.hashFrame = 59;
    peer.hash = 0x1234;
    const auto [status, said] = play(peer, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("Desync at frame 59"), std::string::npos) << said;
    const std::string report = fileBytes(dir_.path() + "/flailwick/replays/desync-frame-59.txt");
    ASSERT_FALSE(report.empty());
    const std::string part = hashFightParts(gameapp())[3].name;
    const std::size_t marked = report.find("<- the first that differs");
    ASSERT_NE(marked, std::string::npos) << report;
    EXPECT_EQ(report.rfind('\n', marked) + 1, report.find(part + " ")) << report;
    EXPECT_EQ(report.find("<- the first", marked + 1), std::string::npos);
}

}  // namespace
