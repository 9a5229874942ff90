// The input state: key presses and held keys, typed characters, the mouse and the clock.
#include "runtime/input.h"

#include <array>
#include <cstdint>

#include "runtime/pads.h"
#include "runtime/platform/platform.h"

namespace {

constexpr int kCodes = 256;
constexpr std::uint32_t kQueueSize = 256;

struct InputState {
    std::array<std::uint8_t, kCodes> presses{};  // wraps at 256 like the original counters
    std::array<bool, kCodes> held{};
    std::array<std::uint8_t, kCodes> padHolds{};  // pads holding the key down
    std::array<std::uint16_t, kQueueSize> queue{};
    std::uint32_t readCount = 0;  // entry = counter mod 256; unread = write - read
    std::uint32_t writeCount = 0;
    int mouseX = 0;
    int mouseY = 0;
    int mouseZ = 0;
};

InputState input;

bool validCode(int code) { return code >= 1 && code < kCodes; }

bool isHeld(int code) { return input.held[code] || input.padHolds[code] > 0; }

// A key already held by a pad is not pressed again, but the keyboard holds it too.
void press(int code) {
    if (!validCode(code) || input.held[code]) return;
    if (!isHeld(code)) input.presses[code] = static_cast<std::uint8_t>(input.presses[code] + 1u);
    input.held[code] = true;
}

void release(int code) {
    if (validCode(code)) input.held[code] = false;
}

}  // namespace

void pollEvents() { platform().pumpEvents(); }

int keyPresses(int key) {
    pollEvents();
    if (!validCode(key)) return 0;
    const int count = input.presses[key];
    input.presses[key] = 0;
    return count;
}

int isKeyDown(int key) {
    pollEvents();
    if (!validCode(key)) return 0;
    return isHeld(key) ? 1 : 0;
}

int nextChar() {
    pollEvents();
    if (input.readCount == input.writeCount) return 0;
    const int c = input.queue[input.readCount % kQueueSize];
    ++input.readCount;
    return c;
}

void flushInput() {
    pollEvents();
    input.presses.fill(0);
    input.held.fill(false);
    input.padHolds.fill(0);
    input.readCount = input.writeCount;
}

int mouseX() {
    pollEvents();
    return input.mouseX;
}

int mouseY() {
    pollEvents();
    return input.mouseY;
}

int mouseZ() {
    pollEvents();
    return input.mouseZ;
}

int isMouseDown(int button) {
    switch (button) {
        case 1:
            return isKeyDown(1);
        case 2:
            return isKeyDown(2);
        case 3:
            return isKeyDown(4);
        default:
            pollEvents();
            return 0;
    }
}

int clockMillis() { return static_cast<int>(platform().clockMillis()); }

void sleepMillis(int ms) {
    if (ms > 0) platform().sleepMillis(ms);
}

void drainKeys() {
    while (nextChar() != 0) {
    }
    for (int code : {KeyP, KeyEnter, KeyEscape, KeySpace, KeyLeft, KeyRight, KeyUp, KeyDown}) {
        while (keyPresses(code) != 0) {
        }
    }
}

void onKeyDown(int code, bool repeat, int sideCode) {
    if (repeat) return;
    press(code);
    if (sideCode != 0) press(sideCode);
}

void onKeyUp(int code, int sideCode) {
    release(code);
    if (sideCode != 0) release(sideCode);
}

void onChar(std::uint16_t character) {
    if (input.writeCount - input.readCount >= kQueueSize) return;
    input.queue[input.writeCount % kQueueSize] = character;
    ++input.writeCount;
}

void onMouseButton(int code, bool down) {
    if (down) {
        press(code);
    } else {
        release(code);
    }
}

void onMouseMove(int x, int y) {
    // The pointer position arrives as two signed 16-bit halves of one word.
    input.mouseX = static_cast<std::int16_t>(x);
    input.mouseY = static_cast<std::int16_t>(y);
}

// The delta is in the window system's units, 120 per notch of the wheel.
void onMouseWheel(int delta) {
    input.mouseZ = static_cast<int>(static_cast<std::uint32_t>(input.mouseZ) +
                                    static_cast<std::uint32_t>(delta / 120));
}

void onFocusLost() {
    input.held.fill(false);
    input.padHolds.fill(0);
}

void onPadKeyDown(int code) {
    if (!validCode(code)) return;
    if (!isHeld(code)) input.presses[code] = static_cast<std::uint8_t>(input.presses[code] + 1u);
    if (input.padHolds[code] < 255) ++input.padHolds[code];
}

void onPadKeyUp(int code) {
    if (validCode(code) && input.padHolds[code] > 0) --input.padHolds[code];
}

void resetInput() {
    input = InputState{};
    resetPads();
}
