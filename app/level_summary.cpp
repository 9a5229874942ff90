// The level summary: combo, bonus and total counted over after a won level.
#include <array>
#include <cstdint>

#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

// The count-up runs over these frames of the summary: the combo score and the
// bonus drain away while the total climbs from the level's start to its end.
constexpr int kCountStart = 300;
constexpr int kCountEnd = 420;
constexpr double kCountFrames = kCountEnd - kCountStart;

struct SummaryRow {
    const char* label;
    int y;
    int labelAfter;  // the label shows once t passes this
    int valueAfter;  // and the value once t passes this
};

constexpr std::array<SummaryRow, 4> kRows = {{
    {"MAX COMBO: ", 240, 60, 90},
    {"COMBO SCORE: ", 340, 120, 150},
    {"ENERGY BONUS: ", 440, 180, 210},
    {"TOTAL SCORE: ", 540, 240, 270},
}};

constexpr float kLabelX = 100;
constexpr float kValueRight = 924;
constexpr float kRowScale = 5;

}  // namespace

void gameapp::showLevelSummary(int e) {
    drainKeys();
    const int t = static_cast<int>(static_cast<unsigned>(e) + 1u);
    const int bonus = levelWinBonus();
    cyclePalette();

    int comboScore = 0;
    int energyBonus = 0;
    int total = 0;
    if (t < kCountStart) {
        comboScore = low32(score);
        energyBonus = bonus;
        total = levelStartScore;
    } else if (t <= kCountEnd) {
        const int left = kCountEnd - t;
        const int gone = t - kCountStart;
        comboScore = toInt(static_cast<double>(wrapMul64(score, left)) / kCountFrames);
        energyBonus = toInt(static_cast<double>(std::int64_t{bonus} * left) / kCountFrames);
        // 64-bit products: a large starting score must not wrap mid-count.
        const double from =
            static_cast<double>(std::int64_t{levelStartScore} * left) / kCountFrames;
        const double to = static_cast<double>(wrapMul64(totalScore, gone)) / kCountFrames;
        total = toInt(static_cast<float>(from + to));
    } else {
        total = low32(totalScore);
    }
    const std::array<int, 4> values = {maxCombo, comboScore, energyBonus, total};

    setDrawColor(palette[1][1], palette[1][2], palette[1][3]);
    setDrawScale(7, 7);
    const std::string heading = "LEVEL " + intToText(level) + " COMPLETED";
    drawString(heading, centredX(heading, 7), 50);
    setDrawScale(kRowScale, kRowScale);
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const SummaryRow& row = kRows[i];
        const float y = static_cast<float>(row.y);
        if (t > row.labelAfter) drawString(row.label, kLabelX, y);
        if (t > row.valueAfter) {
            const std::string value = intToText(values[i]);
            drawString(value,
                       kValueRight - static_cast<float>(toInt(stringWidth(value) * kRowScale)), y);
        }
    }
    setDrawScale(1, 1);
}
