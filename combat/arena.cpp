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
    double camera;      // camera position on this axis
    double centre;      // screen centre on this axis
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

void drawGridLines(const GridAxis& axis, double zl, double b) {
    for (int i = 0; i <= axis.count; ++i) {
        const double world = axis.firstWorld + i * kLineSpacing;
        const double s = snap((world - axis.camera) * zl + axis.centre);
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

    const int columns = linesAcross(width);
    const int rows = linesAcross(height);
    const float left = static_cast<float>(sL);
    const float top = static_cast<float>(sT);
    const float right = static_cast<float>(sR);
    const float bottom = static_cast<float>(sB);
    // Each set of lines is centred on the arena.
    const GridAxis verticals{true,    arenaLeft - (columns * kLineSpacing - width) / 2.0,
                             columns, camX,
                             512.0,   1024.0,
                             sL,      sR,
                             top,     bottom,
                             768.0f};
    const GridAxis horizontals{false,  arenaTop - (rows * kLineSpacing - height) / 2.0,
                               rows,   camY,
                               384.0,  768.0,
                               sT,     sB,
                               left,   right,
                               1024.0f};

    // The nearest layer is drawn last, over the farther ones.
    for (int k = kLayers - 1; k >= 0; --k) {
        const double d = power(q, k);
        const double spread = 1.0 / zoom + 1.0 / d;
        const double zl = 1.0 / spread;
        const double b = std::min(255.0, 255.0 * kBrightness / spread);
        drawGridLines(verticals, zl, b);
        drawGridLines(horizontals, zl, b);
    }
}
