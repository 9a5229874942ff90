// The camera that frames the fighters, the intro, the messages and the frame count.
#include <algorithm>
#include <cmath>

#include "app/fighters_in_play.h"
#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/numbers.h"

namespace {

// Beyond any coordinate a point can reach.
constexpr double kFarAway = 1.0e30;
// World pixels kept around the framed points so whole bodies stay on screen.
constexpr double kMargin = 500.0;

struct Centroid {
    double x, y;
};

Centroid centroidOf(const man& fighter) {
    const int points = std::clamp(fighter.pointCount, 1, kPointCount);
    double sumX = 0.0;
    double sumY = 0.0;
    for (int i = 1; i <= points; ++i) {
        sumX += fighter.points[i].x;
        sumY += fighter.points[i].y;
    }
    return {sumX / points, sumY / points};
}

}  // namespace

void gameapp::updateCamera() {
    const int n = fightersInPlay(*this);
    if (n < 1) return;
    for (int k = 1; k <= n; ++k)
        fighters[k].lowerCameraWeight();

    // A fallen fighter's framing point slides over to fighter 1 as its weight
    // runs out, so the camera lets go of it gradually.
    const Centroid first = centroidOf(fighters[1]);
    double minX = kFarAway, maxX = -kFarAway, minY = kFarAway, maxY = -kFarAway;
    for (int k = 1; k <= n; ++k) {
        const Centroid c = centroidOf(fighters[k]);
        const double w = fighters[k].cameraWeight;
        const double fx = c.x * w + first.x * (1.0 - w);
        const double fy = c.y * w + first.y * (1.0 - w);
        if (!std::isfinite(fx) || !std::isfinite(fy)) continue;
        minX = std::min(minX, fx);
        maxX = std::max(maxX, fx);
        minY = std::min(minY, fy);
        maxY = std::max(maxY, fy);
    }
    // With nothing sensible to frame, the camera stays where it was.
    if (maxX < minX || maxY < minY) return;

    cameraX = static_cast<float>((maxX + minX) / 2.0);
    cameraY = static_cast<float>((maxY + minY) / 2.0);
    zoom = static_cast<float>(
        std::min(768.0 / (maxY - minY + kMargin), 1024.0 / (maxX - minX + kMargin)));
}

void gameapp::showIntro() {
    if (frameCount == 1) {
        if (mode == kModeOnePlayer || mode == kModeCoop) {
            message = "LEVEL " + intToText(level);
            messageTimer = 80;
        } else if (mode == kModeVersus) {
            message = "  " + intToText(wins[1]) + " - " + intToText(wins[2]) + "  ";
            messageTimer = 80;
        }
    }
    if (frameCount == 100) {
        message = "FIGHT!";
        messageTimer = 80;
    }
}

void gameapp::drawMessage() {
    if (messageTimer >= 0) messageTimer -= 1;
    const int w = stringWidth(message);
    // An empty text would be stretched by an infinite scale: skip it.
    if (messageTimer >= 0 && w > 0) {
        setBlendMode(Translucent);
        setDrawAlpha(static_cast<float>(messageTimer / 60.0));
        setDrawColor(palette[1][1], palette[1][2], palette[1][3]);
        const double h = stringHeight(message);
        const double s = 1024.0 / w;
        setDrawScale(static_cast<float>(s), static_cast<float>(s));
        drawString(message, 10.0f, static_cast<float>(toInt(384.0 - h / 2.0 * s)));
    }
    setDrawScale(1.0f, 1.0f);
    setBlendMode(Cutout);
    setDrawAlpha(1.0f);
}

void gameapp::countFrame() {
    frameCount = static_cast<int>(static_cast<unsigned>(frameCount) + 1u);
}
