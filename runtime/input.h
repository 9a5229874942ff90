// Keyboard, mouse and clock. Every input query first processes pending window
// events, so a loop that only asks for keys keeps the window responsive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Typed characters that take one back.
constexpr int kBackspaceChar = 8;
constexpr int kDeleteChar = 127;

// Windows virtual-key codes the game reads.
enum KeyCode : int {
    KeyEnter = 13,
    KeyEscape = 27,
    KeySpace = 32,
    KeyHome = 36,
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
    KeyF1 = 112,
    KeyS = 83,
    KeyW = 87,
    KeyPeriod = 190,
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
// Monotonic microseconds, for timing frames.
std::int64_t clockMicros();
void sleepMillis(int ms);
// The milliseconds sleepMillis has slept so far: the game's own pauses.
long long waitedMillis();

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
// The window's close button. A screen that must say goodbye first catches
// it; otherwise it ends the program. onWindowClose is the platforms': false
// when the program should end at once.
void catchWindowClose(bool catching);
bool windowCloseRequested();
bool onWindowClose();
// Back to the state at start-up (tests).
void resetInput();

// --- A fight's input, recorded and played back ---
// A recording keeps every event that reaches the input state with the number
// of the poll that delivered it. Played back, each poll delivers the same
// events instead of the platform's, so the game reads exactly the keys it read
// the first time, whenever within a frame it asks.
enum class InputEventKind : std::uint8_t { KeyDown = 1, KeyUp, Char, PadDown, PadUp, FocusLost };
struct InputEvent {
    std::uint32_t poll = 0;  // polls since the recording began, 1 for the first
    InputEventKind kind = InputEventKind::KeyDown;
    std::uint16_t value = 0;  // the key code, or the typed character
};
// What was held, counted and typed when the recording began.
struct InputSnapshot {
    std::vector<std::uint8_t> held;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> padHolds;  // code, pads holding it
    std::vector<std::pair<std::uint8_t, std::uint8_t>> presses;   // code, presses not yet read
    std::vector<std::uint16_t> typed;
};
struct InputLog {
    InputSnapshot start;
    std::vector<InputEvent> events;  // reserve before recording: a full log stops growing
    std::uint32_t polls = 0;         // polls the recording lasted
    bool overflowed = false;         // events were lost to a full log
};
constexpr int kInputCodes = 256;
constexpr std::uint32_t kTypedQueue = 256;
struct InputState {
    std::array<std::uint8_t, kInputCodes> presses{};  // byte counters: they wrap at 256
    std::array<bool, kInputCodes> held{};
    std::array<std::uint8_t, kInputCodes> padHolds{};  // pads holding the key down
    std::array<std::uint16_t, kTypedQueue> queue{};
    std::uint32_t readCount = 0;  // entry = counter mod 256; unread = write - read
    std::uint32_t writeCount = 0;
    int mouseX = 0;
    int mouseY = 0;
    int mouseZ = 0;
};
// The game's input state and where a playback stands, to go back to: a fight
// rolled back to an earlier frame reads the keys it read then.
struct InputCheckpoint {
    InputState state;
    std::size_t playbackNext = 0;
    std::uint32_t polls = 0;
    bool playbackEnded = false;
};
// Sets a key of the game's input held or let go, as the keyboard would: the
// keys of an online fight come from the frame's keys, not from this machine.
void holdKey(int code, bool held);
// A character typed into the game's input, as the keyboard would: the name
// entry of an online game reads what the frame's keys carry.
void typeChar(int character);
InputCheckpoint saveInput();
void restoreInput(const InputCheckpoint& checkpoint);

void startInputRecording(InputLog& log);
// Hands the recording in progress over to another log (or none) and gives
// back the one that was: two fights in one process each keep their own.
InputLog* swapInputRecording(InputLog* log);
void stopInputRecording();
// The log must outlive the playback.
void startInputPlayback(const InputLog& log);
void stopInputPlayback();
// The game's keys set by holdKey alone, as in an online fight: the keyboard
// and pads reach the viewer's state, where the frame's keys are read from.
void startKeyFeed();
// Presses, held keys and typed characters of the keyboard and pads; during a playback or a
// feed, the viewer's own, which the game does not see.
int viewerKeyPresses(int key);
bool viewerIsKeyDown(int key);
int viewerNextChar();
