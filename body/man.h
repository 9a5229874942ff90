// One fighter: 26 points held in the shape of a stick figure by 25 distance
// links and 25 angle joints, plus its energy, side and colours.
#pragma once

#include <array>

#include "body/ball.h"

class gameapp;

// Pushes on the head, shared by the players and the computer opponent. The
// wall codes of ArenaSide use the same numbers.
enum Direction : int {
    DirUp = 1,
    DirDown = 2,
    DirLeft = 3,
    DirRight = 4,
    DirDownRight = 5,
    DirUpLeft = 6,
    DirUpRight = 7,
    DirDownLeft = 8,
};

struct Link {
    int a, b;
};
struct Joint {
    int a, b, c;  // the angle is measured at b
};
struct LinkShift {
    float dxa, dya, dxb, dyb;
};
struct JointShift {
    float dxa, dya, dxb, dyb, dxc, dyc;
};
// How a link's correction is shared by its two points: 1 + ma / mb and 1 + mb / ma.
struct MassShares {
    double a, b;
};

constexpr int kPointCount = 26;
constexpr int kLinkCount = 25;
constexpr int kJointCount = 25;
constexpr int kHead = 16;
constexpr int kPelvis = 6;
constexpr int kShoulders = 14;

class man {
  public:
    float damageFactor = 0.0f;  // multiplier of the damage this fighter deals
    int robot = 0;
    gameapp* game = nullptr;
    float cameraWeight = 0.0f;  // lowered while dead so the camera lets go
    int dead = 0;
    int team = 0;  // 1 the players' side, 0 the computer's
    float maxEnergy = 0.0f;
    int mass = 1;
    Colour colour{};
    float energy = 20.0f;
    int number = 0;  // place 1..n in the fight
    float scale = 2.0f;
    float limbWidth = 4.0f;
    float pointSpacing = 8.0f;
    float pointRadius = 8.0f;
    float headRadius = 18.0f;
    int pointCount = kPointCount;
    std::array<Link, kLinkCount> links{};
    int linkCount = kLinkCount;
    std::array<Joint, kJointCount> joints{};
    std::array<float, kJointCount> jointRest{};       // degrees, 180 = straight
    std::array<float, kJointCount> jointStiffness{};  // 0 never acts
    int jointCount = kJointCount;
    int heading = DirUp;                         // the computer's push, or the last wall touched
    std::array<ball, kPointCount + 1> points{};  // elements 1..26

    man();

    void lowerCameraWeight();
    void setUp(int fighterCount);
    void draw(float alpha, float zoom);
    void moveAll(float dt);
    void tickFlashes();
    void applyGravity(int gravity);
    void keepInArena();
    void updateVelocities(float dt);
    void savePositions();
    LinkShift linkCorrection(const ball& a, const ball& b) const;
    void relaxLinks();
    JointShift jointCorrection(const ball& a, const ball& b, const ball& c, float rest,
                               float stiffness, float dt, int flexibility) const;
    // The same, with the headings of a->b and b->c and the joint's factor
    // already worked out.
    JointShift jointCorrection(const ball& a, const ball& b, const ball& c, double alpha1,
                               double alpha2, float rest, double factor, float dt) const;
    LinkShift linkCorrection(const ball& a, const ball& b, const MassShares& shares) const;
    static double jointFactor(float stiffness, int flexibility);
    static MassShares massShares(const ball& a, const ball& b);
    void relaxJoints(float dt, int flexibility);
    void steer(int aiLevel, float dt, int speed, float targetX, float targetY, float targetVX,
               float targetVY);
    void relax(float dt, int flexibility);
    // The body's own frame once the controls have pushed it: gravity, move,
    // constraints, velocities and walls. The match loop draws it next.
    void step(int gravity, float dt, int flexibility);
    void drawLimb(int link, const Colour& colour, float zoom);

  private:
    // Adds each point's summed shift to its position and clears the sums.
    void applyShifts();
    // The joints' segments, each direction once: joints share most of them,
    // and a pass moves no point until all are done, so each heading is worked
    // out once a pass. Made from `joints` when the body is made.
    void findSegments();
    // What the 32 passes of a frame share.
    struct Relaxation {
        std::array<MassShares, kLinkCount> linkShares;
        std::array<double, kJointCount> jointFactors;
    };
    void prepareRelaxation(Relaxation& r, int flexibility) const;
    void relaxJoints(float dt, const Relaxation& r);
    void relaxLinks(const Relaxation& r);
    std::array<Link, 2 * kJointCount> segments{};
    int segmentCount = 0;
    std::array<std::array<int, 2>, kJointCount> jointSegments{};  // a->b, b->c

    // Per-point sums of one constraint pass, kept to avoid allocating per pass.
    std::array<float, kPointCount + 1> shiftX{};
    std::array<float, kPointCount + 1> shiftY{};
};

double wrap360(double v);
double wrap180(double v);
