// Recording fights, keeping the newest of them, and playing them again.
#include "replay/replay.h"
#include "app/game_texts.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <type_traits>

#include "app/gameapp.h"
#include "app/match_loop.h"
#include "fight/hash.h"
#include "fight/simulation_version.h"
#include "fight/snapshot.h"
#include "fight/stepped_game.h"
#include "fight/sync_layer.h"
#include "runtime/files.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/pads.h"
#include "runtime/presentation.h"

namespace {

// Every field of the game object a fight carries over, each beside its place
// in the recording: move(game's, recording's) is called for each, so one list
// serves capturing and restoring.
template <typename Game, typename Start, typename Move>
void carriedFields(Game& g, Start& s, Move move) {
    move(g.mode, s.mode);
    move(g.level, s.level);
    // The settings in the order of prefs.fwk, without full screen.
    int i = 0;
    for (auto* setting : {&g.settingSpare1, &g.playersSpeed, &g.flexibility, &g.settingSpare2,
                          &g.blowPower, &g.plasmaEffects, &g.slowMotion, &g.soundsVolume,
                          &g.settingSpare3, &g.gravity, &g.aiLevel, &g.blood})
        move(*setting, s.settings[static_cast<std::size_t>(i++)]);
    move(g.totalScore, s.totalScore);
    move(g.wins, s.wins);
    move(g.stateStartFrame, s.stateStartFrame);
    move(g.nameCursor, s.nameCursor);
    move(g.burstSlot, s.burstSlot);
    move(g.paletteRows, s.paletteRows);
    move(g.messageTimer, s.messageTimer);
    move(g.cameraX, s.cameraX);
    move(g.cameraY, s.cameraY);
    move(g.zoom, s.zoom);
    move(g.slowMotionTimer, s.slowMotionTimer);
    int t = 0;
    for (auto* table : {&g.hitCooldown, &g.contactCooldown, &g.sparkCooldown}) {
        for (std::size_t a = 0; a < 10; ++a)
            for (std::size_t b = 0; b < 10; ++b)
                move((*table)[a][b], s.cooldowns[static_cast<std::size_t>(t)][a][b]);
        ++t;
    }
    for (std::size_t r = 0; r < 7; ++r) {
        for (std::size_t c = 0; c < 4; ++c) {
            move(g.palette[r][c], s.palette[r][c]);
            move(g.paletteStep[r][c], s.paletteStep[r][c]);
        }
    }
    move(g.message, s.message);
    move(g.playerName, s.playerName);
    for (std::size_t n = 1; n < s.nameChars.size(); ++n)
        move(g.nameChars[n], s.nameChars[n]);
    move(g.highScores, s.highScores);
}

// Named by the time the fight ended, so names sort oldest first.
std::string replayName() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d-%03ld%s", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis,
                  kReplaySuffix);
    return name;
}

}  // namespace

FightStart captureFightStart(const gameapp& game) {
    FightStart start;
    carriedFields(game, start, [](const auto& from, auto& to) {
        using Field = std::remove_reference_t<decltype(to)>;
        // The recording keeps small counters in small fields; a value beyond
        // one (a hand-edited game) is kept at its nearest.
        if constexpr (std::is_same_v<Field, std::int8_t> || std::is_same_v<Field, std::int16_t>) {
            to = static_cast<Field>(std::clamp<int>(from, std::numeric_limits<Field>::min(),
                                                    std::numeric_limits<Field>::max()));
        } else {
            to = from;
        }
    });
    start.randomState = randomState();
    return start;
}

void restoreFightStart(gameapp& game, const FightStart& start) {
    carriedFields(game, start, [](auto& to, const auto& from) { to = from; });
    seedRandom(start.randomState);
}

FightRecorder::FightRecorder(std::string directory) : directory_(std::move(directory)) {
    replay_.input.events.reserve(kMaxRecordedEvents);
    replay_.checkpoints.reserve(kMaxCheckpoints);
}

void FightRecorder::begin(const gameapp& game) {
    recording_ = true;
    lost_ = false;
    replay_.simulation = kSimulationVersion;
    replay_.start = captureFightStart(game);
    replay_.frames = 0;
    replay_.checkpoints.clear();
    startInputRecording(replay_.input);
}

void FightRecorder::frameDone(const gameapp& game) {
    if (!recording_) return;
    ++replay_.frames;
    if (replay_.frames % kCheckpointFrames != 0) return;
    if (replay_.checkpoints.size() == replay_.checkpoints.capacity()) {
        lost_ = true;
        return;
    }
    replay_.checkpoints.push_back(hashFight(game));
}

void FightRecorder::finish(const gameapp& game, int result) {
    if (!recording_) return;
    recording_ = false;
    stopInputRecording();
    if (lost_ || replay_.input.overflowed) return;
    replay_.result = result;
    replay_.roundState = game.roundState;
    replay_.finalHash = hashFight(game);
    // A directory that cannot be made or written leaves the fight unkept; the game plays on.
    if (directory_.empty() || !makeDirectories(directory_)) return;
    const std::string path = directory_ + "/" + replayName();
    if (!writeWholeFile(path, encodeReplay(replay_))) return;
    lastWritten_ = path;
    pruneReplays(directory_, kKeptReplays);
}

std::string replayDirectory() {
    const std::string data = userDataDirectory();
    return data.empty() ? data : data + "/replays";
}

std::string newestReplay(const std::string& directory) {
    const std::vector<std::string> names = filesEndingIn(directory, kReplaySuffix);
    return names.empty() ? std::string() : directory + "/" + names.back();
}

void pruneReplays(const std::string& directory, int keep) {
    const std::vector<std::string> names = filesEndingIn(directory, kReplaySuffix);
    const std::size_t excess = names.size() > static_cast<std::size_t>(keep)
                                   ? names.size() - static_cast<std::size_t>(keep)
                                   : 0;
    for (std::size_t i = 0; i < excess; ++i)
        removeFile(directory + "/" + names[i]);
}

std::string loadReplay(const std::string& path, Replay& out) {
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, kMaxReplayBytes, bytes)) {
        return fileExists(path) ? "it cannot be read, or is far too large to be a replay"
                                : "there is no such file";
    }
    return decodeReplay(bytes.data(), bytes.size(), out);
}

namespace {

// A recorded fight as the sync layer steps it: its keys come from the
// recording, so the frame keys handed to it are none.
class RecordedSteps : public SteppedGame {
  public:
    explicit RecordedSteps(gameapp& game) : game_(game) {}
    void save(int slot) override { kept_[static_cast<std::size_t>(slot)].save(game_); }
    void load(int slot) override { kept_[static_cast<std::size_t>(slot)].load(game_); }
    void advance(FrameKeys, FrameKeys, bool seen) override {
        if (seen) {
            playFightFrame(game_);
            return;
        }
        const Unseen unseen;
        playFightFrame(game_);
    }
    std::uint64_t hash() override { return hashFight(game_); }
    StateParts parts() override { return {}; }

  private:
    gameapp& game_;
    std::array<FightSnapshot, kSnapshotSlots> kept_;
};

// After frame f (from 0): back 1, 2, ... up to depth frames in turn, and
// forward again unseen through the same saved states online play uses;
// empty when every frame hashed as before.
std::string goBackAndReplay(SyncLayer& layer, int f, int depth) {
    const int n = f % depth + 1;
    const int from = f - n + 1;
    if (from < 0) return {};
    layer.loadBefore(from);
    for (int g = from; g <= f; ++g) {
        const std::uint64_t want = layer.hashAfter(g);
        layer.play(g, 0, 0, false);
        if (layer.hashAfter(g) != want) {
            return "frame " + std::to_string(g + 1) + " played again after going back " +
                   std::to_string(n) + " frames from " + std::to_string(f + 1) + " hashes " +
                   hashText(layer.hashAfter(g)) + ", first time " + hashText(want);
        }
    }
    return {};
}

}  // namespace

ReplayRun playRecordedFight(gameapp& game, const Replay& replay,
                            const std::function<bool()>& afterFrame, int rollbackDepth) {
    ReplayRun run;
    const int depth = std::clamp(rollbackDepth, 0, kMaxRollback);
    auto steps = std::make_unique<RecordedSteps>(game);
    SyncLayer layer(*steps);
    restoreFightStart(game, replay.start);
    startInputPlayback(replay.input);
    game.setUpFight();
    setFightKeys(true);
    while (run.frames < replay.frames && game.matchState != kStateEnd) {
        if (depth > 0) {
            layer.play(run.frames, 0, 0, true);
            run.why = goBackAndReplay(layer, run.frames, depth);
        } else {
            playFightFrame(game);
        }
        ++run.frames;
        if (!run.why.empty()) break;
        run.why = checkpointDiffers(game, replay, run.frames);
        if (!run.why.empty()) break;
        if (afterFrame && !afterFrame()) {
            run.left = true;
            break;
        }
    }
    setFightKeys(false);
    // With the keys as the fight left them, as the recorder hashed it.
    run.finalHash = hashFight(game);
    stopInputPlayback();
    if (run.why.empty() && !run.left) judgeEnding(game, replay, run);
    return run;
}

std::string checkpointDiffers(const gameapp& game, const Replay& replay, int frames) {
    if (frames <= 0 || frames % kCheckpointFrames != 0) return {};
    const std::size_t checkpoint = static_cast<std::size_t>(frames / kCheckpointFrames - 1);
    if (checkpoint >= replay.checkpoints.size()) return {};
    const std::uint64_t want = replay.checkpoints[checkpoint];
    const std::uint64_t got = hashFight(game);
    if (got == want) return {};
    return "diverged at frame " + std::to_string(frames) + ": hash " + hashText(got) +
           ", recorded " + hashText(want);
}

void judgeEnding(const gameapp& game, const Replay& replay, ReplayRun& run) {
    const int result = game.fightOutcome();
    if (run.frames != replay.frames) {
        run.why = "diverged: the fight ended at frame " + std::to_string(run.frames) +
                  ", recorded at frame " + std::to_string(replay.frames);
    } else if (replay.result == kResultCut) {
        // Cut short: nothing decided it, so only where it stood is compared.
        run.ok = run.finalHash == replay.finalHash;
        if (!run.ok)
            run.why = "diverged at the cut: hash " + hashText(run.finalHash) + ", recorded " +
                      hashText(replay.finalHash);
    } else if (game.matchState != kStateEnd) {
        run.why = "diverged: the fight had not ended at frame " + std::to_string(run.frames);
    } else if (result != replay.result || game.roundState != replay.roundState) {
        run.why = "diverged: it ended with result " + std::to_string(result) + ", recorded " +
                  std::to_string(replay.result);
    } else if (run.finalHash != replay.finalHash) {
        run.why = "diverged at the end: hash " + hashText(run.finalHash) + ", recorded " +
                  hashText(replay.finalHash);
    } else {
        run.ok = true;
    }
}
