// Contacts: blows, combos, sounds, sparks, bounces and slow motion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "tests/support/fight_fixture.h"

namespace {

using std::tuple;

// A fight at frame 150 whose fighters stand still, 1000 px apart: only the
// points a test puts together touch.
class Contacts : public fighttest::FightTest {
  protected:
    Contacts() {
        addEmbeddedResources();
        media = {nullptr, loadSound("incbin::blow.wav", 0), loadSound("incbin::block.wav", 0)};
        start("1");
    }
    // A fresh game, as cooldowns and slow motion carry over from fight to fight.
    void start(const char* mode) {
        g = gameapp{};
        g.setDefaultSettings();
        g.media = media;
        setUp(mode, 1);
        g.frameCount = 150;
    }
    ball& pt(int f, int p) { return g.fighters[f].points[p]; }
    // One frame of contacts with point pa of fighter fa still at the origin and
    // point pb of fighter fb, still, at (x, y), 5 px away unless given.
    void touch(int fa, int pa, int fb, int pb, float x = 3.0f, float y = 4.0f, float avx = 0.0f) {
        for (int i = 1; i <= g.fighterCount; ++i) {
            for (ball& p : g.fighters[i].points)
                p.x = 1000.0f * i, p.y = 0.0f;
        }
        pt(fa, pa).x = pt(fa, pa).y = pt(fa, pa).vy = pt(fb, pb).vx = pt(fb, pb).vy = 0.0f;
        pt(fa, pa).vx = avx;
        pt(fb, pb).x = x, pt(fb, pb).y = y;
        g.resolveContacts();
        ++g.frameCount;
    }
    int pauses() const {
        const auto all = headless.sleeps();
        return static_cast<int>(std::count(all.begin(), all.end(), 200));
    }
    Media media;
};

TEST_F(Contacts, TheWorkedRunInModeOne) {
    g.fighters[2].damageFactor = 2.0f;
    touch(1, 1, 2, 6, 16.0f, 0.0f);  // radius to radius is not yet touching
    for (int f = 0; f <= 20; ++f) {
        touch(1, 1, 2, 6);  // ankle on pelvis every frame: a blow every 10th
        EXPECT_EQ(g.comboCounter, 1 + f / 10) << f;
        if (f == 10) {
            EXPECT_EQ(g.message, "2 HIT COMBO!");
        }
    }
    EXPECT_EQ(tuple(g.message, g.fighters[2].energy, g.score), tuple("3 HIT COMBO!", 14.0f, 14000));
    touch(1, 6, 2, 1);  // the computer strikes back, doubly hard, once the
    touch(1, 6, 2, 1);  // pair's contact cooldown lets it through
    EXPECT_EQ(tuple(g.message, g.comboCounter, g.fighters[1].energy),
              tuple("BODY BLOW!", -1, 18.0f));
    for (int f = 23; f <= 30; ++f)
        touch(1, 1, 2, 6);
    EXPECT_EQ(tuple(g.comboCounter, g.score, g.maxCombo), tuple(1, 15000, 3));
}

TEST_F(Contacts, HeadAgainstHeadIsADoubleBlowWithTwoPauses) {
    g.fighters[2].damageFactor = 2.0f;
    g.fighters[1].energy = 1.5f;  // and never goes below 0
    touch(1, 16, 2, 16);
    EXPECT_EQ(tuple(g.message, g.comboCounter, g.fighters[1].energy, g.fighters[2].energy),
              tuple("DOUBLE BLOW!", 0, 0.0f, 19.0f));
    EXPECT_EQ(tuple(pt(1, 16).hitFlash, pt(2, 16).hitFlash, pauses(), g.slowMotionTimer),
              tuple(60, 60, 2, 30.0f));
}

TEST_F(Contacts, AnkleOnPelvisCountsOnlyAfterTheIntro) {
    // Frame 100: pushed apart and thrown, the lighter point harder; a spark
    // burst, the block sound and no blow.
    g.frameCount = 100;
    g.media.blow = nullptr;
    pt(2, 6).mass = 12.0f;
    touch(1, 1, 2, 6);
    EXPECT_EQ(tuple(g.fighters[2].energy, activeVoices(), g.burstSlot, g.bursts[1].kind),
              tuple(20.0f, 1, 3, 1));
    EXPECT_EQ(tuple(pt(1, 1).x, pt(2, 6).y, pt(1, 1).vy, pt(2, 6).vx),
              tuple(-3.33f, 8.44f, -300.0f, 75.0f));

    // Frame 150, blow power 10, a robot struck: the blow sound, and yellow
    // blood thrown with the struck point's new velocity.
    stopAllVoices();
    start("1");
    g.media.block = nullptr;
    g.blowPower = 10;
    g.fighters[2].robot = 1;
    touch(1, 1, 2, 6);
    EXPECT_EQ(tuple(g.message, g.fighters[2].energy, activeVoices(), pt(2, 6).hitFlash),
              tuple("BODY BLOW!", 19.0f, 1, 60));
    const dotburst& blood = g.bursts[2];
    EXPECT_EQ(tuple(blood.kind, blood.tinted, blood.count), tuple(0, 1, 30));
    for (int i = 1; i <= blood.count; ++i)
        EXPECT_NEAR(blood.pvy[i], 400.0 / 35.0, 3.0);

    start("1");
    g.roundState = 1;  // once the fight is decided, nothing counts
    touch(1, 1, 2, 6);
    EXPECT_EQ(g.fighters[2].energy, 20.0f);

    // The spark takes the 13th slot, and the contact's own step the 14th, the last.
    start("1");
    g.frameCount = 100;
    g.burstSlot = 13;
    touch(1, 1, 2, 6);
    EXPECT_EQ(tuple(g.bursts[13].kind, g.burstSlot), tuple(1, 1));
}

TEST_F(Contacts, OnlyInVersusDoesPlayerTwoBuildARunAndNeverScores) {
    for (const char* mode : {"1", "2vs"}) {
        start(mode);
        for (int f = 0; f <= 20; ++f)
            touch(1, 6, 2, 1);
        const bool versus = g.mode == "2vs";
        EXPECT_EQ(tuple(g.comboCounter, g.message, g.fighters[1].energy, g.score),
                  versus ? tuple(-3, "3 HIT COMBO!", 14.0f, 0) : tuple(-1, "BODY BLOW!", 17.0f, 0));
    }
    touch(1, 1, 2, 6);
    touch(1, 1, 2, 6);  // the pair's contact cooldown lets every second frame through
    EXPECT_EQ(tuple(g.comboCounter, g.score), tuple(1, 1000));
}

TEST_F(Contacts, TeamMatesAndTheDeadOnlyBounce) {
    start("2coop");
    g.fighters[3].dead = 1;
    for (int other : {2, 3}) {
        touch(1, 1, other, 6, 3.0f, 4.0f, 5.0f);
        // The slope's flipped sign sends the lower point up.
        EXPECT_EQ(tuple(pt(1, 1).vx, pt(1, 1).vy, pt(other, 6).vy, g.fighters[other].energy,
                        g.burstSlot, activeVoices()),
                  tuple(3.2f, 2.4f, -2.4f, 20.0f, 1, 0));
    }
}

TEST_F(Contacts, OptionsAtZeroAndPointsAtOnePlace) {
    g.blood = g.soundsVolume = g.slowMotion = 0;
    g.slowMotionTimer = -1.0f;
    touch(1, 1, 2, 6);
    EXPECT_EQ(
        tuple(g.bursts[2].active, g.bursts[2].count, activeVoices(), pauses(), g.slowMotionTimer),
        tuple(1, 0, 0, 0, -1.0f));

    // Without sparks their cooldown stays expired: every contact event blocks.
    start("1");
    g.plasmaEffects = 0;
    g.frameCount = 100;
    for (int f = 0; f < 4; ++f)
        touch(1, 1, 2, 6);
    EXPECT_EQ(tuple(activeVoices(), g.sparkCooldown[1][2], g.bursts[1].active), tuple(2, -1, 0));
    // With them, the block sound waits for the spark's cooldown as the spark does.
    stopAllVoices();
    start("1");
    g.frameCount = 0;
    for (int f = 0; f < 4; ++f)
        touch(1, 1, 2, 6);
    EXPECT_EQ(activeVoices(), 1);

    // Two points of opponents at one place: the contact divides by no zero
    // distance, and the bounce then parts them.
    start("1");
    touch(1, 1, 2, 6, 0.0f, 0.0f);
    const ball& a = pt(1, 1);
    const ball& b = pt(2, 6);
    for (float v : {a.vx, a.vy, b.vx, b.vy})
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_GE(std::hypot(a.x - b.x, a.y - b.y), 16.0);
}

TEST_F(Contacts, SlowMotionSlowsThirtyOneFramesAndPacesThemBySleeping) {
    g.slowMotion = 10;
    g.slowMotionTimer = 30.0f;
    for (int f = 0; f < 32; ++f) {
        g.updateSlowMotion();
        EXPECT_FLOAT_EQ(g.speedFactor, f < 31 ? 0.2f : 1.0f) << f;
    }
    g.slowMotionTimer = 0.0f;
    for (int ahead : {-10, 1000}) {
        g.paceTime = clockMillis() + ahead;  // 10 ms ago, then ahead of the clock
        g.paceSlowMotion();
    }
    EXPECT_EQ(headless.sleeps(), std::vector<int>{23});
}

}  // namespace
