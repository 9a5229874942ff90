// The arena: its walls and the grid drawn in layers behind the fight.
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

// The lines of one direction: spaced along one screen axis, each running
// across the other between the arena's edges `from` and `to`.
struct GridAxis {
    bool vertical;
    double firstWorld;  // world position of the first line
    int count;          // lines after the first
    double screenEnd;   // screen size on this axis
    double low, high;   // the arena's snapped edges on this axis
    float from, to;     // the arena's edges across the lines
    float otherEnd;     // screen size across the lines
};

void gridSegment(bool vertical, float at, float a, float b) {
    if (vertical) {
        drawLine(at, a, at, b, 1);
    } else {
        drawLine(a, at, b, at, 1);
    }
}

void drawGridLines(const GridAxis& axis, const ScreenMapping& layer, double b) {
    for (int i = 0; i <= axis.count; ++i) {
        const double world = axis.firstWorld + i * kLineSpacing;
        const double s = snap(axis.vertical ? layer.x(world) : layer.y(world));
        if (!(0.0 < s && s < axis.screenEnd)) continue;
        const float at = static_cast<float>(s);
        if (s > axis.high || s < axis.low) {
            setWallTint(b);
        } else {
            setDrawColor(0, toInt(b), toInt(b / 2.0));
        }
        gridSegment(axis.vertical, at, axis.from, axis.to);
        setWallTint(b);
        gridSegment(axis.vertical, at, 0.0f, axis.from - 1.0f);
        gridSegment(axis.vertical, at, axis.to, axis.otherEnd);
    }
}

}  // namespace

// A receding grid behind the arena: farther layers scroll and zoom less and
// are darker, which gives the flat scene its depth.
void gameapp::drawArena() {
    const ScreenMapping screen = view(zoom);
    const double sL = snap(screen.x(arenaLeft));
    const double sT = snap(screen.y(arenaTop));
    const double sR = snap(screen.x(arenaRight));
    const double sB = snap(screen.y(arenaBottom));
    const double width = static_cast<double>(arenaRight) - arenaLeft;
    const double height = static_cast<double>(arenaBottom) - arenaTop;
    const double q = power(kDepthBase, 1.0 / (kLayers * 1.0));

    setDrawColor(kWallGrey, kWallGrey, kWallGrey);
    drawRect(static_cast<float>(sL), static_cast<float>(sB), static_cast<float>(sR - sL), 384.0f);
    drawRect(static_cast<float>(sR), 0.0f, 512.0f, 768.0f);
    drawRect(static_cast<float>(sL), 0.0f, static_cast<float>(sR - sL), static_cast<float>(sT));
    drawRect(0.0f, 0.0f, static_cast<float>(sL), 768.0f);

    const int columns = linesAcross(width);
    const int rows = linesAcross(height);
    const float left = static_cast<float>(sL);
    const float top = static_cast<float>(sT);
    const float right = static_cast<float>(sR);
    const float bottom = static_cast<float>(sB);
    // Each set of lines is centred on the arena.
    const GridAxis verticals{true,    arenaLeft - (columns * kLineSpacing - width) / 2.0,
                             columns, 1024.0,
                             sL,      sR,
                             top,     bottom,
                             768.0f};
    const GridAxis horizontals{
        false,  arenaTop - (rows * kLineSpacing - height) / 2.0, rows, 768.0, sT, sB, left, right,
        1024.0f};

    // The nearest layer is drawn last, over the farther ones.
    for (int k = kLayers - 1; k >= 0; --k) {
        const double d = power(q, k);
        const double spread = 1.0 / zoom + 1.0 / d;
        const double zl = 1.0 / spread;
        const double b = std::min(255.0, 255.0 * kBrightness / spread);
        const ScreenMapping layer{screen.cameraX, screen.cameraY, zl};
        drawGridLines(verticals, layer, b);
        drawGridLines(horizontals, layer, b);
    }
}
