// SDL's key, text and mouse events translated into the game's codes.
#include "runtime/platform/sdl_keys.h"

#include <SDL.h>

#include <cstdint>

#include "runtime/input.h"

int virtualKey(int sym, int scancode) {
    if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return 112 + (sym - SDLK_F1);
    switch (sym) {
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return 9;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 13;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 16;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return 17;
        case SDLK_LALT:
        case SDLK_RALT:
            return 18;
        case SDLK_PAUSE:
            return 19;
        case SDLK_CAPSLOCK:
            return 20;
        case SDLK_ESCAPE:
            return 27;
        case SDLK_SPACE:
            return 32;
        case SDLK_PAGEUP:
            return 33;
        case SDLK_PAGEDOWN:
            return 34;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return 36;
        case SDLK_LEFT:
            return 37;
        case SDLK_UP:
            return 38;
        case SDLK_RIGHT:
            return 39;
        case SDLK_DOWN:
            return 40;
        case SDLK_PRINTSCREEN:
            return 44;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_LGUI:
            return 91;
        case SDLK_RGUI:
            return 92;
        case SDLK_APPLICATION:
            return 93;
        case SDLK_KP_0:
            return 96;
        case SDLK_KP_1:
            return 97;
        case SDLK_KP_2:
            return 98;
        case SDLK_KP_3:
            return 99;
        case SDLK_KP_4:
            return 100;
        case SDLK_KP_5:
            return 101;
        case SDLK_KP_6:
            return 102;
        case SDLK_KP_7:
            return 103;
        case SDLK_KP_8:
            return 104;
        case SDLK_KP_9:
            return 105;
        case SDLK_KP_MULTIPLY:
            return 106;
        case SDLK_KP_PLUS:
            return 107;
        case SDLK_KP_MINUS:
            return 109;
        case SDLK_KP_PERIOD:
            return 110;
        case SDLK_KP_DIVIDE:
            return 111;
        case SDLK_NUMLOCKCLEAR:
            return 144;
        case SDLK_SCROLLLOCK:
            return 145;
        case SDLK_SEMICOLON:
            return 186;
        case SDLK_EQUALS:
            return 187;
        case SDLK_COMMA:
            return 188;
        case SDLK_MINUS:
            return 189;
        case SDLK_PERIOD:
            return 190;
        case SDLK_SLASH:
            return 191;
        case SDLK_BACKQUOTE:
            return 192;
        case SDLK_LEFTBRACKET:
            return 219;
        case SDLK_BACKSLASH:
            return 220;
        case SDLK_RIGHTBRACKET:
            return 221;
        case SDLK_QUOTE:
            return 222;
        default:
            break;
    }
    // Layouts without Latin letters still get the letter and digit keys by position.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return 'A' + (scancode - SDL_SCANCODE_A);
    }
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return '1' + (scancode - SDL_SCANCODE_1);
    }
    if (scancode == SDL_SCANCODE_0) return '0';
    return 0;
}

int sideKey(int sym) {
    switch (sym) {
        case SDLK_LSHIFT:
            return 160;
        case SDLK_RSHIFT:
            return 161;
        case SDLK_LCTRL:
            return 162;
        case SDLK_RCTRL:
            return 163;
        case SDLK_LALT:
            return 164;
        case SDLK_RALT:
            return 165;
        default:
            return 0;
    }
}

int controlCharacter(int sym) {
    switch (sym) {
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return 9;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 13;
        case SDLK_ESCAPE:
            return 27;
        default:
            return 0;
    }
}

void deliverText(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        std::uint32_t code = 0;
        int more = 0;
        if (*p < 0x80) {
            code = *p;
        } else if ((*p & 0xE0) == 0xC0) {
            code = *p & 0x1Fu;
            more = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            code = *p & 0x0Fu;
            more = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            code = *p & 0x07u;
            more = 3;
        } else {
            ++p;
            continue;
        }
        ++p;
        bool valid = true;
        for (int i = 0; i < more; ++i) {
            if ((*p & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (*p & 0x3Fu);
            ++p;
        }
        if (valid && code <= 0xFFFF) onChar(static_cast<std::uint16_t>(code));
    }
}

int mouseCode(int button) {
    switch (button) {
        case SDL_BUTTON_LEFT:
            return 1;
        case SDL_BUTTON_RIGHT:
            return 2;
        case SDL_BUTTON_MIDDLE:
            return 4;
        default:
            return 0;
    }
}
