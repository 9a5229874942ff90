// The CONTROLS screen: both players' keys, shown until Enter, Space or Esc.
#include <array>

#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/input.h"

namespace {

struct Line {
    int y;
    float scale;
    const char* text;
};

constexpr std::array<Line, 14> kLines = {{
    {175, 3, "PLAYER 1: ARROW KEYS   PLAYER 2: W,A,S,D"},
    {250, 3, "PAUSE: P          QUIT: ESC"},
    {320, 2, "IF EVERYTHING ELSE FAILS, READ THE INSTRUCTIONS:"},
    {400, 1, "TO DEAL DAMAGE, YOU MUST HIT A DAMAGEABLE PART OF OPPONENT WITH A DAMAGING PART"},
    {430, 1, "DAMAGING PARTS ARE ARMS, LEGS AND HEAD"},
    {460, 1, "DAMAGEABLE PARTS ARE BODY (EXCLUDED ARMS AND LEGS) AND HEAD"},
    {490, 1, "HEAD IS BOTH DAMAGING AND DAMAGEABLE"},
    {520, 1, "EVERY TIME YOU LAND A SUCCESFUL BLOW YOUR COMBO COUNTER INCREASES BY 1"},
    {550, 1, "EVERY BLOW DEALS A DAMAGE EQUAL TO THE COMBO COUNTER"},
    {580, 1, "YOUR COMBO COUNTER IS RESET TO 1 IF YOU GET HIT"},
    {610, 1, "THROUGH COMBOS YOU WILL DO MORE DAMAGE AND ALSO GET A HIGHER SCORE"},
    {640, 1, "THE REMAINING ENERGY OF EACH PLAYER IS INDICATED ON THE WRISTBANDS"},
    {670, 1, "IT IS GENERALLY A BAD IDEA TO RUSH AGAINST THE OPPONENT"},
    {700, 1, "IT IS A GOOD IDEA TO TRY TO HIT YOUR OPPONENT'S HEAD WITH YOUR LEGS"},
}};

}  // namespace

void gameapp::showControls() {
    drainKeys();
    for (;;) {
        clearScreen();
        cyclePalette();
        drawHeading();
        for (const Line& line : kLines) {
            setDrawScale(line.scale, line.scale);
            drawString(line.text, centredX(line.text, line.scale), static_cast<float>(line.y));
        }
        setDrawScale(1, 1);
        presentFrame();
        if (keyPresses(KeyEnter) > 0 || keyPresses(KeySpace) > 0 || keyPresses(KeyEscape) > 0)
            return;
    }
}
