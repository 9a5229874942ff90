#include <algorithm>
#include <cmath>

#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/numbers.h"

namespace {

constexpr int kLayers = 10;
constexpr double kLineSpacing = 1000.0;
constexpr double kDepthBase = 0.05;
constexpr double kBrightness = 2.0;
constexpr int kWallGrey = 112;
// A sane arena needs a handful of lines; this only guards against absurd bounds.
constexpr int kMaxLines = 1000;

// The nearest whole pixel, halves going up.
double snap(double v) {
    const double whole = std::floor(v);
    return v - whole >= 0.5 ? whole + 1.0 : whole;
}

int linesAcross(double extent) {
    const int n = toInt(std::ceil(extent / kLineSpacing) + 1.0);
    return minInt(n, kMaxLines);
}

void setWallTint(double b) {
    setDrawColor(kWallGrey, toInt(kWallGrey + b * 0.2), toInt(kWallGrey + b / 2.0 * 0.2));
}

}  // namespace

// A receding grid behind the arena: farther layers scroll and zoom less and
// are darker, which gives the flat scene its depth.
void gameapp::drawArena() {
    const double camX = cameraX;
    const double camY = cameraY;
    const auto screenX = [camX](double v, double z) { return (v - camX) * z + 512.0; };
    const auto screenY = [camY](double v, double z) { return (v - camY) * z + 384.0; };

    const double sL = snap(screenX(arenaLeft, zoom));
    const double sT = snap(screenY(arenaTop, zoom));
    const double sR = snap(screenX(arenaRight, zoom));
    const double sB = snap(screenY(arenaBottom, zoom));
    const double width = static_cast<double>(arenaRight) - arenaLeft;
    const double height = static_cast<double>(arenaBottom) - arenaTop;
    const double q = power(kDepthBase, 1.0 / (kLayers * 1.0));

    setDrawColor(kWallGrey, kWallGrey, kWallGrey);
    drawRect(static_cast<float>(sL), static_cast<float>(sB), static_cast<float>(sR - sL), 384.0f);
    drawRect(static_cast<float>(sR), 0.0f, 512.0f, 768.0f);
    drawRect(static_cast<float>(sL), 0.0f, static_cast<float>(sR - sL), static_cast<float>(sT));
    drawRect(0.0f, 0.0f, static_cast<float>(sL), 768.0f);

    const float left = static_cast<float>(sL);
    const float top = static_cast<float>(sT);
    const float right = static_cast<float>(sR);
    const float bottom = static_cast<float>(sB);
    const int columns = linesAcross(width);
    const int rows = linesAcross(height);

    // The nearest layer is drawn last, over the farther ones.
    for (int k = kLayers - 1; k >= 0; --k) {
        const double d = power(q, k);
        const double spread = 1.0 / zoom + 1.0 / d;
        const double zl = 1.0 / spread;
        const double b = std::min(255.0, 255.0 * kBrightness / spread);

        for (int i = 0; i <= columns; ++i) {
            const double wx = arenaLeft - (columns * kLineSpacing - width) / 2.0 + i * kLineSpacing;
            const double sx = snap(screenX(wx, zl));
            if (!(0.0 < sx && sx < 1024.0)) continue;
            const float x = static_cast<float>(sx);
            if (sx > sR || sx < sL) {
                setWallTint(b);
            } else {
                setDrawColor(0, toInt(b), toInt(b / 2.0));
            }
            drawLine(x, top, x, bottom, 1);
            setWallTint(b);
            drawLine(x, 0.0f, x, top - 1.0f, 1);
            drawLine(x, bottom, x, 768.0f, 1);
        }

        for (int j = 0; j <= rows; ++j) {
            const double wy = arenaTop - (rows * kLineSpacing - height) / 2.0 + j * kLineSpacing;
            const double sy = snap(screenY(wy, zl));
            if (!(0.0 < sy && sy < 768.0)) continue;
            const float y = static_cast<float>(sy);
            if (sy > sB || sy < sT) {
                setWallTint(b);
            } else {
                setDrawColor(0, toInt(b), toInt(b / 2.0));
            }
            drawLine(left, y, right, y, 1);
            setWallTint(b);
            drawLine(0.0f, y, left - 1.0f, y, 1);
            drawLine(right, y, 1024.0f, y, 1);
        }
    }
}
