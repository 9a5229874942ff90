// Fights with the settings at the ends of the integer range, as prefs.fwk, a
// recording or the other side may give them: they play through, and the
// sanitizers see nothing undefined on the way.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>

#include "persist/settings_table.h"
#include "runtime/sound.h"
#include "tests/support/fight_fixture.h"

namespace {

using ExtremeSettings = fighttest::FightTest;

constexpr float kSlack = 50.0f;  // world pixels the last contacts may part points past a wall

TEST_F(ExtremeSettings, EachAtIntMinAndIntMaxAndAllAtOncePlayThrough) {
    // Drawn and sounded, so the drawing and the mixer take the ends too.
    g.media.spark = fighttest::loadSpark();
    g.media.blow = loadSound("incbin::blow.wav", 0);
    g.media.block = loadSound("incbin::block.wav", 0);
    for (int run = 0; run < 2 * (kSettingCount + 1); ++run) {
        g.setDefaultSettings();
        for (int j = 0; j < kSettingCount; ++j) {
            if (run / 2 == j || run / 2 == kSettingCount)
                g.*kSettings[static_cast<std::size_t>(j)].field = run % 2 == 0 ? INT_MIN : INT_MAX;
        }
        SCOPED_TRACE(testing::Message() << "run " << run << ": " << settingOutOfRange(g));
        setUp("1", 3);
        holdKey(KeyRight, true);
        frames(100);
        // The computers heaped on player 1, so that points meet and blows can land.
        for (int i = 0; i < 20; ++i) {
            const ball& pelvis = g.fighters[1].points[kPelvis];
            for (const std::size_t f : {2u, 3u}) {
                for (ball& p : g.fighters[f].points) {
                    p.x = pelvis.x;
                    p.y = pelvis.y;
                }
            }
            playFightFrame(g);
        }
        holdKey(KeyRight, false);
        std::array<std::int16_t, 2 * 4096> sound{};
        headless.mix(sound.data(), 4096);

        EXPECT_EQ(g.frameCount, 120);
        for (int f = 1; f <= 3; ++f) {
            const man& m = g.fighters[static_cast<std::size_t>(f)];
            EXPECT_TRUE(m.energy >= 0.0f && m.energy <= m.maxEnergy) << f << " " << m.energy;
            // Not a number fails these too.
            for (const ball& b : m.points) {
                EXPECT_TRUE(b.x >= g.arenaLeft - kSlack && b.x <= g.arenaRight + kSlack) << b.x;
                EXPECT_TRUE(b.y >= g.arenaTop - kSlack && b.y <= g.arenaBottom + kSlack) << b.y;
            }
        }
        // However much BLOOD asks for, a burst holds its 51 drops.
        int fullBursts = 0;
        for (const dotburst& burst : g.bursts)
            fullBursts += burst.kind == kBloodBurst && burst.count == kBurstCapacity ? 1 : 0;
        EXPECT_EQ(fullBursts > 0, g.blood == INT_MAX);
    }
}

}  // namespace
