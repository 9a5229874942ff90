// A fight on the headless platform: a game object with the default settings,
// the window open, and helpers to step frames and read back what was drawn.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "app/gameapp.h"
#include "app/match_loop.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "tests/support/body_hash.h"
#include "tests/support/headless_fixture.h"

namespace fighttest {

using ::hashPositions;

// One recorded primitive with its vertices copied out.
struct Shape {
    Primitive::Kind kind = Primitive::Clear;
    Paint paint;
    std::vector<float> xy;  // x0, y0, x1, y1, ...
    float x = 0, y = 0, w = 0, h = 0;

    int vertices() const { return static_cast<int>(xy.size() / 2); }
    float minX() const { return extreme(0, -1); }
    float maxX() const { return extreme(0, 1); }
    float minY() const { return extreme(1, -1); }
    float maxY() const { return extreme(1, 1); }
    float centreX() const { return (minX() + maxX()) / 2; }
    float centreY() const { return (minY() + maxY()) / 2; }
    bool colour(int r, int g, int b) const { return paint.r == r && paint.g == g && paint.b == b; }

  private:
    float extreme(std::size_t axis, int sign) const {
        float best = xy[axis];
        for (std::size_t i = axis; i < xy.size(); i += 2) {
            if (sign < 0 ? xy[i] < best : xy[i] > best) best = xy[i];
        }
        return best;
    }
};

inline std::vector<Shape> shapes(const HeadlessPlatform& platform,
                                 const std::vector<Primitive>& frame) {
    const std::vector<float>& coords = platform.coords(frame);
    std::vector<Shape> out;
    for (const Primitive& p : frame) {
        Shape s;
        s.kind = p.kind;
        s.paint = p.paint;
        s.x = p.x;
        s.y = p.y;
        s.w = p.w;
        s.h = p.h;
        for (int i = 0; i < p.count; ++i) {
            s.xy.push_back(coords[static_cast<std::size_t>(2 * (p.first + i))]);
            s.xy.push_back(coords[static_cast<std::size_t>(2 * (p.first + i) + 1)]);
        }
        out.push_back(s);
    }
    return out;
}

inline std::vector<Shape> only(const std::vector<Shape>& all, Primitive::Kind kind) {
    std::vector<Shape> out;
    for (const Shape& s : all) {
        if (s.kind == kind) out.push_back(s);
    }
    return out;
}

// The spark picture as start-up loads it.
inline Image* loadSpark() {
    addEmbeddedResources();
    return loadImage("incbin::spark.png");
}

class FightTest : public HeadlessTest {
  protected:
    FightTest() : game(std::make_unique<gameapp>()), g(*game) {
        openWindow();
        g.setDefaultSettings();
        base = headless.framesPresented();
    }

    // The presented-frame number at which fight frame `frame` first polls input.
    int at(int frame) const { return base + frame; }

    void setUp(const char* mode, int level) {
        g.mode = mode;
        g.level = level;
        g.setUpFight();
    }
    void frames(int count) {
        for (int i = 0; i < count; ++i)
            playFightFrame(g);
    }

    std::unique_ptr<gameapp> game;
    gameapp& g;
    int base = 0;
};

}  // namespace fighttest
