// Translation of SDL's keyboard, text and mouse events into the game's codes.
// The codes are plain ints here so that this header needs no SDL.
#pragma once

// Windows virtual-key code of an SDL key (keycode, scancode); 0 for keys the
// game has no code for.
int virtualKey(int sym, int scancode);
// The left/right variant kept beside the generic Shift, Control and Alt codes.
int sideKey(int sym);
// Keys the window system turns into characters that SDL does not send as
// text; the game reads Backspace and Enter from the character stream.
int controlCharacter(int sym);
// Typed text arrives as UTF-8; the game's characters are 16-bit.
void deliverText(const char* utf8);
// 1 left, 2 right, 4 middle; 0 for other buttons.
int mouseCode(int button);
