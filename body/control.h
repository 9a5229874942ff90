// Pushing a fighter's head: the players' keys and the computer's heading both
// end up here. The arithmetic takes the key state as a plain value so it can be
// driven without a window.
#pragma once

#include "body/ball.h"

// The four push keys of one player, held or not this frame.
struct PushKeys {
    bool right = false;
    bool left = false;
    bool down = false;
    bool up = false;
};

// Pushes the head in a Direction (1..8; anything else does nothing), each
// component only while the head is slower than `bound` in that direction.
// The horizontal part goes first; the vertical test sees what it left.
void pushHead(ball& head, int direction, double push, double bound);

// Player one: capped at twice the speed setting per axis.
void pushPlayerOne(ball& head, PushKeys keys, int speed);

// Player two: no cap, so a held key keeps accelerating the head.
void pushPlayerTwo(ball& head, PushKeys keys, int speed);

// The computer's push of its heading, with the cap as an integer.
void pushComputer(ball& head, int heading, int speed);
