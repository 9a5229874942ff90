// One simulation step of a fighter: gravity, movement, links and joints relaxed, walls.
#include <cmath>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

// Beyond this many degrees the subtraction loops would crawl (or, once 360 is
// lost in the rounding, never end); such angles are folded exactly first.
constexpr double kFoldLimit = 360.0 * 10000.0;

double foldHuge(double v) { return std::fabs(v) >= kFoldLimit ? std::fmod(v, 360.0) : v; }

}  // namespace

// A NaN or infinite angle has no turn to wrap: it comes back unchanged.
double wrap360(double v) {
    if (!std::isfinite(v)) return v;
    v = foldHuge(v);
    while (v >= 360.0)
        v -= 360.0;
    while (v < 0.0)
        v += 360.0;
    return v;
}

// A NaN or infinite angle has no turn to wrap: it comes back unchanged.
double wrap180(double v) {
    if (!std::isfinite(v)) return v;
    v = foldHuge(v);
    while (v > 180.0)
        v -= 360.0;
    while (v < -180.0)
        v += 360.0;
    return v;
}

void man::savePositions() {
    for (int i = 1; i <= kPointCount; ++i)
        points[i].savePosition();
}

void man::applyGravity(int gravity) {
    for (int i = 1; i <= kPointCount; ++i)
        points[i].applyGravity(gravity);
}

void man::moveAll(float dt) {
    for (int i = 1; i <= kPointCount; ++i)
        points[i].move(dt);
}

void man::updateVelocities(float dt) {
    for (int i = 1; i <= kPointCount; ++i)
        points[i].updateVelocity(dt);
}

void man::tickFlashes() {
    for (int i = 1; i <= kPointCount; ++i)
        points[i].tickFlash();
}

// The last point in body order that touched a wall decides the heading.
void man::keepInArena() {
    for (int i = 1; i <= kPointCount; ++i) {
        const ArenaSide side = points[i].keepInArena();
        if (side > 0) heading = side;
    }
}

LinkShift man::linkCorrection(const ball& a, const ball& b) const {
    return linkCorrection(a, b, massShares(a, b));
}

MassShares man::massShares(const ball& a, const ball& b) {
    const double ma = a.mass;
    const double mb = b.mass;
    return MassShares{1.0 + ma / mb, 1.0 + mb / ma};
}

LinkShift man::linkCorrection(const ball& a, const ball& b, const MassShares& shares) const {
    constexpr double kShare = 0.5;  // half the error goes per call
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d == 0.0) return LinkShift{0.0f, 0.0f, 0.0f, 0.0f};
    const double e = d - (static_cast<double>(a.spacing) + b.spacing);
    const double ux = dx / d;
    const double uy = dy / d;
    return LinkShift{
        static_cast<float>(-e / shares.a * ux * kShare),
        static_cast<float>(-e / shares.a * uy * kShare),
        static_cast<float>(e / shares.b * ux * kShare),
        static_cast<float>(e / shares.b * uy * kShare),
    };
}

void man::applyShifts() {
    for (int i = 1; i <= kPointCount; ++i) {
        points[i].x += shiftX[i];
        points[i].y += shiftY[i];
    }
    shiftX.fill(0.0f);
    shiftY.fill(0.0f);
}

void man::relaxLinks() {
    Relaxation r;
    prepareRelaxation(r, 1);
    relaxLinks(r);
}

void man::relaxLinks(const Relaxation& r) {
    for (int l = 0; l < kLinkCount; ++l) {
        const Link& link = links[l];
        const LinkShift s = linkCorrection(points[link.a], points[link.b], r.linkShares[l]);
        shiftX[link.a] += s.dxa;
        shiftY[link.a] += s.dya;
        shiftX[link.b] += s.dxb;
        shiftY[link.b] += s.dyb;
    }
    applyShifts();
}

// The heading of the segment from one point to the next, as the joints measure it.
static double segmentHeading(const ball& from, const ball& to) {
    return atan2Deg(static_cast<double>(to.y) - from.y, -(static_cast<double>(to.x) - from.x));
}

JointShift man::jointCorrection(const ball& a, const ball& b, const ball& c, float rest,
                                float stiffness, float dt, int flexibility) const {
    return jointCorrection(a, b, c, segmentHeading(a, b), segmentHeading(b, c), rest,
                           jointFactor(stiffness, flexibility), dt);
}

double man::jointFactor(float stiffness, int flexibility) {
    // A flexibility below the options screen's range (only a hand-edited
    // preferences file gives one) would divide by zero or turn joints inside
    // out; 1, the stiffest legal setting, is used instead.
    const int flex = flexibility < 1 ? 1 : flexibility;
    return minReal(0.7, stiffness / static_cast<double>(flex) * 4.0);
}

JointShift man::jointCorrection(const ball& a, const ball& b, const ball& c, double alpha1,
                                double alpha2, float rest, double factor, float dt) const {
    const double dxab = static_cast<double>(b.x) - a.x;
    const double dyab = static_cast<double>(b.y) - a.y;
    const double dxbc = static_cast<double>(c.x) - b.x;
    const double dybc = static_cast<double>(c.y) - b.y;
    const double theta = wrap360(alpha1 - alpha2 + 180.0);
    const double err = wrap180(theta - rest);
    const double m = err / 8.0 / 100.0 * 2.0 * dt * factor;
    // Each point moves across its own segment, and the three moves cancel out.
    return JointShift{
        static_cast<float>(m * dyab),           static_cast<float>(-m * dxab),
        static_cast<float>(-m * (dyab + dybc)), static_cast<float>(m * (dxab + dxbc)),
        static_cast<float>(m * dybc),           static_cast<float>(-m * dxbc),
    };
}

void man::findSegments() {
    segmentCount = 0;
    const auto find = [this](int from, int to) {
        for (int s = 0; s < segmentCount; ++s) {
            if (segments[s].a == from && segments[s].b == to) return s;
        }
        segments[segmentCount] = Link{from, to};
        return segmentCount++;
    };
    for (int j = 0; j < kJointCount; ++j)
        jointSegments[j] = {find(joints[j].a, joints[j].b), find(joints[j].b, joints[j].c)};
}

void man::prepareRelaxation(Relaxation& r, int flexibility) const {
    for (int l = 0; l < kLinkCount; ++l)
        r.linkShares[l] = massShares(points[links[l].a], points[links[l].b]);
    for (int j = 0; j < kJointCount; ++j)
        r.jointFactors[j] = jointFactor(jointStiffness[j], flexibility);
}

void man::relaxJoints(float dt, int flexibility) {
    Relaxation r;
    prepareRelaxation(r, flexibility);
    relaxJoints(dt, r);
}

void man::relaxJoints(float dt, const Relaxation& r) {
    std::array<double, 2 * kJointCount> segmentHeadings;
    for (int s = 0; s < segmentCount; ++s)
        segmentHeadings[s] = segmentHeading(points[segments[s].a], points[segments[s].b]);
    for (int j = 0; j < kJointCount; ++j) {
        const Joint& joint = joints[j];
        const JointShift s = jointCorrection(
            points[joint.a], points[joint.b], points[joint.c], segmentHeadings[jointSegments[j][0]],
            segmentHeadings[jointSegments[j][1]], jointRest[j], r.jointFactors[j], dt);
        shiftX[joint.a] += s.dxa;
        shiftY[joint.a] += s.dya;
        shiftX[joint.b] += s.dxb;
        shiftY[joint.b] += s.dyb;
        shiftX[joint.c] += s.dxc;
        shiftY[joint.c] += s.dyc;
    }
    applyShifts();
}

// Holding 2 and 5 together switches every body's constraints off, as death does.
void man::relax(float dt, int flexibility) {
    if (dead != 0) return;
    if (isKeyDown(Key2) && isKeyDown(Key5)) return;
    // Masses and settings stay put for the frame: what they decide is worked out once.
    Relaxation r;
    prepareRelaxation(r, flexibility);
    for (int pass = 0; pass < 32; ++pass) {
        relaxJoints(dt, r);
        relaxLinks(r);
    }
}

void man::step(int gravity, float dt, int flexibility) {
    applyGravity(gravity);
    moveAll(dt);
    relax(dt, flexibility);
    updateVelocities(dt);
    keepInArena();
}
