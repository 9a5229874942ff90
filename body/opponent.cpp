// The computer opponent: whom it aims at and when it swings.
#include "body/opponent.h"

#include "app/fighters_in_play.h"
#include "app/game_texts.h"
#include "app/gameapp.h"
#include "body/control.h"
#include "body/man.h"
#include "runtime/numbers.h"

int aimHeading(double aim, int heading) {
    if (aim > 337.5 || aim < 22.5) return DirRight;
    if (aim > 22.5 && aim < 67.5) return DirUpRight;
    if (aim > 67.5 && aim < 112.5) return DirUp;
    if (aim > 112.5 && aim < 157.5) return DirUpLeft;
    if (aim > 157.5 && aim < 202.5) return DirLeft;
    if (aim > 202.5 && aim < 247.5) return DirDownLeft;
    if (aim > 247.5 && aim < 292.5) return DirDown;
    if (aim > 292.5 && aim < 337.5) return DirDownRight;
    return heading;
}

// Pushing diagonally whips the body round towards the target's side.
int swingHeading(double sdx, double sdy, int side, int heading) {
    if (side == 0) return heading;
    const bool left = side < 0;
    if (sdx > 0.0 && sdy > 0.0) return left ? DirUpRight : DirDownLeft;
    if (sdx > 0.0 && sdy < 0.0) return left ? DirUpLeft : DirDownRight;
    if (sdx < 0.0 && sdy > 0.0) return left ? DirDownRight : DirUpLeft;
    if (sdx < 0.0 && sdy < 0.0) return left ? DirDownLeft : DirUpRight;
    return heading;
}

int targetSide(double angle) { return angle > 20.0 ? 1 : (angle < -20.0 ? -1 : 0); }

void man::steer(int aiLevel, float /*dt*/, int speed, float targetX, float targetY, float targetVX,
                float targetVY) {
    const ball& pelvis = points[kPelvis];
    const ball& shoulders = points[kShoulders];
    ball& head = points[kHead];

    double sumVX = 0.0, sumVY = 0.0, sumX = 0.0, sumY = 0.0;
    for (int i = 1; i <= kPointCount; ++i) {
        sumVX += points[i].vx;
        sumVY += points[i].vy;
        sumX += points[i].x;
        sumY += points[i].y;
    }
    const double avgVX = sumVX / kPointCount;
    const double avgVY = sumVY / kPointCount;
    const double avgX = sumX / kPointCount;
    const double avgY = sumY / kPointCount;

    // Now and then, head for a target that is far away.
    const double toX = static_cast<double>(targetX) - pelvis.x;
    const double toY = static_cast<double>(targetY) - pelvis.y;
    const double aim = wrap360(atan2Deg(-toY, toX));
    const int reAim = randomInt(0, 100);
    if (reAim <= 10 && toX * toX + toY * toY > 400.0 * 400.0) heading = aimHeading(aim, heading);

    // Which side of the head-to-pelvis axis the target is on.
    const double axis =
        atan2Deg(-(static_cast<double>(pelvis.y) - head.y), static_cast<double>(pelvis.x) - head.x);
    const double toTarget =
        atan2Deg(-(static_cast<double>(targetY) - head.y), static_cast<double>(targetX) - head.x);
    const int side = targetSide(wrap180(axis - toTarget));

    // Will the two pelvises meet within the next 18 frames?
    bool close = false;
    for (int j = 0; j <= 6; ++j) {
        const double ahead = 3.0 * j;
        const double ownX = pelvis.x + avgVX * ahead;
        const double ownY = pelvis.y + avgVY * ahead;
        const double theirX = targetX + static_cast<double>(targetVX) * ahead;
        const double theirY = targetY + static_cast<double>(targetVY) * ahead;
        const double dx = ownX - theirX;
        const double dy = ownY - theirY;
        if (dx * dx + dy * dy < 250.0 * 250.0) close = true;
    }

    // Higher skill swings more often: 2^aiLevel chances in 1024.
    const int swing = randomInt(1, toInt(power(2.0, 10.0)));
    if (swing <= power(2.0, aiLevel) && close) {
        heading = swingHeading(static_cast<double>(shoulders.x) - avgX,
                               static_cast<double>(shoulders.y) - avgY, side, heading);
    }

    pushComputer(head, heading, speed);
}

int gameapp::coopTarget(int fighter) const {
    const ball& own = fighters[fighter].points[kPelvis];
    const ball& one = fighters[1].points[kPelvis];
    const ball& two = fighters[2].points[kPelvis];
    if (fighters[2].dead != 0) return 1;
    const double dx1 = static_cast<double>(one.x) - own.x;
    const double dy1 = static_cast<double>(one.y) - own.y;
    const double dx2 = static_cast<double>(two.x) - own.x;
    const double dy2 = static_cast<double>(two.y) - own.y;
    if (fighters[1].dead != 0 || dx1 * dx1 + dy1 * dy1 >= dx2 * dx2 + dy2 * dy2) return 2;
    return 1;
}

void gameapp::steerComputerFighters() {
    const int n = fightersInPlay(*this);
    if (mode == kModeOnePlayer) {
        const ball& target = fighters[1].points[kPelvis];
        for (int i = 2; i <= n; ++i) {
            if (fighters[i].dead != 0) continue;
            fighters[i].steer(aiLevel, speedFactor, playersSpeed, target.x, target.y, target.vx,
                              target.vy);
        }
    } else if (mode == kModeCoop) {
        for (int i = 3; i <= n; ++i) {
            const int t = coopTarget(i);
            if (fighters[i].dead != 0) continue;
            const ball& target = fighters[t].points[kPelvis];
            fighters[i].steer(aiLevel, speedFactor, playersSpeed, target.x, target.y, target.vx,
                              target.vy);
        }
    }
}
