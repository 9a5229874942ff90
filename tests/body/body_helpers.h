// Small helpers for driving bodies in tests without the match loop.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/gameapp.h"
#include "tests/support/body_hash.h"

namespace bodytest {

using ::hashPositions;

// The arena of a fight with arena factor f.
inline void setArena(gameapp& g, double f) {
    g.arenaRight = static_cast<float>(512.0 * f);
    g.arenaLeft = static_cast<float>(-512.0 * f);
    g.arenaTop = static_cast<float>(-384.0 * f);
    g.arenaBottom = static_cast<float>(384.0 * f);
}

// What the fight set-up gives a body before setUp, then setUp itself.
inline man& makeFighter(gameapp& g, int number, float scale, int fighterCount, int robot = 0) {
    man& m = g.fighters[number];
    m.game = &g;
    m.number = number;
    m.scale = scale;
    m.robot = robot;
    m.setUp(fighterCount);
    return m;
}

// Puts every point of the body at (x, y), at rest.
inline void placeAll(man& m, float x, float y) {
    for (int i = 1; i <= kPointCount; ++i) {
        ball& p = m.points[i];
        p.x = p.prevX = x;
        p.y = p.prevY = y;
        p.vx = p.vy = 0.0f;
    }
}

// One fighter's share of a frame, after savePositions.
inline void stepBody(gameapp& g, man& m) {
    m.step(g.gravity, g.speedFactor, g.flexibility);
    m.tickFlashes();
}

// The bodies' part of a whole fight frame, in the match loop's order.
inline void stepFight(gameapp& g) {
    for (int i = 1; i <= g.fighterCount; ++i)
        g.fighters[i].savePositions();
    g.controlPlayerOne();
    if (g.mode == "2vs" || g.mode == "2coop") g.controlPlayerTwo();
    g.steerComputerFighters();
    for (int i = 1; i <= g.fighterCount; ++i)
        stepBody(g, g.fighters[i]);
}

inline double linkLength(const man& m, int link) {
    const ball& a = m.points[m.links[link].a];
    const ball& b = m.points[m.links[link].b];
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

// The largest relative deviation of any link from its rest length.
inline double worstLinkError(const man& m) {
    double worst = 0.0;
    for (int l = 0; l < kLinkCount; ++l) {
        const double rest =
            static_cast<double>(m.points[m.links[l].a].spacing) + m.points[m.links[l].b].spacing;
        worst = std::fmax(worst, std::fabs(linkLength(m, l) - rest) / rest);
    }
    return worst;
}

}  // namespace bodytest
