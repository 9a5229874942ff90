// FNV-1a over the bit patterns of a fight's state.
#include "fight/hash.h"
#include "app/fighters_in_play.h"

#include <cstring>
#include <string>

#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr int kNameLetters = 15;

// A byte at a time: the stored fingerprints were made so.
class Fnv {
  public:
    std::uint64_t h = kFnvOffset;

    void bits(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            h ^= (v >> (8 * k)) & 0xFFu;
            h *= kFnvPrime;
        }
    }
    void real(float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, sizeof v);
        bits(v);
    }
};

// A 32-bit word at a time, in turn into four running values that the
// processor can work on side by side: the whole fight is hashed after every
// online frame. Each step is a bijection of its running value, and so is the
// last one that joins them, so any one changed word changes the result.
class Words {
  public:
    void bits(std::uint32_t v) {
        std::uint64_t& h = lanes_[next_++ % lanes_.size()];
        h = (h ^ v) * kFnvPrime;
    }
    std::uint64_t hash() const {
        std::uint64_t h = kFnvOffset;
        for (std::uint64_t lane : lanes_)
            h = (h ^ lane) * kFnvPrime;
        return h;
    }
    void add(int n) { bits(static_cast<std::uint32_t>(n)); }
    void add(std::int64_t n) {
        bits(static_cast<std::uint32_t>(n));
        bits(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) >> 32));
    }
    void add(float f) { bits(word(f)); }
    template <typename T, std::size_t N>
    void add(const std::array<T, N>& values) {
        static_assert(sizeof(T) == 4);
        words(N, [&values](std::size_t i) { return word(values[i]); });
    }
    // Bytes four to a word, as arrays of small counters and flags are kept.
    template <typename T, std::size_t N>
    void bytes(const std::array<T, N>& values) {
        static_assert(sizeof(T) == 1 && N % 4 == 0);
        for (std::size_t i = 0; i < N; i += 4) {
            std::uint32_t v;
            std::memcpy(&v, values.data() + i, sizeof v);
            bits(v);
        }
    }
    void add(const std::string& s) {
        add(static_cast<std::int64_t>(s.size()));
        for (char c : s)
            bits(static_cast<unsigned char>(c));
    }

  private:
    // Four words a step, one to each running value, for the long arrays.
    template <typename WordAt>
    void words(std::size_t n, WordAt wordAt) {
        std::size_t i = 0;
        auto [a, b, c, d] = lanes_;
        for (; i + 4 <= n; i += 4) {
            a = (a ^ wordAt(i)) * kFnvPrime;
            b = (b ^ wordAt(i + 1)) * kFnvPrime;
            c = (c ^ wordAt(i + 2)) * kFnvPrime;
            d = (d ^ wordAt(i + 3)) * kFnvPrime;
        }
        lanes_ = {a, b, c, d};
        for (; i < n; ++i)
            bits(wordAt(i));
    }
    template <typename T>
    static std::uint32_t word(T v) {
        std::uint32_t w;
        std::memcpy(&w, &v, sizeof w);
        return w;
    }
    std::array<std::uint64_t, 4> lanes_{kFnvOffset, kFnvOffset, kFnvOffset, kFnvOffset};
    std::size_t next_ = 0;
};

enum Part : int {
    PlayerOne,
    PlayerTwo,
    OtherBodies,
    EnergyAndOutcome,
    Bursts,
    StageAndMessages,
    Cooldowns,
    CameraAndArena,
    ScoreAndCombo,
    SettingsAndTable,
    GeneratorAndKeys,
    Tally,
};

constexpr std::array<const char*, kFightParts> kPartNames = {
    "player 1's body", "player 2's body",    "the other bodies",   "energy and outcome",
    "bursts",          "stage and messages", "cooldowns",          "camera and arena",
    "score and combo", "settings and table", "generator and keys", "tally",
};

// All of a body but its energy, which goes with the outcome. Not its pointers,
// which differ between machines, nor what it keeps privately: the segments
// are made from the joints, and the shift sums are empty between frames.
void body(Words& w, const man& m) {
    for (float v : {m.damageFactor, m.cameraWeight, m.scale, m.limbWidth, m.pointSpacing,
                    m.pointRadius, m.headRadius})
        w.add(v);
    for (int v :
         {m.robot, m.team, m.mass, m.number, m.pointCount, m.linkCount, m.jointCount, m.heading})
        w.add(v);
    w.add(m.colour);
    for (const Link& l : m.links) {
        w.add(l.a);
        w.add(l.b);
    }
    for (const Joint& j : m.joints) {
        w.add(j.a);
        w.add(j.b);
        w.add(j.c);
    }
    w.add(m.jointRest);
    w.add(m.jointStiffness);
    for (int p = 1; p <= kPointCount; ++p) {
        const ball& b = m.points[p];
        for (int v : {b.hitFlash, b.index, b.ownerNumber})
            w.add(v);
        for (float v : {b.x, b.y, b.prevX, b.prevY, b.vx, b.vy, b.spacing, b.mass, b.radius})
            w.add(v);
    }
}

void burst(Words& w, const dotburst& d) {
    for (int v : {d.tinted, d.kind, d.count, d.active})
        w.add(v);
    w.add(d.colourStep);
    w.add(d.colour);
    w.add(d.dotSize);
    w.add(d.life);
    for (const auto* particles : {&d.px, &d.py, &d.pvx, &d.pvy})
        w.add(*particles);
}

// What the game's input holds for the fight to read. Not where a playback of
// recorded keys stands, which the fight it recorded never had, nor the
// pointer, which no fight reads; the typed characters by what is unread.
void keys(Words& w, const InputState& s) {
    w.bytes(s.presses);
    w.bytes(s.held);
    w.bytes(s.padHolds);
    const std::uint32_t unread = s.writeCount - s.readCount;
    w.bits(unread);
    for (std::uint32_t i = 0; i < unread && i < kTypedQueue; ++i)
        w.bits(s.queue[(s.readCount + i) % kTypedQueue]);
}

}  // namespace

std::uint64_t hashPositions(const gameapp& game) {
    Fnv f;
    for (int i = 1; i <= fightersInPlay(game); ++i) {
        for (int p = 1; p <= kPointCount; ++p) {
            f.real(game.fighters[i].points[p].x);
            f.real(game.fighters[i].points[p].y);
        }
    }
    return f.h;
}

// Left out: paceTime, the clock time at which slow motion last waited, which
// differs from machine to machine and run to run and changes nothing but how
// long a frame waits; the full-screen setting, each machine's own display; the
// media and the recorder, which the fight uses but does not carry.
std::array<FightPart, kFightParts> hashFightParts(const gameapp& g) {
    std::array<Words, kFightParts> w;
    const int n = fightersInPlay(g);
    if (n >= 1) body(w[PlayerOne], g.fighters[1]);
    if (n >= 2) body(w[PlayerTwo], g.fighters[2]);
    w[OtherBodies].add(g.fighterCount);
    for (int i = 3; i <= n; ++i)
        body(w[OtherBodies], g.fighters[i]);

    Words& outcome = w[EnergyAndOutcome];
    for (int i = 1; i <= n; ++i) {
        outcome.add(g.fighters[i].energy);
        outcome.add(g.fighters[i].maxEnergy);
        outcome.add(g.fighters[i].dead);
    }
    outcome.add(g.fightResult);
    outcome.add(g.roundState);

    w[Bursts].add(g.burstSlot);
    for (int i = 1; i <= kBurstSlots; ++i)
        burst(w[Bursts], g.bursts[i]);

    Words& stage = w[StageAndMessages];
    stage.add(g.mode);
    stage.add(g.matchState);
    for (int v :
         {g.level, g.stateStartFrame, g.frameCount, g.messageTimer, g.nameCursor, g.paletteRows})
        stage.add(v);
    stage.add(g.slowMotionTimer);
    stage.add(g.speedFactor);
    stage.add(g.message);
    stage.add(g.playerName);
    // Only the elements the game numbers from 1 and uses: the name's 15
    // letters, the palette's rows of red, green and blue.
    for (int i = 1; i <= kNameLetters; ++i)
        stage.add(g.nameChars[i]);
    for (int r = 1; r <= kPaletteRows; ++r) {
        for (int c = 1; c <= 3; ++c) {
            stage.add(g.paletteStep[r][c]);
            stage.add(g.palette[r][c]);
        }
    }

    for (const auto* table : {&g.hitCooldown, &g.contactCooldown, &g.sparkCooldown})
        for (const auto& row : *table)
            w[Cooldowns].add(row);
    w[Cooldowns].add(g.lastContactFrame);

    for (float v :
         {g.cameraX, g.cameraY, g.zoom, g.arenaRight, g.arenaLeft, g.arenaTop, g.arenaBottom})
        w[CameraAndArena].add(v);

    for (std::int64_t v : {g.score, g.totalScore, std::int64_t{g.comboCounter},
                           std::int64_t{g.maxCombo}, std::int64_t{g.levelStartScore}})
        w[ScoreAndCombo].add(v);

    Words& settings = w[SettingsAndTable];
    for (int v : {g.settingSpare1, g.playersSpeed, g.flexibility, g.settingSpare2, g.blowPower,
                  g.plasmaEffects, g.slowMotion, g.soundsVolume, g.settingSpare3, g.gravity,
                  g.aiLevel, g.blood})
        settings.add(v);
    settings.add(static_cast<std::int64_t>(g.highScores.size()));
    for (const ScoreEntry& e : g.highScores) {
        settings.add(e.score);
        settings.add(e.name);
    }

    w[GeneratorAndKeys].add(randomState());
    keys(w[GeneratorAndKeys], saveInput().state);

    w[Tally].add(g.wins[1]);
    w[Tally].add(g.wins[2]);

    std::array<FightPart, kFightParts> parts;
    for (std::size_t i = 0; i < parts.size(); ++i)
        parts[i] = {kPartNames[i], w[i].hash()};
    return parts;
}

std::uint64_t hashFight(const gameapp& game) {
    Words all;
    for (const FightPart& part : hashFightParts(game))
        all.add(static_cast<std::int64_t>(part.hash));
    return all.hash();
}
