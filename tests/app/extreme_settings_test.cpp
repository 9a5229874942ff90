// Fights with each setting at the ends of the integer range, as prefs.fwk,
// a recording or the other side may give them: they play through, and the
// sanitizers see nothing undefined on the way.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "persist/settings_table.h"
#include "runtime/sound.h"
#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;

constexpr float kSlack = 50.0f;  // world pixels

class ExtremeSettings : public FightTest {
  protected:
    // Drawn and sounded as the player sees it, so the drawing and the mixer
    // take the settings' ends too.
    ExtremeSettings() {
        g.media.spark = fighttest::loadSpark();
        g.media.blow = loadSound("incbin::blow.wav", 0);
        g.media.block = loadSound("incbin::block.wav", 0);
    }

    // A one-player fight of three, the computers heaped on player 1 after the
    // intro so that points meet and blows can land.
    void playFight() {
        setUp("1", 3);
        holdKey(KeyRight, true);
        holdKey(KeyUp, true);
        frames(100);
        for (int i = 0; i < 20; ++i) {
            for (int f = 2; f <= 3; ++f) {
                for (ball& p : g.fighters[static_cast<std::size_t>(f)].points) {
                    p.x = g.fighters[1].points[kPelvis].x;
                    p.y = g.fighters[1].points[kPelvis].y;
                }
            }
            playFightFrame(g);
        }
        holdKey(KeyRight, false);
        holdKey(KeyUp, false);
        // The blows' sounds at whatever volume the setting gave them.
        std::array<std::int16_t, 2 * 4096> out{};
        headless.mix(out.data(), 4096);
    }
};

TEST_F(ExtremeSettings, EachAtIntMinAndIntMaxPlaysThrough) {
    std::vector<std::vector<int>> runs;
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        for (const int extreme : {INT_MIN, INT_MAX}) {
            std::vector<int> values(kSettings.size(), 0);
            for (std::size_t j = 0; j < kSettings.size(); ++j)
                values[j] = i == j ? extreme : kSettings[j].byDefault;
            runs.push_back(values);
        }
    }
    runs.push_back(std::vector<int>(kSettings.size(), INT_MIN));
    runs.push_back(std::vector<int>(kSettings.size(), INT_MAX));

    for (std::size_t r = 0; r < runs.size(); ++r) {
        g.setDefaultSettings();
        for (std::size_t j = 0; j < kSettings.size(); ++j)
            g.*kSettings[j].field = runs[r][j];
        playFight();
        SCOPED_TRACE(testing::Message() << "run " << r << ": " << settingOutOfRange(g));
        EXPECT_EQ(g.frameCount, 120);
        for (int f = 1; f <= 3; ++f) {
            const man& m = g.fighters[static_cast<std::size_t>(f)];
            EXPECT_TRUE(m.energy >= 0.0f && m.energy <= m.maxEnergy) << f << " " << m.energy;
            // Not a number would fail these too: the walls held every point, bar
            // the last frame's contacts parting points a little past them.
            for (int p = 1; p <= kPointCount; ++p) {
                const ball& b = m.points[static_cast<std::size_t>(p)];
                EXPECT_TRUE(b.x >= g.arenaLeft - kSlack && b.x <= g.arenaRight + kSlack)
                    << f << " " << p << " " << b.x;
                EXPECT_TRUE(b.y >= g.arenaTop - kSlack && b.y <= g.arenaBottom + kSlack)
                    << f << " " << p << " " << b.y;
            }
        }
        // A burst holds 51 drops, however much BLOOD asks for.
        int fullBursts = 0;
        for (int b = 1; b <= kBurstSlots; ++b) {
            const dotburst& burst = g.bursts[static_cast<std::size_t>(b)];
            if (burst.kind == kBloodBurst && burst.count == kBurstCapacity) ++fullBursts;
        }
        EXPECT_EQ(fullBursts > 0, g.blood == INT_MAX);
    }
}

}  // namespace
