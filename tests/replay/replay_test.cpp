// Recorded fights played again bit for bit, damaged files refused, the files kept, the options.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/command_line.h"
#include "fight/simulation_version.h"
#include "netplay/messages.h"
#include "replay/format.h"
#include "replay/replay.h"
#include "runtime/files.h"
#include "runtime/presentation.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fight_fixture.h"
#include "tests/support/recorded_fights.h"
#include "tests/support/temp_dir.h"

namespace {

using fighttest::FightTest;

class Replays : public FightTest {
  protected:
    Replays() : recorder(dir.path() + "/replays") {
        g.recorder = &recorder;
        g.fillDefaultScores();
    }

    // Plays the fight set up in g, then the recording of it on a fresh game.
    ReplayRun recordAndReplay(bool seen = false) {
        live = g.playFight();
        EXPECT_FALSE(recorder.lastWritten().empty());
        EXPECT_EQ(loadReplay(recorder.lastWritten(), replay), "");
        return replayAgain(seen);
    }
    ReplayRun replayAgain(bool seen, const std::function<bool()>& eachFrame = {}) {
        fresh = std::make_unique<gameapp>();
        resetInput();
        if (seen) return playRecordedFight(*fresh, replay, eachFrame);
        const Unseen unseen;
        return playRecordedFight(*fresh, replay, eachFrame);
    }

    // Two players keep changing keys against the computer, pause once, and
    // leave with Esc at frame 999.
    void scriptCoopFight() {
        const int one[5] = {KeyRight, KeyUp, KeyLeft, KeyDown, KeyRight};
        const int two[5] = {KeyA, KeyW, KeyD, KeyS, KeyA};
        for (int s = 0; s < 5; ++s) {
            headless.keyDownAt(at(200 * s), one[s]);
            headless.keyUpAt(at(200 * s + 150), one[s]);
            headless.keyDownAt(at(200 * s + 30), two[s]);
            headless.keyUpAt(at(200 * s + 170), two[s]);
        }
        headless.pressAt(at(300), KeyP);
        headless.pressAt(at(320), KeyP);
        headless.keyDownAt(at(999), KeyEscape);
    }

    TempDir dir;
    FightRecorder recorder;
    Replay replay;
    std::unique_ptr<gameapp> fresh;
    int live = 0;
};

TEST_F(Replays, ASixFighterCoopFightLeftWithEscPlaysAgainBitForBit) {
    g.media.blow = loadSound("incbin::blow.wav", 0);
    g.media.spark = fighttest::loadSpark();
    g.mode = "2coop";
    g.level = 8;
    scriptCoopFight();
    const ReplayRun run = recordAndReplay();
    EXPECT_EQ(live, 3);
    EXPECT_TRUE(run.ok) << run.why;
    EXPECT_EQ(run.frames, g.frameCount);
    EXPECT_EQ(hashPositions(*fresh), hashPositions(g));
    EXPECT_EQ(replay.checkpoints.size(), static_cast<std::size_t>(g.frameCount / 60));
    // Blows landed, with blood and slow motion on, and the pause was recorded.
    EXPECT_EQ(fresh->fighterCount, 6);
    EXPECT_GT(fresh->score, 0);
    EXPECT_GT(g.blood * g.slowMotion, 0);
    EXPECT_EQ(fresh->message, g.message);
    // Held keys change rarely: the file stays small.
    EXPECT_LT(std::filesystem::file_size(recorder.lastWritten()), 4096u);
}

TEST_F(Replays, AVersusKnockoutAndAGameOverWithItsNameEntryPlayAgain) {
    g.mode = "2vs";
    headless.keyDownAt(at(0), KeyRight);
    headless.keyDownAt(at(40), KeyA);
    headless.keyDownAt(at(200), Key7);
    headless.keyDownAt(at(200), Key9);
    headless.keyUpAt(at(203), Key9);
    headless.pressAt(at(260), KeyEnter);
    ReplayRun run = recordAndReplay();
    EXPECT_TRUE(run.ok) << run.why;
    EXPECT_EQ(live, 1);
    EXPECT_EQ(fresh->roundState, 1);

    // The last level won: the name entry, the table written, then the end.
    g.mode = "1";
    g.level = 20;
    g.totalScore = 123456;
    g.wins = {0, 4, 2};
    base = headless.framesPresented();
    headless.keyDownAt(at(5), Key7);
    headless.keyDownAt(at(5), Key9);
    headless.keyUpAt(at(8), Key7);
    headless.keyDownAt(at(110), KeyEnter);
    headless.keyUpAt(at(111), KeyEnter);
    for (char c : std::string("zed"))
        headless.typeAt(at(300), static_cast<std::uint16_t>(c));
    headless.pressAt(at(360), KeyEnter);
    headless.pressAt(at(400), KeyEnter);
    run = recordAndReplay();
    EXPECT_TRUE(run.ok) << run.why;
    EXPECT_EQ(fresh->highScores.front().name, "ZED");
    EXPECT_EQ(fresh->wins, g.wins);

    // Checking it writes nothing: not the table, not a replay.
    std::filesystem::remove("scores.txt");
    allowSaving(false);
    const int status = verifyReplays({recorder.lastWritten()});
    allowSaving(true);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fileExists("scores.txt"));
    EXPECT_EQ(filesEndingIn(dir.path() + "/replays", kReplaySuffix).size(), 2u);
}

TEST_F(Replays, RunningUnseenGivesTheStateOfRunningSeenFrameForFrame) {
    g.media.blow = loadSound("incbin::blow.wav", 0);
    g.mode = "2coop";
    g.level = 8;
    scriptCoopFight();
    recordAndReplay();
    std::vector<std::uint64_t> seen, unseen;
    const int presented = headless.framesPresented();
    const std::size_t sleeps = headless.sleeps().size();
    replayAgain(false, [&] { return unseen.push_back(hashFight(*fresh)), true; });
    EXPECT_EQ(headless.framesPresented(), presented);
    EXPECT_EQ(headless.sleeps().size(), sleeps);
    replayAgain(true, [&] { return seen.push_back(hashFight(*fresh)), true; });
    EXPECT_GT(headless.framesPresented(), presented);
    EXPECT_GT(headless.sleeps().size(), sleeps);  // the freezes and slow motion
    ASSERT_EQ(seen.size(), unseen.size());
    for (std::size_t f = 0; f < seen.size(); ++f)
        ASSERT_EQ(seen[f], unseen[f]) << "frame " << f + 1;
}

TEST_F(Replays, OtherKeysDivergeAndARecordingCutInAPauseEndsInsteadOfHanging) {
    g.mode = "2coop";
    g.level = 8;
    scriptCoopFight();
    recordAndReplay();
    Replay recorded = replay;

    // Player 1's second key held for longer than it was.
    for (auto it = replay.input.events.begin(); it != replay.input.events.end(); ++it) {
        if (it->kind == InputEventKind::KeyUp && it->value == KeyUp) {
            replay.input.events.erase(it);
            break;
        }
    }
    ReplayRun run = replayAgain(false);
    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.why.find("diverged at frame"), std::string::npos) << run.why;

    // Without the second P the pause never ends: the end of the recording does.
    replay = recorded;
    int pPresses = 0;
    std::erase_if(replay.input.events, [&](const InputEvent& e) {
        return e.kind == InputEventKind::KeyDown && e.value == KeyP && ++pPresses == 2;
    });
    run = replayAgain(false);
    EXPECT_FALSE(run.ok);
    EXPECT_GT(run.frames, 300);
    EXPECT_LT(run.frames, recorded.frames);
}

std::string withChecksum(std::string bytes) {
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(
        0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size() - 4)));
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
    return bytes;
}

std::string why(const std::string& bytes) {
    Replay out;
    return decodeReplay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
}

TEST_F(Replays, BadFilesAreRefusedWithOneLineSayingWhy) {
    g.mode = "2vs";
    headless.keyDownAt(at(0), KeyLeft);
    headless.keyDownAt(at(130), Key7);
    headless.keyDownAt(at(130), Key9);
    headless.keyDownAt(at(140), KeyEscape);
    recordAndReplay();
    const std::string good = encodeReplay(replay);
    ASSERT_EQ(why(good), "");

    const auto edited = [&](const std::function<void(Replay&)>& edit) {
        Replay r = replay;
        edit(r);
        return encodeReplay(r);
    };
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x10;
    std::string format = good;
    format[4] = 2;
    std::string simulation = good;
    simulation[6] ^= 1;
    const struct {
        std::string bytes;
        const char* says;
    } cases[] = {
        {"", "not a Flailwick replay"},
        {"PNG\x89 and so on", "not a Flailwick replay"},
        {good.substr(0, 10), "cut short"},
        {good.substr(0, good.size() / 2), "checksum"},
        {flipped, "checksum"},
        {withChecksum(format), "replay format 2, this game reads format 1"},
        {withChecksum(simulation), "this game is simulation"},
        {withChecksum(good + "x"), "bytes after its end"},
        {edited([](Replay& r) { r.start.burstSlot = 15; }), "burst slot is out of range"},
        {edited([](Replay& r) { r.start.cameraX = std::nanf(""); }), "camera is not a number"},
        {edited([](Replay& r) { r.input.events.back().poll = r.input.polls + 1; }),
         "after the end"},
        {edited([](Replay& r) { r.checkpoints.push_back(1); }), "checkpoints do not match"},
        {edited([](Replay& r) { r.result = 7; }), "result is out of range"},
    };
    for (const auto& c : cases) {
        const std::string said = why(c.bytes);
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), std::string::npos);
    }
    std::string other = why(withChecksum(simulation));
    EXPECT_NE(other.find(std::to_string(kReplayFormat)), std::string::npos);

    // A file too large to be a replay is refused before it is read.
    {
        std::ofstream huge("huge.fwr", std::ios::binary);
        huge.seekp(static_cast<std::streamoff>(kMaxReplayBytes) + 1);
        huge.put('x');
    }
    Replay out;
    AllocationCounter counter;
    EXPECT_NE(loadReplay("huge.fwr", out).find("far too large"), std::string::npos);
    EXPECT_LT(counter.largest(), 4096u);
}

TEST_F(Replays, AFightIsKeptWhereItCanBeAndOnlyTheNewestHundredStay) {
    for (int i = 0; i < kKeptReplays + 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "replays/2026%04d.fwr", i);
        std::filesystem::create_directories("replays");
        writeBytes(name, "old");
    }
    g.mode = "2vs";
    headless.keyDownAt(at(5), KeyEscape);
    EXPECT_EQ(g.playFight(), 3);
    const auto kept = filesEndingIn("replays", kReplaySuffix);
    ASSERT_EQ(kept.size(), static_cast<std::size_t>(kKeptReplays));
    EXPECT_EQ(kept.front(), "20260004.fwr");
    EXPECT_EQ("replays/" + kept.back(), recorder.lastWritten().substr(dir.path().size() + 1));

    // A directory that cannot be written keeps nothing, and the fight goes on as ever.
    EXPECT_TRUE(inReadOnlyDirectory([] {
        FightRecorder nowhere("unwritable/replays");
        auto other = std::make_unique<gameapp>();
        other->recorder = &nowhere;
        other->mode = "2vs";
        onKeyDown(KeyEscape, false);
        return other->playFight() == 3 && nowhere.lastWritten().empty() &&
               !fileExists("unwritable");
    }));
}

TEST_F(Replays, RecordingASixFighterFightAllocatesNothingInItsFrames) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    setUp("2coop", 8);
    recorder.begin(g);
    AllocationCounter counter;
    for (int f = 0; f < 240; ++f) {
        if (f % 7 == 0) onKeyDown(f % 14 == 0 ? KeyRight : KeyW, false);
        if (f % 7 == 3) onKeyUp(f % 14 == 3 ? KeyRight : KeyW);
        playFightFrame(g);
        recorder.frameDone(g);
    }
    EXPECT_EQ(counter.count(), 0);
}

// The stored recordings are these fights: a change to the simulation that
// plays either differently must change the version, through its constants.
TEST(RecordedFights, PlayAsTheSimulationVersionSays) { EXPECT_EQ(recordedFightDifferences(), ""); }

TEST(CommandLine, OptionsAndTheirMistakes) {
    TempDir dir;
    writeBytes("fight.fwr", "x");
    const struct {
        std::vector<const char*> args;
        CommandLine::Action action;
        const char* error;
    } cases[] = {
        {{}, CommandLine::Play, ""},
        {{"--help"}, CommandLine::Help, ""},
        {{"--version"}, CommandLine::Version, ""},
        {{"--version", "x"}, CommandLine::Wrong, "--version takes nothing after it"},
        {{"--replay"}, CommandLine::Replay, ""},
        {{"--replay", "fight.fwr"}, CommandLine::Replay, ""},
        {{"--verify", "fight.fwr", "fight.fwr"}, CommandLine::Verify, ""},
        {{"--verify", "fight.fwr", "gone.fwr"}, CommandLine::Verify, ""},
        {{"--timedemo", "fight.fwr"}, CommandLine::Timedemo, ""},
        {{"--synctest", "fight.fwr"}, CommandLine::Synctest, ""},
        {{"--host"}, CommandLine::Host, ""},
        {{"--host", "65535"}, CommandLine::Host, ""},
        {{"--delay", "0", "--host", "1"}, CommandLine::Host, ""},
        {{"--join", "box:27961", "--delay", "8"}, CommandLine::Join, ""},
        {{"--coop", "--host", "27961"}, CommandLine::Host, ""},
        {{"--join", "box", "--coop"}, CommandLine::Wrong, "--coop needs --host"},
        {{"--host", "0"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--host", "65536"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--host", "4294995256"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--host", "27960abc"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--host", "$6D39"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--host", "+27960"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--join", "box:0x6D39"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--join", "box:"}, CommandLine::Wrong, "a PORT is a number from 1 to 65535"},
        {{"--join"}, CommandLine::Join, ""},
        {{"--join", "k7qf m2xd", "--lobby", "lobby.lan"}, CommandLine::Join, ""},
        {{"--join", ":27961"}, CommandLine::Wrong, "a HOST is needed before the :PORT"},
        {{"--host", "--lobby", "10.0.0.2:1884"}, CommandLine::Host, ""},
        {{"--host", "--lobby"}, CommandLine::Wrong, "--lobby needs a HOST[:PORT]"},
        {{"--host", "--lobby", "box:0"}, CommandLine::Wrong, "--lobby: a PORT is a number"},
        {{"--host", "27960", "--lobby", "box"}, CommandLine::Wrong, "--host PORT hosts directly"},
        {{"--join", "box:27960", "--lobby", "box"}, CommandLine::Wrong, "--join HOST connects"},
        {{"--replay", "--lobby", "box"}, CommandLine::Wrong, "--lobby needs --host, --join or"},
        {{"--watch", "box:27961"}, CommandLine::Watch, ""},
        {{"--watch", "K7QF-M2XD", "--lobby", "box"}, CommandLine::Watch, ""},
        {{"--watch", "box", "box"}, CommandLine::Wrong, "--watch takes one CODE or HOST[:PORT]"},
        {{"--watch", "box", "--delay", "2"}, CommandLine::Wrong, "--delay needs --host or --join"},
        {{"--host", "--delay", "9"}, CommandLine::Wrong, "--delay takes 0 to 8 frames"},
        {{"--host", "--delay", "2x"}, CommandLine::Wrong, "--delay takes 0 to 8 frames"},
        {{"--host", "--delay", "-1"}, CommandLine::Wrong, "--delay takes 0 to 8 frames"},
        {{"--host", "--delay"}, CommandLine::Wrong, "--delay needs a number of frames"},
        {{"--delay", "3"}, CommandLine::Wrong, "--delay needs --host or --join"},
        {{"--replay", "--delay", "3"}, CommandLine::Wrong, "--delay needs --host or --join"},
        {{"--replay", "fight.fwr", "--host"},
         CommandLine::Wrong,
         "--replay and --host cannot be used together"},
        {{"--host", "--join", "box"},
         CommandLine::Wrong,
         "--host and --join cannot be used together"},
        {{"--verify", "fight.fwr", "--help"},
         CommandLine::Wrong,
         "--verify and --help cannot be used together"},
        {{"--fast"}, CommandLine::Wrong, "unknown option '--fast' (flailwick --help"},
        {{"--host", "--fast"}, CommandLine::Wrong, "unknown option '--fast'"},
        {{"--verify"}, CommandLine::Wrong, "--verify needs at least one FILE"},
        {{"--timedemo"}, CommandLine::Wrong, "--timedemo needs one FILE"},
        {{"--replay", "gone.fwr"}, CommandLine::Wrong, "there is no file 'gone.fwr'"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"flailwick"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CommandLine parsed = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        const std::string line = c.args.empty()       ? ""
                                 : c.args.size() == 1 ? c.args[0]
                                                      : std::string(c.args[0]) + " " + c.args[1];
        EXPECT_EQ(parsed.action, c.action) << line;
        EXPECT_EQ(parsed.error.rfind(c.error, 0), 0u) << line << ": " << parsed.error;
        EXPECT_EQ(parsed.error.empty(), *c.error == 0) << line;
    }
    const char* join[] = {"flailwick", "--join", "box:27961", "--delay", "8"};
    const CommandLine parsed = parseCommandLine(5, join);
    EXPECT_EQ(parsed.address, "box");
    EXPECT_EQ(parsed.port, 27961);
    EXPECT_EQ(parsed.inputDelay, 8);
    // A code is told from a host by its form; a host named like one gives its port.
    const char* code[] = {"flailwick", "--join", "k7qfm2xd"};
    EXPECT_EQ(parseCommandLine(3, code).roomCode, "K7QF-M2XD");
    const char* named[] = {"flailwick", "--join", "k7qfm2xd:27960"};
    EXPECT_EQ(parseCommandLine(3, named).address, "k7qfm2xd");
    EXPECT_EQ(parseCommandLine(3, named).roomCode, "");
    const char* host[] = {"flailwick", "--host", "00080"};
    EXPECT_EQ(parseCommandLine(3, host).port, 80);
    const char* coop[] = {"flailwick", "--host", "--coop"};
    EXPECT_TRUE(parseCommandLine(3, coop).coop);
    EXPECT_FALSE(parseCommandLine(3, host).coop);
}

TEST(CommandLine, VersionNamesTheSimulationAndTheProtocol) {
    const std::string text = versionText();
    EXPECT_EQ(text.rfind("Flailwick ", 0), 0u) << text;
    EXPECT_NE(text.find("\nsimulation " + hashText(kSimulationVersion) + ", online protocol " +
                        std::to_string(kOnlineProtocol) + "\n"),
              std::string::npos)
        << text;
    // --help opens with the same version.
    const std::string first = text.substr(0, text.find('\n'));
    EXPECT_NE(helpText().find(first + ", a fighting game"), std::string::npos);
}

// One good stored recording and one missing file: the good one is checked,
// the missing one named, and the whole run fails.
using VerifyCommand = HeadlessTest;
TEST_F(VerifyCommand, ChecksEveryFileAndNamesTheMissingOnes) {
    const char* source = std::getenv("FLAILWICK_SOURCE_DIR");
    const std::string good =
        std::string(source ? source : FLAILWICK_TEST_SOURCE_DIR) + "/tests/data/replays/versus.fwr";
    ASSERT_TRUE(fileExists(good));
    testing::internal::CaptureStdout();
    const int status = verifyReplays({"gone.fwr", good});
    const std::string out = testing::internal::GetCapturedStdout();
    allowSaving(true);
    EXPECT_EQ(status, kExitDiverged);
    EXPECT_EQ(out.rfind("gone.fwr: there is no such file\n" + good + ": ok, ", 0), 0u) << out;
}

}  // namespace
