// Contacts between fighters' points: blows, combos, sparks, sounds, bounces and slow motion.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "app/fighters_in_play.h"
#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/sound.h"

namespace {

constexpr int kContactFrames = 2;   // a pair's contact events come at most every second frame
constexpr int kSparkFrames = 10;    // and its sparks and block sound every tenth
constexpr int kHitFrames = 10;      // a blow by the same attacker on the same victim likewise
constexpr int kMessageFrames = 60;  // blow and combo messages
constexpr int kHitFlashFrames = 60;
constexpr int kHitPauseMillis = 200;
constexpr float kSlowMotionFrames = 30.0f;
constexpr int kPaceMillis = 33;  // frames at least this far apart in slow motion
constexpr int kSparkParticles = 20;
constexpr float kSparkSpread = 2.0f;
constexpr float kBloodSpread = 3.0f;
constexpr int kBlowOnFirst = 10;       // the second fighter hit the first
constexpr int kBlowOnSecond = 1;       // the first fighter hit the second
constexpr int kDoubleBlow = 11;        // both at once
constexpr int kBlowsCountAfter = 100;  // frames of intro in which no blow counts

// The outer three points of each leg, the toes, the arms beyond their first
// point and the head deal damage; the other points, and the head, take it.
constexpr std::array<bool, kPointCount + 1> kDamaging = [] {
    std::array<bool, kPointCount + 1> d{};
    for (int p : {1, 2, 3, 9, 10, 11, 16, 18, 19, 20, 22, 23, 24, 25, 26})
        d[static_cast<std::size_t>(p)] = true;
    return d;
}();

bool damaging(int index) {
    return index >= 1 && index <= kPointCount && kDamaging[static_cast<std::size_t>(index)];
}

int& entry(CooldownTable& table, int i, int j) {
    return table[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

bool expired(int cooldown) { return cooldown < 1; }

// Squared distances only: most of the pairs a frame tests are far apart.
bool touching(const ball& a, const ball& b) {
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    const double reach = static_cast<double>(a.radius) + b.radius;
    return dx * dx + dy * dy < reach * reach;
}

// dy is measured upwards (ay - by), so the y shift takes its opposite. Each
// point moves half the way; they end 0.1 apart.
void pushApart(ball& a, ball& b, double dx, double dy, double d) {
    const double s = static_cast<double>(a.radius) + b.radius - d + 0.1;
    const double px = s * 0.5 * dx / d;
    const double py = -s * 0.5 * dy / d;
    a.x = static_cast<float>(a.x - px);
    a.y = static_cast<float>(a.y - py);
    b.x = static_cast<float>(b.x + px);
    b.y = static_cast<float>(b.y + py);
}

// Takes (jx, jy) of velocity from a and gives it to b, each in proportion to
// the other's mass: a's share is 2 mb / (ma + mb), b's the rest of 2.
void exchange(ball& a, ball& b, double jx, double jy) {
    const double wa = 2.0 * b.mass / (static_cast<double>(a.mass) + b.mass);
    const double wb = 2.0 - wa;
    a.vx = static_cast<float>(a.vx - jx * wa);
    a.vy = static_cast<float>(a.vy - jy * wa);
    b.vx = static_cast<float>(b.vx + jx * wb);
    b.vy = static_cast<float>(b.vy + jy * wb);
}

// Team mates, the dead and a pair on contact cooldown bounce elastically. The
// slope is taken with y upwards while the velocities have it downwards, which
// is how the fighters have always bounced.
void bounce(ball& a, ball& b) {
    double dx = static_cast<double>(b.x) - a.x;
    double dy = -(static_cast<double>(b.y) - a.y);
    if (dx == 0.0) dx = 1e-8;
    if (dy == 0.0) dy = 1e-8;
    double d = std::sqrt(dx * dx + dy * dy);
    if (d == 0.0) d = 1e-5;
    pushApart(a, b, dx, dy, d);
    const double q = dy / dx;
    const double j =
        -((static_cast<double>(b.vy) - a.vy) + (static_cast<double>(b.vx) - a.vx) / q) /
        (q + 1.0 / q);
    exchange(a, b, j, q * j);
}

// Prepared, given its volume, then started, so the volume holds from the first sample.
void play(Sound* sound, float volume) {
    const Voice voice = prepareSound(sound);
    setVoiceVolume(voice, volume);
    startVoice(voice);
}

void advanceBurstSlot(gameapp& game) {
    game.burstSlot = game.burstSlot >= kBurstSlots ? 1 : game.burstSlot + 1;
}

dotburst& currentBurst(gameapp& game) {
    return game.bursts[static_cast<std::size_t>(game.burstSlot)];
}

// The point a blow landed on, for the blood that follows.
struct Struck {
    ball* point = nullptr;
    const man* owner = nullptr;
};

}  // namespace

void gameapp::resolveContacts() {
    const int n = fightersInPlay(*this);
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            for (CooldownTable* table : {&hitCooldown, &contactCooldown, &sparkCooldown}) {
                int& cooldown = entry(*table, i, j);
                if (cooldown >= 0) cooldown -= 1;
            }
        }
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            man& first = fighters[static_cast<std::size_t>(i)];
            man& second = fighters[static_cast<std::size_t>(j)];
            for (int pa = 1; pa <= kPointCount; ++pa) {
                ball& a = first.points[static_cast<std::size_t>(pa)];
                for (int pb = 1; pb <= kPointCount; ++pb) {
                    ball& b = second.points[static_cast<std::size_t>(pb)];
                    // Tested here as well, so the many pairs apart cost no call.
                    if (touching(a, b)) collideBalls(a, b, first, second);
                }
            }
        }
    }
}

void gameapp::collideBalls(ball& a, ball& b, man& first, man& second) {
    // Neither a contact event nor a bounce can happen between points apart.
    if (!touching(a, b)) return;
    const int fa = first.number;
    const int fb = second.number;
    int& contact = entry(contactCooldown, fa, fb);
    const bool opponents = first.team != second.team && first.dead == 0 && second.dead == 0;

    if (opponents && expired(contact)) {
        contact = kContactFrames;
        const bool aHits = damaging(a.index);
        const bool bHits = damaging(b.index);
        int& spark = entry(sparkCooldown, fa, fb);
        const bool sparkReady = expired(spark);

        if (plasmaEffects == 1 && expired(spark)) {
            spark = kSparkFrames;
            lastContactFrame = frameCount;
            const double midX = (static_cast<double>(a.x) + b.x) / 2.0;
            const double midY = (static_cast<double>(a.y) + b.y) / 2.0;
            currentBurst(*this).spawn(static_cast<float>(midX), static_cast<float>(midY), 0.0f,
                                      0.0f, kSparkParticles, kPlasmaBurst, kSparkSpread, this, 0);
            advanceBurstSlot(*this);
        }

        int hitCode = 0;
        Struck struck;
        if (frameCount > kBlowsCountAfter && roundState == 0) {
            const auto land = [&](int& cooldown, const char* text, ball& point, const man& owner,
                                  int code) {
                cooldown = kHitFrames;
                message = text;
                messageTimer = kMessageFrames;
                // The freeze marks a blow at the start of slow motion, not every blow in it.
                if (slowMotion > 0 && slowMotionTimer <= 0.0f) sleepMillis(kHitPauseMillis);
                point.hitFlash = kHitFlashFrames;
                hitCode += code;
                struck = Struck{&point, &owner};
            };
            int& onFirst = entry(hitCooldown, fb, fa);
            int& onSecond = entry(hitCooldown, fa, fb);
            if (bHits && !aHits && expired(onFirst))
                land(onFirst, "BODY BLOW!", a, first, kBlowOnFirst);
            if (a.index == kHead && bHits && expired(onFirst))
                land(onFirst, "HEAD BLOW!", a, first, kBlowOnFirst);
            if (aHits && !bHits && expired(onSecond))
                land(onSecond, "BODY BLOW!", b, second, kBlowOnSecond);
            if (b.index == kHead && aHits && expired(onSecond))
                land(onSecond, "HEAD BLOW!", b, second, kBlowOnSecond);
        }

        if (slowMotion > 0) slowMotionTimer = kSlowMotionFrames;

        const float volume = static_cast<float>(soundsVolume / 10.0);
        if (hitCode > 0 && soundsVolume > 0) {
            play(media.blow, volume);
        } else if (hitCode == 0 && soundsVolume > 0 && sparkReady) {
            play(media.block, volume);
        }

        if (hitCode > 0) applyBlow(a.ownerNumber, b.ownerNumber, hitCode);

        // Two points at the very same place have no direction between them;
        // the tiny distance keeps the push and the throw finite (zero), and
        // the bounce below then parts them.
        const double dx = static_cast<double>(b.x) - a.x;
        const double dy = -(static_cast<double>(b.y) - a.y);
        double d = std::sqrt(dx * dx + dy * dy);
        if (d == 0.0) d = 1e-5;
        pushApart(a, b, dx, dy, d);

        // Thrown apart along the line they met on, harder with more blow power.
        exchange(a, b, 250.0 * (dx / d) * blowPower / 5.0, 250.0 * (-dy / d) * blowPower / 5.0);

        if (hitCode > 0) {
            const ball& bleeding = *struck.point;
            // Counted in 64 bits: a BLOOD from a hand-edited file or the other side
            // may be anything, and a burst holds what it can anyway.
            const int drops = static_cast<int>(
                std::clamp<std::int64_t>(std::int64_t{blood} * 10, 0, kBurstCapacity));
            currentBurst(*this).spawn(bleeding.x, bleeding.y,
                                      static_cast<float>(bleeding.vx / 35.0),
                                      static_cast<float>(bleeding.vy / 35.0), drops, kBloodBurst,
                                      kBloodSpread, this, struck.owner->robot);
        }
        advanceBurstSlot(*this);
    }

    const bool bounces =
        first.team == second.team || first.dead != 0 || second.dead != 0 || contact > 0;
    if (bounces && touching(a, b)) bounce(a, b);
}

void gameapp::applyBlow(int first, int second, int code) {
    // The computer's side never builds a run: its blows always count as 1.
    if (mode == kModeOnePlayer || mode == kModeCoop) comboCounter = maxInt(0, comboCounter);
    man& one = fighters[static_cast<std::size_t>(first)];
    man& two = fighters[static_cast<std::size_t>(second)];
    const auto comboMessage = [this](int run) {
        message = intToText(run);
        message += " HIT COMBO!";
        messageTimer = kMessageFrames;
    };

    if (code == kDoubleBlow) {
        comboCounter = 0;
        message = "DOUBLE BLOW!";
        messageTimer = kMessageFrames;
        one.energy = static_cast<float>(one.energy - 1.0 * two.damageFactor);
        two.energy = static_cast<float>(two.energy - 1.0 * one.damageFactor);
    }
    if (code == kBlowOnFirst) {
        comboCounter = comboCounter <= 0 ? comboCounter - 1 : -1;
        if (comboCounter <= -2) comboMessage(-comboCounter);
        one.energy =
            static_cast<float>(one.energy - static_cast<double>(-comboCounter) * two.damageFactor);
    }
    if (code == kBlowOnSecond) {
        comboCounter = comboCounter >= 0 ? comboCounter + 1 : 1;
        if (comboCounter >= 2) comboMessage(comboCounter);
        two.energy =
            static_cast<float>(two.energy - static_cast<double>(comboCounter) * one.damageFactor);
        // Squared in 32 bits, as the score has always been counted, then added in 64.
        score = wrapAdd64(score, wrapMul32(wrapMul32(comboCounter, comboCounter), 1000));
        maxCombo = maxInt(maxCombo, comboCounter);
    }

    const int n = fightersInPlay(*this);
    for (int i = 1; i <= n; ++i) {
        man& fighter = fighters[static_cast<std::size_t>(i)];
        if (fighter.energy < 0.0f) fighter.energy = 0.0f;
    }
}

void gameapp::updateSlowMotion() {
    speedFactor = 1.0f;
    if (slowMotionTimer >= 0.0f) {
        slowMotionTimer = static_cast<float>(slowMotionTimer - 1.0);
        speedFactor = static_cast<float>(1.0 / (1.0 + slowMotion / 2.5));
    }
}

// Sleeps out the rest of the 33 ms instead of spinning on the clock. The
// difference wraps like the clock, so a paceTime ahead of the clock or long
// gone reads as 33 ms or more and nothing waits.
void gameapp::paceSlowMotion() {
    if (slowMotionTimer < 0.0f) return;
    const std::uint32_t elapsed =
        static_cast<std::uint32_t>(clockMillis()) - static_cast<std::uint32_t>(paceTime);
    if (elapsed < static_cast<std::uint32_t>(kPaceMillis))
        sleepMillis(kPaceMillis - static_cast<int>(elapsed));
    paceTime = clockMillis();
}
