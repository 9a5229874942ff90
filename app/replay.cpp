// Recording fights, keeping the newest of them, and playing them again.
#include "app/replay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/fight_hash.h"
#include "app/fight_snapshot.h"
#include "app/gameapp.h"
#include "app/match_loop.h"
#include "app/simulation_version.h"
#include "runtime/files.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/pads.h"
#include "runtime/presentation.h"

namespace {

// Room for a fight of over four hours and tens of thousands of key changes.
constexpr std::size_t kEventRoom = 1u << 16;
constexpr std::size_t kCheckpointRoom = 1u << 14;

template <typename Game>
auto fightSettings(Game& g) -> std::array<decltype(&g.blowPower), 12> {
    return {&g.settingSpare1, &g.playersSpeed,  &g.flexibility, &g.settingSpare2,
            &g.blowPower,     &g.plasmaEffects, &g.slowMotion,  &g.soundsVolume,
            &g.settingSpare3, &g.gravity,       &g.aiLevel,     &g.blood};
}

template <typename Game>
auto cooldownTables(Game& g) -> std::array<decltype(&g.hitCooldown), 3> {
    return {&g.hitCooldown, &g.contactCooldown, &g.sparkCooldown};
}

std::int8_t clampToByte(int v) { return static_cast<std::int8_t>(std::clamp(v, -128, 127)); }

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

std::string hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

}  // namespace

FightStart captureFightStart(const gameapp& g) {
    FightStart s;
    s.mode = g.mode;
    s.level = g.level;
    const auto settings = fightSettings(g);
    for (std::size_t i = 0; i < settings.size(); ++i)
        s.settings[i] = *settings[i];
    s.randomState = randomState();
    s.totalScore = g.totalScore;
    s.wins = g.wins;
    s.stateStartFrame = g.stateStartFrame;
    s.nameCursor = g.nameCursor;
    s.burstSlot = g.burstSlot;
    s.paletteRows = g.paletteRows;
    s.messageTimer = g.messageTimer;
    s.cameraX = g.cameraX;
    s.cameraY = g.cameraY;
    s.zoom = g.zoom;
    s.slowMotionTimer = g.slowMotionTimer;
    const auto tables = cooldownTables(g);
    for (std::size_t t = 0; t < tables.size(); ++t)
        for (std::size_t i = 0; i < 10; ++i)
            for (std::size_t j = 0; j < 10; ++j)
                s.cooldowns[t][i][j] = clampToByte((*tables[t])[i][j]);
    for (std::size_t r = 0; r < 7; ++r) {
        for (std::size_t c = 0; c < 4; ++c) {
            s.palette[r][c] = static_cast<std::int16_t>(std::clamp(g.palette[r][c], -32768, 32767));
            s.paletteStep[r][c] = clampToByte(g.paletteStep[r][c]);
        }
    }
    s.message = g.message;
    s.playerName = g.playerName;
    for (std::size_t i = 1; i < s.nameChars.size(); ++i)
        s.nameChars[i] = g.nameChars[i];
    s.highScores = g.highScores;
    return s;
}

void restoreFightStart(gameapp& g, const FightStart& s) {
    g.mode = s.mode;
    g.level = s.level;
    const auto settings = fightSettings(g);
    for (std::size_t i = 0; i < settings.size(); ++i)
        *settings[i] = s.settings[i];
    seedRandom(s.randomState);
    g.totalScore = s.totalScore;
    g.wins = s.wins;
    g.stateStartFrame = s.stateStartFrame;
    g.nameCursor = s.nameCursor;
    g.burstSlot = s.burstSlot;
    g.paletteRows = s.paletteRows;
    g.messageTimer = s.messageTimer;
    g.cameraX = s.cameraX;
    g.cameraY = s.cameraY;
    g.zoom = s.zoom;
    g.slowMotionTimer = s.slowMotionTimer;
    const auto tables = cooldownTables(g);
    for (std::size_t t = 0; t < tables.size(); ++t)
        for (std::size_t i = 0; i < 10; ++i)
            for (std::size_t j = 0; j < 10; ++j)
                (*tables[t])[i][j] = s.cooldowns[t][i][j];
    for (std::size_t r = 0; r < 7; ++r) {
        for (std::size_t c = 0; c < 4; ++c) {
            g.palette[r][c] = s.palette[r][c];
            g.paletteStep[r][c] = s.paletteStep[r][c];
        }
    }
    g.message = s.message;
    g.playerName = s.playerName;
    for (std::size_t i = 1; i < s.nameChars.size(); ++i)
        g.nameChars[i] = s.nameChars[i];
    g.highScores = s.highScores;
}

FightRecorder::FightRecorder(std::string directory) : directory_(std::move(directory)) {
    replay_.input.events.reserve(kEventRoom);
    replay_.checkpoints.reserve(kCheckpointRoom);
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

// The frames kept to go back to, and each one's hash, by frame number.
class Rollbacks {
  public:
    explicit Rollbacks(int depth) : depth_(std::clamp(depth, 0, kMaxRollback)) {
        for (int i = 0; i <= depth_; ++i)
            kept_.emplace_back();
    }

    void keep(const gameapp& game, int frame) {
        if (depth_ == 0) return;
        const std::size_t slot = static_cast<std::size_t>(frame % (depth_ + 1));
        kept_[slot].save(game);
        hashes_[slot] = hashFight(game);
    }

    // After frame `frame`: back n frames and forward again; empty when every
    // frame hashed as before.
    std::string goBackAndReplay(gameapp& game, int frame) {
        if (depth_ == 0) return {};
        const int n = (frame - 1) % depth_ + 1;
        if (frame - n < 0) return {};
        kept_[static_cast<std::size_t>((frame - n) % (depth_ + 1))].load(game);
        const Unseen unseen;
        for (int f = frame - n + 1; f <= frame; ++f) {
            playFightFrame(game);
            const std::uint64_t want = hashes_[static_cast<std::size_t>(f % (depth_ + 1))];
            if (hashFight(game) != want) {
                return "frame " + std::to_string(f) + " played again after going back " +
                       std::to_string(n) + " frames from " + std::to_string(frame) + " hashes " +
                       hex(hashFight(game)) + ", first time " + hex(want);
            }
        }
        return {};
    }

  private:
    int depth_;
    std::vector<FightSnapshot> kept_;
    std::array<std::uint64_t, kMaxRollback + 1> hashes_{};
};

}  // namespace

ReplayRun playRecordedFight(gameapp& game, const Replay& replay,
                            const std::function<bool()>& afterFrame, int rollbackDepth) {
    ReplayRun run;
    Rollbacks rollbacks(rollbackDepth);
    restoreFightStart(game, replay.start);
    startInputPlayback(replay.input);
    game.setUpFight();
    setFightKeys(true);
    rollbacks.keep(game, 0);
    std::size_t checkpoint = 0;
    while (run.frames < replay.frames && game.matchState != "end") {
        playFightFrame(game);
        ++run.frames;
        rollbacks.keep(game, run.frames);
        run.why = rollbacks.goBackAndReplay(game, run.frames);
        if (!run.why.empty()) break;
        if (run.frames % kCheckpointFrames == 0 && checkpoint < replay.checkpoints.size()) {
            const std::uint64_t want = replay.checkpoints[checkpoint++];
            const std::uint64_t got = hashFight(game);
            if (got != want) {
                run.why = "diverged at frame " + std::to_string(run.frames) + ": hash " + hex(got) +
                          ", recorded " + hex(want);
                break;
            }
        }
        if (afterFrame && !afterFrame()) {
            run.left = true;
            break;
        }
    }
    setFightKeys(false);
    stopInputPlayback();
    run.finalHash = hashFight(game);
    if (!run.why.empty() || run.left) return run;
    const int result = game.fightResult != 3 ? game.roundState : 3;
    if (run.frames != replay.frames) {
        run.why = "diverged: the fight ended at frame " + std::to_string(run.frames) +
                  ", recorded at frame " + std::to_string(replay.frames);
    } else if (game.matchState != "end") {
        run.why = "diverged: the fight had not ended at frame " + std::to_string(run.frames);
    } else if (result != replay.result || game.roundState != replay.roundState) {
        run.why = "diverged: it ended with result " + std::to_string(result) + ", recorded " +
                  std::to_string(replay.result);
    } else if (run.finalHash != replay.finalHash) {
        run.why = "diverged at the end: hash " + hex(run.finalHash) + ", recorded " +
                  hex(replay.finalHash);
    } else {
        run.ok = true;
    }
    return run;
}
