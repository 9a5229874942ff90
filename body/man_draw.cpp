// Drawing a fighter: limbs, points, wristbands and the tints of blows.
#include <algorithm>
#include <array>
#include <cmath>

#include "app/gameapp.h"
#include "body/man.h"
#include "body/world.h"
#include "runtime/graphics.h"
#include "runtime/numbers.h"

namespace {

// Back to front, walked from the last entry to the first: a positive entry is
// a point, zero or a negative entry -k is link k. Element 0 is unused.
constexpr std::array<int, 52> kDrawingOrder{
    0,   -23, 25, 1,   2,  0,   3,  -1,  4,  -2,  5,  -3,  -24, 26,  11,  10,  -9,  9,
    -8,  8,   -7, 7,   -6, -22, 24, 23,  22, -21, 21, -20, -18, 20,  19,  18,  -17, 17,
    -16, 16,  15, -14, 14, -13, 13, -12, 12, -11, 6,  -4,  -5,  -10, -15, -19,
};

// The two forearm-to-hand links show the fighter's energy.
constexpr int kWristbandLinkA = 18;
constexpr int kWristbandLinkB = 22;

Colour tintOf(const man* body) {
    return (body != nullptr && body->robot != 0) ? Colour{0, 255, 255, 0} : Colour{0, 255, 0, 0};
}

// The camera of the fight a body belongs to; a body outside a fight is drawn
// around the world origin.
struct ScreenMap {
    ScreenMapping mapping;

    ScreenMap(const gameapp* game, float zoom)
        : mapping(game != nullptr ? game->view(zoom) : ScreenMapping{0.0, 0.0, zoom}) {}
    float x(double worldX) const { return static_cast<float>(mapping.x(worldX)); }
    float y(double worldY) const { return static_cast<float>(mapping.y(worldY)); }
};

// The point a robot's square is turned towards: its neighbour towards the body.
int squareReference(int index) {
    switch (index) {
        case 16:
            return 15;
        case 20:
            return 19;
        case 24:
            return 23;
        case 25:
            return 1;
        case 26:
            return 11;
        default:
            return 0;
    }
}

}  // namespace

void man::draw(float alpha, float zoom) {
    // The wristbands run from the body colour at full energy to the tint at none.
    const double t = maxEnergy > 0.0f ? 1.0 - static_cast<double>(energy) / maxEnergy : 0.0;
    const Colour tint = tintOf(this);
    Colour band{};
    for (int i = 1; i <= 3; ++i)
        band[i] = toInt(colour[i] - colour[i] * t + t * tint[i]);

    setBlendMode(Translucent);
    setDrawAlpha(alpha);
    for (int entry = 51; entry >= 1; --entry) {
        const int e = kDrawingOrder[static_cast<std::size_t>(entry)];
        if (e > 0) {
            points[static_cast<std::size_t>(e)].draw(colour, zoom);
        } else if (dead == 0) {
            const int link = -e;
            const bool wristband = link == kWristbandLinkA || link == kWristbandLinkB;
            drawLimb(link, wristband ? band : colour, zoom);
        }
    }
    setBlendMode(Cutout);
    setDrawAlpha(1.0f);
}

void man::drawLimb(int link, const Colour& limbColour, float zoom) {
    setDrawColor(limbColour[1], limbColour[2], limbColour[3]);
    if (link < 0 || link >= linkCount || link >= kLinkCount) return;
    const ball& a = points[static_cast<std::size_t>(links[static_cast<std::size_t>(link)].a)];
    const ball& b = points[static_cast<std::size_t>(links[static_cast<std::size_t>(link)].b)];
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    const double half = std::sqrt(dx * dx + dy * dy) / 2.0;
    // Two points on top of each other give the limb no direction: nothing to draw.
    if (!(half > 0.0) || !std::isfinite(half)) return;
    const double q = limbWidth / half;

    const ScreenMap screen(game, zoom);
    const float corners[8] = {
        screen.x(a.x - q * dy), screen.y(a.y + q * dx), screen.x(b.x - q * dy),
        screen.y(b.y + q * dx), screen.x(b.x + q * dy), screen.y(b.y - q * dx),
        screen.x(a.x + q * dy), screen.y(a.y - q * dx),
    };
    drawPolygon(corners, 8);
}

void ball::draw(const Colour& colour, float zoom) {
    // Hit tint in whole numbers, fading from the pure tint at 60 to none at 0.
    const int h = std::clamp(hitFlash, 0, 60);
    const Colour tint = tintOf(owner);
    int c[4] = {0, 0, 0, 0};
    for (int i = 1; i <= 3; ++i)
        c[i] = colour[i] - (colour[i] * h) / 60 + (h * tint[i]) / 60;
    setDrawColor(c[1], c[2], c[3]);

    const ScreenMap screen(game, zoom);
    if (owner != nullptr && owner->robot != 0 && squareReference(index) != 0) {
        drawSquare(colour, zoom);
    } else {
        const float size = static_cast<float>(2.0 * radius * zoom);
        drawOval(screen.x(static_cast<double>(x) - radius),
                 screen.y(static_cast<double>(y) - radius), size, size);
    }
    setDrawColor(255, 255, 255);
}

// The drawing colour is already set by draw.
void ball::drawSquare([[maybe_unused]] const Colour& colour, float zoom) {
    const int reference = squareReference(index);
    if (owner == nullptr || reference == 0) return;
    const ball& ref = owner->points[static_cast<std::size_t>(reference)];
    const double dx = static_cast<double>(x) - ref.x;
    const double dy = static_cast<double>(y) - ref.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    // A point lying on its reference has no direction to turn the square to.
    if (!(length > 0.0) || !std::isfinite(length)) return;
    // Half-side 0.886 r gives the square about the area of the disc it replaces.
    const double h = 0.886 * radius;
    const double ux = h * dx / length;
    const double uy = h * dy / length;

    const ScreenMap screen(game, zoom);
    const float corners[8] = {
        screen.x(x + ux - uy), screen.y(y + uy + ux), screen.x(x - ux - uy), screen.y(y - uy + ux),
        screen.x(x - ux + uy), screen.y(y - uy - ux), screen.x(x + ux + uy), screen.y(y + uy - ux),
    };
    drawPolygon(corners, 8);
}
