// SDL's game controllers and the virtual pad tests drive, reported as pads.
#include "runtime/platform/sdl_pads.h"

#include <array>

#include "runtime/pads.h"
#include "runtime/platform/sdl_platform.h"

namespace {

constexpr int kMaxOpen = 8;

struct OpenPad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
};

std::array<OpenPad, kMaxOpen> open;
int virtualDevice = -1;
SDL_Joystick* virtualJoystick = nullptr;

OpenPad* find(SDL_JoystickID id) {
    for (OpenPad& p : open) {
        if (p.controller != nullptr && p.id == id) return &p;
    }
    return nullptr;
}

void added(int deviceIndex) {
    for (OpenPad& p : open) {
        if (p.controller != nullptr) continue;
        p.controller = SDL_GameControllerOpen(deviceIndex);
        if (p.controller == nullptr) return;
        SDL_Joystick* joystick = SDL_GameControllerGetJoystick(p.controller);
        p.id = SDL_JoystickInstanceID(joystick);
        // The model's GUID: the same pad plugged back in is recognised by it.
        char guid[33];
        SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(joystick), guid, sizeof guid);
        onPadAdded(p.id, guid);
        return;
    }
}

void removed(SDL_JoystickID id) {
    OpenPad* p = find(id);
    if (p == nullptr) return;
    onPadRemoved(id);
    SDL_GameControllerClose(p->controller);
    *p = OpenPad{};
}

int buttonOf(Uint8 button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
            return PadA;
        case SDL_CONTROLLER_BUTTON_B:
            return PadB;
        case SDL_CONTROLLER_BUTTON_START:
            return PadStart;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return PadUp;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return PadDown;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return PadLeft;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return PadRight;
        default:
            return -1;
    }
}

}  // namespace

void openPads() { SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER); }

bool handlePadEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            added(event.cdevice.which);
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            removed(event.cdevice.which);
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            const int button = buttonOf(event.cbutton.button);
            if (button >= 0) {
                onPadButton(event.cbutton.which, static_cast<PadButton>(button),
                            event.type == SDL_CONTROLLERBUTTONDOWN);
            }
            return true;
        }
        case SDL_CONTROLLERAXISMOTION: {
            const OpenPad* p = find(event.caxis.which);
            if (p != nullptr && (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ||
                                 event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY)) {
                onPadStick(p->id,
                           SDL_GameControllerGetAxis(p->controller, SDL_CONTROLLER_AXIS_LEFTX),
                           SDL_GameControllerGetAxis(p->controller, SDL_CONTROLLER_AXIS_LEFTY));
            }
            return true;
        }
        default:
            return false;
    }
}

void closePads() {
    for (OpenPad& p : open) {
        if (p.controller != nullptr) SDL_GameControllerClose(p.controller);
        p = OpenPad{};
    }
    if (virtualJoystick != nullptr) SDL_JoystickClose(virtualJoystick);
    if (virtualDevice >= 0) SDL_JoystickDetachVirtual(virtualDevice);
    virtualJoystick = nullptr;
    virtualDevice = -1;
}

// --- A virtual pad, for tests that drive the real game without hardware ---

bool attachVirtualPad() {
    openPads();
    if (virtualDevice >= 0) return true;
    virtualDevice = SDL_JoystickAttachVirtual(
        SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    if (virtualDevice < 0) return false;
    virtualJoystick = SDL_JoystickOpen(virtualDevice);
    return virtualJoystick != nullptr;
}

void setVirtualPadButton(int button, bool down) {
    static const SDL_GameControllerButton kButtons[] = {
        SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,
        SDL_CONTROLLER_BUTTON_START,     SDL_CONTROLLER_BUTTON_DPAD_UP,
        SDL_CONTROLLER_BUTTON_DPAD_DOWN, SDL_CONTROLLER_BUTTON_DPAD_LEFT,
        SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
    if (virtualJoystick == nullptr || button < 0 || button >= PadButtons) return;
    SDL_JoystickSetVirtualButton(virtualJoystick, kButtons[button], down ? 1 : 0);
}
