// One burst of blood or plasma particles; the game keeps a ring of 14.
#pragma once

#include <array>

class gameapp;

constexpr int kBurstCapacity = 51;

// What a burst throws: its kind.
constexpr int kBloodBurst = 0;
constexpr int kPlasmaBurst = 1;

class dotburst {
  public:
    int tinted = 0;  // robot blood: yellow squares instead of red discs
    gameapp* game = nullptr;
    int kind = kPlasmaBurst;
    std::array<int, 4> colourStep{2, 2, 2, 2};
    float dotSize = 0.0f;  // half a blood particle's size, world pixels
    float life = 0.0f;     // opacity, falling to 0
    int count = kBurstCapacity;
    std::array<float, kBurstCapacity + 1> px{}, py{};    // elements 1..count
    std::array<float, kBurstCapacity + 1> pvx{}, pvy{};  // world pixels per frame
    std::array<int, 3> colour{};                         // plasma colour
    int active = 0;

    void cycleColour();
    void spawn(float x, float y, float baseVx, float baseVy, int particles, int burstKind,
               float spread, gameapp* owner, int tint);
    void draw(float zoom);
    void update();
};
