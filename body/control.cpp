// The players' keys and the computer's steering pushing a fighter's head.
#include "body/control.h"

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

void pushRight(ball& head, double push, double bound) {
    if (head.vx < bound) head.vx = static_cast<float>(head.vx + push);
}
void pushLeft(ball& head, double push, double bound) {
    if (head.vx > -bound) head.vx = static_cast<float>(head.vx - push);
}
void pushDown(ball& head, double push, double bound) {
    if (head.vy < bound) head.vy = static_cast<float>(head.vy + push);
}
void pushUp(ball& head, double push, double bound) {
    if (head.vy > -bound) head.vy = static_cast<float>(head.vy - push);
}

// The players' push: the speed setting over the keys' three-step scale, worked
// out in single precision, where it comes to the speed exactly (4 for speed 4,
// so Left and Right together cancel to exactly 0).
double playerPush(int speed) { return 3.0f * static_cast<float>(speed) * 0.33333334f; }

}  // namespace

void pushHead(ball& head, int direction, double push, double bound) {
    switch (direction) {
        case DirUp:
            pushUp(head, push, bound);
            break;
        case DirDown:
            pushDown(head, push, bound);
            break;
        case DirLeft:
            pushLeft(head, push, bound);
            break;
        case DirRight:
            pushRight(head, push, bound);
            break;
        case DirDownRight:
            pushRight(head, push, bound);
            pushDown(head, push, bound);
            break;
        case DirUpLeft:
            pushLeft(head, push, bound);
            pushUp(head, push, bound);
            break;
        case DirUpRight:
            pushRight(head, push, bound);
            pushUp(head, push, bound);
            break;
        case DirDownLeft:
            pushLeft(head, push, bound);
            pushDown(head, push, bound);
            break;
        default:
            break;
    }
}

void pushPlayerOne(ball& head, PushKeys keys, int speed) {
    const double push = playerPush(speed);
    const double bound = 2.0 * speed;
    if (keys.right) pushHead(head, DirRight, push, bound);
    if (keys.left) pushHead(head, DirLeft, push, bound);
    if (keys.down) pushHead(head, DirDown, push, bound);
    if (keys.up) pushHead(head, DirUp, push, bound);
}

void pushPlayerTwo(ball& head, PushKeys keys, int speed) {
    const double push = playerPush(speed);
    if (keys.right) head.vx = static_cast<float>(head.vx + push);
    if (keys.left) head.vx = static_cast<float>(head.vx - push);
    if (keys.down) head.vy = static_cast<float>(head.vy + push);
    if (keys.up) head.vy = static_cast<float>(head.vy - push);
}

void pushComputer(ball& head, int heading, int speed) {
    // The cap is the integer 2 x speed, wrapped as the game's 32-bit ints wrap.
    const double bound = wrapMul32(2, speed);
    pushHead(head, heading, speed * 3.0 / 3.0, bound);
}

// Once the other side has won, the loser's keys stop working.
void gameapp::controlPlayerOne() {
    if (roundState == 2) return;
    PushKeys keys;
    keys.right = isKeyDown(KeyRight) != 0;
    keys.left = isKeyDown(KeyLeft) != 0;
    keys.down = isKeyDown(KeyDown) != 0;
    keys.up = isKeyDown(KeyUp) != 0;
    pushPlayerOne(fighters[1].points[kHead], keys, playersSpeed);
}

void gameapp::controlPlayerTwo() {
    if (mode != kModeVersus && mode != kModeCoop) return;
    if (roundState == 1) return;
    PushKeys keys;
    keys.right = isKeyDown(KeyD) != 0;
    keys.left = isKeyDown(KeyA) != 0;
    keys.down = isKeyDown(KeyS) != 0;
    keys.up = isKeyDown(KeyW) != 0;
    pushPlayerTwo(fighters[2].points[kHead], keys, playersSpeed);
}
