// One point of a body: velocity, movement, gravity, flashes and the arena's walls.
#include "body/ball.h"

#include "app/gameapp.h"

void ball::tickFlash() {
    if (hitFlash >= 1) hitFlash -= 1;
}

// The velocity is whatever the frame's move and constraints actually did, so
// corrections turn into swing.
void ball::updateVelocity(float dt) {
    vx = static_cast<float>((static_cast<double>(x) - prevX) / dt);
    vy = static_cast<float>((static_cast<double>(y) - prevY) / dt);
}

void ball::savePosition() {
    prevX = x;
    prevY = y;
}

void ball::move(float dt) {
    x = static_cast<float>(x + static_cast<double>(vx) * dt);
    y = static_cast<float>(y + static_cast<double>(vy) * dt);
}

void ball::applyGravity(int gravity) { vy = static_cast<float>(vy + 0.04 * gravity); }

ArenaSide ball::keepInArena() {
    // A point not yet set up has no arena to be kept in.
    if (game == nullptr) return SideNone;
    constexpr double kBounce = 0.5;  // restitution against the wall
    constexpr double kScrape = 0.5;  // what survives of the velocity along the wall
    const double r = radius;
    ArenaSide side = SideNone;
    // Strict tests: a point exactly touching a wall is left alone.
    if (x > game->arenaRight - r) {
        x = static_cast<float>(game->arenaRight - r);
        vx = static_cast<float>(-kBounce * vx);
        vy = static_cast<float>(kScrape * vy);
        side = SideRight;
    }
    if (x < game->arenaLeft + r) {
        x = static_cast<float>(game->arenaLeft + r);
        vx = static_cast<float>(-kBounce * vx);
        vy = static_cast<float>(kScrape * vy);
        side = SideLeft;
    }
    if (y > game->arenaBottom - r) {
        y = static_cast<float>(game->arenaBottom - r);
        vy = static_cast<float>(-kBounce * vy);
        vx = static_cast<float>(kScrape * vx);
        side = SideFloor;
    }
    if (y < game->arenaTop + r) {
        y = static_cast<float>(game->arenaTop + r);
        vy = static_cast<float>(-kBounce * vy);
        vx = static_cast<float>(kScrape * vx);
        side = SideCeiling;
    }
    return side;
}
