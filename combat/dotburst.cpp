// Particle bursts: sparks and blood, thrown, falling and fading.
#include "combat/dotburst.h"

#include <algorithm>

#include "app/gameapp.h"
#include "body/world.h"
#include "runtime/graphics.h"
#include "runtime/numbers.h"

// The plasma colour wanders by the same rule as the screen palette.
void dotburst::cycleColour() {
    for (int c = 0; c <= 2; ++c) {
        if (randomReal(0.0, 1000.0) > 990.0) colourStep[c] = -colourStep[c];
        if (colour[c] > 253) colourStep[c] = -2;
        if (colour[c] < 2) colourStep[c] = 2;
        colour[c] += colourStep[c];
    }
}

void dotburst::spawn(float x, float y, float baseVx, float baseVy, int particles, int burstKind,
                     float spread, gameapp* owner, int tint) {
    tinted = tint;
    game = owner;
    kind = burstKind;
    // The particle storage is fixed; a count outside it is held to what fits.
    count = std::clamp(particles, 0, kBurstCapacity);
    for (int c = 0; c <= 2; ++c)
        colour[c] = randomInt(0, 255);
    active = 1;
    life = 1.0f;
    dotSize = 3.0f;
    for (int i = 1; i <= count; ++i) {
        const double angle = randomFloat() * 360.0;
        const double speed = randomFloat() * static_cast<double>(spread) * 2.0 - spread;
        px[i] = x;
        py[i] = y;
        pvx[i] = static_cast<float>(cosDeg(angle) * speed + baseVx);
        pvy[i] = static_cast<float>(sinDeg(angle) * speed + baseVy);
    }
}

// Particles move a full step whatever the fight's time step: slow motion
// slows the fighters, not the blood.
void dotburst::update() {
    cycleColour();
    life = static_cast<float>(life - 0.02);
    for (int i = 1; i <= count; ++i) {
        px[i] = static_cast<float>(static_cast<double>(px[i]) + pvx[i]);
        py[i] = static_cast<float>(static_cast<double>(py[i]) + pvy[i]);
        pvy[i] = static_cast<float>(pvy[i] + 0.04);
    }
    if (!(life > 0.0f)) active = 0;
}

void dotburst::draw(float zoom) {
    const ScreenMapping screen = game != nullptr ? game->view(zoom) : ScreenMapping{0.0, 0.0, zoom};
    setBlendMode(kind == kPlasmaBurst ? Additive : Translucent);
    setDrawAlpha(life);
    if (kind == kPlasmaBurst) {
        setDrawColor(colour[0], colour[1], colour[2]);
    } else if (tinted != 0) {
        setDrawColor(255, 255, 0);
    } else {
        setDrawColor(255, 0, 0);
    }

    if (kind == kPlasmaBurst) {
        // Without the spark picture there is nothing to show a spark with.
        const Image* spark = game != nullptr ? game->media.spark : nullptr;
        if (spark != nullptr) {
            const double halfW = imageWidth(spark) / 2.0;
            const double halfH = imageHeight(spark) / 2.0;
            for (int i = 1; i <= count; ++i) {
                const float sx = static_cast<float>(screen.x(px[i] - halfW));
                const float sy = static_cast<float>(screen.y(py[i] - halfH));
                setDrawScale(zoom, zoom);
                drawImage(spark, sx, sy, 0);
                setDrawScale(1.0f, 1.0f);
            }
        }
    } else {
        const float side = static_cast<float>(dotSize * 2.0 * zoom);
        for (int i = 1; i <= count; ++i) {
            const float sx = static_cast<float>(screen.x(static_cast<double>(px[i]) - dotSize));
            const float sy = static_cast<float>(screen.y(static_cast<double>(py[i]) - dotSize));
            if (tinted != 0) {
                drawRect(sx, sy, side, side);
            } else {
                drawOval(sx, sy, side, side);
            }
        }
    }

    setDrawAlpha(1.0f);
    setBlendMode(Cutout);
}

void gameapp::updateBursts(float zoomFactor) {
    for (int slot = 1; slot <= kBurstSlots; ++slot) {
        dotburst& burst = bursts[slot];
        if (burst.active != 1) continue;
        burst.update();
        burst.draw(zoomFactor);
    }
}
