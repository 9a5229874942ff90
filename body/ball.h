// One point mass of a fighter body: a disc with a position, the position it
// had at the start of the frame, a velocity, a mass and a radius.
#pragma once

#include <array>

class gameapp;
class man;

// Which wall a point touched; the codes equal the Direction pushing away from it.
enum ArenaSide : int { SideNone = 0, SideFloor = 1, SideCeiling = 2, SideRight = 3, SideLeft = 4 };

using Colour = std::array<int, 4>;  // red, green, blue in elements 1..3

class ball {
  public:
    gameapp* game = nullptr;
    int hitFlash = 0;     // frames of hit tint left
    int index = 0;        // number within the body, 1..26
    int ownerNumber = 0;  // the owning fighter's number in the match
    man* owner = nullptr;
    float x = 0.0f, y = 0.0f;          // world pixels
    float prevX = 0.0f, prevY = 0.0f;  // position at the start of the frame
    float vx = 0.0f, vy = 0.0f;        // pixels per time step
    float spacing = 0.0f;              // half the rest length of each link touching this point
    float mass = 0.0f;                 // used only as a ratio
    float radius = 20.0f;

    void tickFlash();
    void updateVelocity(float dt);
    void savePosition();
    void draw(const Colour& colour, float zoom);
    void drawSquare(const Colour& colour, float zoom);
    void move(float dt);
    void applyGravity(int gravity);
    ArenaSide keepInArena();
};
