// Keyboard, mouse and clock. Every input query first processes pending window
// events, so a loop that only asks for keys keeps the window responsive.
#pragma once

#include <cstdint>

// Windows virtual-key codes the game reads.
enum KeyCode : int {
    KeyEnter = 13,
    KeyEscape = 27,
    KeySpace = 32,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
    Key2 = 50,
    Key5 = 53,
    Key7 = 55,
    Key9 = 57,
    KeyA = 65,
    KeyD = 68,
    KeyP = 80,
    KeyS = 83,
    KeyW = 87,
};

// --- Queries ---
void pollEvents();
int keyPresses(int key);
int isKeyDown(int key);
int nextChar();
void flushInput();
int mouseX();
int mouseY();
int mouseZ();
int isMouseDown(int button);
int clockMillis();
void sleepMillis(int ms);

// Presses made before a screen starts are not seen by it.
void drainKeys();

// --- Event processing, called by the platforms ---
// sideCode is the left/right variant of a modifier (160..165), 0 for other keys.
void onKeyDown(int code, bool repeat, int sideCode = 0);
void onKeyUp(int code, int sideCode = 0);
void onChar(std::uint16_t character);
void onMouseButton(int code, bool down);
void onMouseMove(int x, int y);
void onMouseWheel(int delta);
// Keys held when the window loses the focus count as released.
void onFocusLost();
// A game pad holding a key down, or letting it go: a second source of the same
// keys, so a key stays held while the keyboard or any pad still holds it.
void onPadKeyDown(int code);
void onPadKeyUp(int code);
// Back to the state at start-up (tests).
void resetInput();
