// The input state: key presses and held keys, typed characters, the mouse and the clock.
#include "runtime/input.h"

#include <array>
#include <cstdint>

#include "runtime/pads.h"
#include "runtime/platform/platform.h"
#include "runtime/presentation.h"

namespace {

constexpr int kCodes = kInputCodes;
constexpr std::uint32_t kQueueSize = kTypedQueue;

InputState input;
// While a recorded fight plays back, the keyboard and pads reach this one.
InputState viewer;

// The recording or playback in progress, if any.
InputLog* recording = nullptr;
const InputLog* playback = nullptr;
std::size_t playbackNext = 0;  // the next event to deliver
std::uint32_t polls = 0;       // polls since the recording or playback began
bool pumping = false;          // inside the platform's pumpEvents
bool fed = false;              // the game's keys are set with holdKey, not by the keyboard
bool closeCaught = false;      // the close button is told to a screen
bool closeRequested = false;
bool playbackEnded = false;

bool validCode(int code) { return code >= 1 && code < kCodes; }

bool isHeld(const InputState& s, int code) { return s.held[code] || s.padHolds[code] > 0; }

// A key already held by a pad is not pressed again, but the keyboard holds it too.
void press(InputState& s, int code) {
    if (!validCode(code) || s.held[code]) return;
    if (!isHeld(s, code)) s.presses[code] = static_cast<std::uint8_t>(s.presses[code] + 1u);
    s.held[code] = true;
}

void release(InputState& s, int code) {
    if (validCode(code)) s.held[code] = false;
}

void type(InputState& s, std::uint16_t character) {
    if (s.writeCount - s.readCount >= kQueueSize) return;
    s.queue[s.writeCount % kQueueSize] = character;
    ++s.writeCount;
}

void padDown(InputState& s, int code) {
    if (!validCode(code)) return;
    if (!isHeld(s, code)) s.presses[code] = static_cast<std::uint8_t>(s.presses[code] + 1u);
    if (s.padHolds[code] < 255) ++s.padHolds[code];
}

void padUp(InputState& s, int code) {
    if (validCode(code) && s.padHolds[code] > 0) --s.padHolds[code];
}

void loseFocus(InputState& s) {
    s.held.fill(false);
    s.padHolds.fill(0);
}

void apply(InputState& s, InputEventKind kind, int value) {
    switch (kind) {
        case InputEventKind::KeyDown:
            press(s, value);
            break;
        case InputEventKind::KeyUp:
            release(s, value);
            break;
        case InputEventKind::Char:
            type(s, static_cast<std::uint16_t>(value));
            break;
        case InputEventKind::PadDown:
            padDown(s, value);
            break;
        case InputEventKind::PadUp:
            padUp(s, value);
            break;
        case InputEventKind::FocusLost:
            loseFocus(s);
            break;
    }
}

// What the platform delivers: the game's input, or the viewer's while a
// recording plays back. A recording keeps each event with the poll that
// delivered it; one arriving between polls is seen by the next.
void record(InputEventKind kind, int value) {
    if (recording == nullptr) return;
    if (recording->events.size() == recording->events.capacity()) {
        recording->overflowed = true;
        return;
    }
    recording->events.push_back(
        InputEvent{pumping ? polls : polls + 1, kind, static_cast<std::uint16_t>(value)});
}

void deliver(InputEventKind kind, int value) {
    if (playback != nullptr || fed) {
        apply(viewer, kind, value);
        return;
    }
    apply(input, kind, value);
    record(kind, value);
}

void deliverKey(InputEventKind kind, int code) {
    if (validCode(code)) deliver(kind, code);
}

void playBackPoll() {
    // The window stays responsive, and the viewer's keys reach the viewer.
    platform().pumpEvents();
    ++polls;
    const std::vector<InputEvent>& events = playback->events;
    while (playbackNext < events.size() && events[playbackNext].poll <= polls) {
        const InputEvent& e = events[playbackNext++];
        apply(input, e.kind, e.value);
    }
    // A recording that ends before its fight does ends it as Esc would, so a
    // damaged one cannot keep a paused fight waiting for a key forever.
    if (polls > playback->polls && !playbackEnded) {
        playbackEnded = true;
        press(input, KeyEscape);
    }
}

}  // namespace

void pollEvents() {
    if (playback != nullptr) {
        playBackPoll();
        return;
    }
    if (recording != nullptr) ++polls;
    pumping = true;
    platform().pumpEvents();
    pumping = false;
}

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
    return isHeld(input, key) ? 1 : 0;
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

std::int64_t clockMicros() { return platform().clockMicros(); }

namespace {
long long waited = 0;  // milliseconds slept by sleepMillis
}  // namespace

void sleepMillis(int ms) {
    if (ms <= 0 || !presentation().waiting) return;
    platform().sleepMillis(ms);
    waited += ms;
}

long long waitedMillis() { return waited; }

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
    deliverKey(InputEventKind::KeyDown, code);
    if (sideCode != 0) deliverKey(InputEventKind::KeyDown, sideCode);
}

void onKeyUp(int code, int sideCode) {
    deliverKey(InputEventKind::KeyUp, code);
    if (sideCode != 0) deliverKey(InputEventKind::KeyUp, sideCode);
}

void onChar(std::uint16_t character) { deliver(InputEventKind::Char, character); }

// The fight never reads the mouse, so it is neither recorded nor played back.
void onMouseButton(int code, bool down) {
    InputState& s = playback != nullptr ? viewer : input;
    if (down) {
        press(s, code);
    } else {
        release(s, code);
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

void onFocusLost() { deliver(InputEventKind::FocusLost, 0); }

void onPadKeyDown(int code) { deliverKey(InputEventKind::PadDown, code); }

void onPadKeyUp(int code) { deliverKey(InputEventKind::PadUp, code); }

void resetInput() {
    input = InputState{};
    viewer = InputState{};
    recording = nullptr;
    playback = nullptr;
    fed = false;
    closeCaught = false;
    closeRequested = false;
    resetPads();
}

void startInputRecording(InputLog& log) {
    log.start = InputSnapshot{};
    for (int code = 1; code < kCodes; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        if (input.held[code]) log.start.held.push_back(c);
        if (input.padHolds[code] > 0) log.start.padHolds.push_back({c, input.padHolds[code]});
        if (input.presses[code] > 0) log.start.presses.push_back({c, input.presses[code]});
    }
    for (std::uint32_t i = input.readCount; i != input.writeCount; ++i)
        log.start.typed.push_back(input.queue[i % kQueueSize]);
    log.events.clear();
    log.polls = 0;
    log.overflowed = false;
    polls = 0;
    playback = nullptr;
    recording = &log;
}

void stopInputRecording() {
    if (recording != nullptr) recording->polls = polls;
    recording = nullptr;
}

void catchWindowClose(bool catching) {
    closeCaught = catching;
    closeRequested = false;
}

bool windowCloseRequested() {
    platform().pumpEvents();
    return closeRequested;
}

bool onWindowClose() {
    closeRequested = closeCaught;
    return closeCaught;
}

InputLog* swapInputRecording(InputLog* log) {
    InputLog* was = recording;
    recording = log;
    return was;
}

void holdKey(int code, bool held) {
    if (!validCode(code) || input.held[code] == held) return;
    const InputEventKind kind = held ? InputEventKind::KeyDown : InputEventKind::KeyUp;
    apply(input, kind, code);
    record(kind, code);
}

void typeChar(int character) {
    if (character == 0) return;
    apply(input, InputEventKind::Char, character);
    record(InputEventKind::Char, character);
}

InputCheckpoint saveInput() { return InputCheckpoint{input, playbackNext, polls, playbackEnded}; }

void restoreInput(const InputCheckpoint& checkpoint) {
    input = checkpoint.state;
    playbackNext = checkpoint.playbackNext;
    polls = checkpoint.polls;
    playbackEnded = checkpoint.playbackEnded;
}

void startInputPlayback(const InputLog& log) {
    recording = nullptr;
    input = InputState{};
    for (std::uint8_t code : log.start.held)
        input.held[code] = true;
    for (const auto& [code, holds] : log.start.padHolds)
        input.padHolds[code] = holds;
    for (const auto& [code, count] : log.start.presses)
        input.presses[code] = count;
    for (std::uint16_t c : log.start.typed)
        type(input, c);
    viewer = InputState{};
    polls = 0;
    playbackNext = 0;
    playbackEnded = false;
    playback = &log;
}

void stopInputPlayback() {
    playback = nullptr;
    input = InputState{};
}

void startKeyFeed() {
    fed = true;
    input = InputState{};
    viewer = InputState{};
}

bool viewerIsKeyDown(int key) {
    platform().pumpEvents();
    return validCode(key) && isHeld(fed || playback != nullptr ? viewer : input, key);
}

int viewerKeyPresses(int key) {
    if (playback == nullptr && !fed) return keyPresses(key);
    platform().pumpEvents();
    if (!validCode(key)) return 0;
    const int count = viewer.presses[key];
    viewer.presses[key] = 0;
    return count;
}

int viewerNextChar() {
    if (playback == nullptr && !fed) return nextChar();
    platform().pumpEvents();
    if (viewer.readCount == viewer.writeCount) return 0;
    const int c = viewer.queue[viewer.readCount % kQueueSize];
    ++viewer.readCount;
    return c;
}
