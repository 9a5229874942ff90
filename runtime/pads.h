// Game pads, turned into the keys the game already reads. The first pad
// connected drives player 1 and the second player 2; a pad unplugged and
// plugged back gets its player back. A pad's d-pad and left stick hold that
// player's four direction keys (arrows for player 1, W A S D for player 2);
// A holds Enter, B holds Esc, and Start holds Enter in the menus and P in a
// fight. The platform reports the pads; nothing above the input state knows
// they exist, but the match loop says when a fight's keys are in force.
#pragma once

#include <cstdint>
#include <string>

enum PadButton : int { PadA, PadB, PadStart, PadUp, PadDown, PadLeft, PadRight, PadButtons };

// Stick positions beyond this (of 32767) count as a push; a resting stick
// rarely reads exactly 0.
constexpr int kStickDeadZone = 10000;

// `pad` is the platform's number for a connected pad; `identity` names the
// model and port well enough to recognise it when it comes back.
void onPadAdded(int pad, const std::string& identity);
void onPadRemoved(int pad);
void onPadButton(int pad, PadButton button, bool down);
// The left stick, x to the right and y downwards, each -32768..32767.
void onPadStick(int pad, int x, int y);

// While a fight runs, Start pauses instead of confirming.
void setFightKeys(bool inFight);

// The player (1 or 2) a connected pad drives, 0 for none.
int padPlayer(int pad);
void resetPads();  // tests
