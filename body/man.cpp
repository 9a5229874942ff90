// A fighter's body: its points, links and joints, sized and placed for a fight.
#include "body/man.h"

#include "app/gameapp.h"
#include "runtime/numbers.h"

namespace {

constexpr std::array<Link, kLinkCount> kLinks{{
    {1, 2},   {2, 3},   {3, 4},   {4, 5},   {5, 6},    // first leg up to the pelvis
    {6, 7},   {7, 8},   {8, 9},   {9, 10},  {10, 11},  // second leg down from the pelvis
    {6, 12},  {12, 13}, {13, 14}, {14, 15}, {15, 16},  // spine, neck and head
    {14, 17}, {17, 18}, {18, 19}, {19, 20},            // first arm
    {14, 21}, {21, 22}, {22, 23}, {23, 24},            // second arm
    {1, 25},  {11, 26},                                // toes
}};

constexpr std::array<Joint, kJointCount> kJoints{{
    {1, 2, 3},    {2, 3, 4},    {3, 4, 5},    {4, 5, 6},    {5, 6, 7},
    {6, 7, 8},    {7, 8, 9},    {8, 9, 10},   {9, 10, 11},  {5, 6, 12},
    {7, 6, 12},   {6, 12, 13},  {12, 13, 14}, {13, 14, 15}, {14, 15, 16},
    {13, 14, 17}, {14, 17, 18}, {17, 18, 19}, {18, 19, 20}, {13, 14, 21},
    {14, 21, 22}, {21, 22, 23}, {22, 23, 24}, {25, 1, 2},   {10, 11, 26},
}};

// The legs hang 20 degrees to either side of the spine; the arms leave the
// shoulders at right angles, one to each side.
constexpr std::array<float, kJointCount> kRest{
    180.0f, 180.0f, 180.0f, 180.0f, 180.0f, 180.0f, 180.0f, 180.0f, 180.0f,
    200.0f, 160.0f, 180.0f, 180.0f, 180.0f, 180.0f, 90.0f,  180.0f, 180.0f,
    180.0f, -90.0f, 180.0f, 180.0f, 180.0f, 180.0f, 180.0f,
};

// Knees and elbows are the soft spots of a normal body; a robot's only give
// at the hips and shoulders.
constexpr std::array<float, kJointCount> kNormalStiffness{
    1.0f, 0.1f, 1.0f, 1.0f, 0.0f,  1.0f, 1.0f, 0.1f, 1.0f,  0.3f, 0.3f, 0.4f, 0.4f,
    0.4f, 0.1f, 0.1f, 1.0f, 0.05f, 1.0f, 0.1f, 1.0f, 0.05f, 1.0f, 1.0f, 1.0f,
};

constexpr std::array<float, kJointCount> kRobotStiffness{
    1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.2f, 0.2f, 1.0f, 1.0f,
    1.0f, 1.0f, 0.1f, 1.0f, 1.0f, 1.0f, 0.1f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
};

}  // namespace

man::man() : links(kLinks), joints(kJoints), jointRest(kRest), jointStiffness(kNormalStiffness) {
    findSegments();
}

void man::lowerCameraWeight() {
    if (dead == 0) return;
    cameraWeight = static_cast<float>(cameraWeight - 0.01);
    if (cameraWeight < 0.0f) cameraWeight = 0.0f;
}

void man::setUp(int fighterCount) {
    const double s = scale;
    cameraWeight = 1.0f;
    dead = 0;
    limbWidth = static_cast<float>(2.0 * s);
    pointSpacing = static_cast<float>(4.0 * s);
    pointRadius = static_cast<float>(4.0 * s);
    headRadius = static_cast<float>(9.0 * s);
    mass = toInt(s * s);
    maxEnergy = static_cast<float>(5.0 * s * s);
    energy = maxEnergy;

    // Each fighter starts in its own column, 256 px apart and centred on 0;
    // the constraints gather the scattered points into shape in the first frames.
    const double column = (number - fighterCount / 2.0) * 1024.0 / 4.0;
    for (int i = 1; i <= kPointCount; ++i) {
        ball& p = points[i];
        p = ball{};
        p.spacing = pointSpacing;
        p.radius = pointRadius;
        p.index = i;
        p.ownerNumber = number;
        p.x = static_cast<float>(randomFloat() * 200.0 - 100.0 + column);
        p.y = static_cast<float>(randomInt(0, 768));
        p.vx = 1.0f;
        p.vy = 1.0f;
        p.mass = static_cast<float>(mass);
        p.game = game;
        p.owner = this;
    }
    points[kHead].radius = headRadius;

    damageFactor = 1.0f;
    if (robot != 0) {
        damageFactor = 2.0f;
        maxEnergy = static_cast<float>(2.0 * maxEnergy);
        energy = maxEnergy;
        jointStiffness = kRobotStiffness;
        colour = Colour{0, 70, 70, 90};
    }
}
