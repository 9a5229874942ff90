// The SDL platform's events: keys, text, the mouse, pads and the window's own, handed to
// the input state.
#include "runtime/input.h"
#include "runtime/platform/sdl_keys.h"
#include "runtime/platform/sdl_pads.h"
#include "runtime/platform/sdl_platform_class.h"

void SdlPlatform::pumpEvents() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
        handle(event);
}

void SdlPlatform::handle(const SDL_Event& event) {
    if (handlePadEvent(event)) return;
    switch (event.type) {
        case SDL_QUIT:
            if (!onWindowClose()) quit(0);
            break;
        case SDL_KEYDOWN: {
            const SDL_Keysym& key = event.key.keysym;
            const int code = virtualKey(key.sym, key.scancode);
            if (code != 0) onKeyDown(code, event.key.repeat != 0, sideKey(key.sym));
            const int c = controlCharacter(key.sym);
            if (c != 0) onChar(static_cast<std::uint16_t>(c));
            break;
        }
        case SDL_KEYUP: {
            const SDL_Keysym& key = event.key.keysym;
            const int code = virtualKey(key.sym, key.scancode);
            if (code != 0) onKeyUp(code, sideKey(key.sym));
            break;
        }
        case SDL_TEXTINPUT:
            deliverText(event.text.text);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int code = mouseCode(event.button.button);
            const bool down = event.type == SDL_MOUSEBUTTONDOWN;
            if (code != 0) onMouseButton(code, down);
            // In a window a held button keeps the mouse, as a drag would.
            if (!fullScreen_) {
                SDL_CaptureMouse(down || SDL_GetMouseState(nullptr, nullptr) != 0 ? SDL_TRUE
                                                                                  : SDL_FALSE);
            }
            break;
        }
        case SDL_MOUSEMOTION:
            onMouseMove(event.motion.x, event.motion.y);
            break;
        case SDL_MOUSEWHEEL: {
            int notches = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
            // Any real wheel stays far inside this; it keeps the x 120 from overflowing.
            if (notches > 1000) notches = 1000;
            if (notches < -1000) notches = -1000;
            onMouseWheel(notches * 120);
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) onFocusLost();
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) refit_ = true;
            break;
        default:
            break;
    }
}
