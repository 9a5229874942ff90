// The texts of the game's modes and of the stages of a fight, named once. They
// stay texts: tools and tests read them, and a mode is chosen by its text.
#pragma once

// gameapp::mode
inline constexpr const char* kModeOnePlayer = "1";
inline constexpr const char* kModeVersus = "2vs";
inline constexpr const char* kModeCoop = "2coop";
inline constexpr const char* kModeGoBack = "goback";  // the mode choice left with Esc

// gameapp::matchState, in the order a fight passes through them
inline constexpr const char* kStateFighting = "game";
inline constexpr const char* kStateTellResult = "tell result";
inline constexpr const char* kStateLevelCompleted = "level completed";
inline constexpr const char* kStateGameOver = "game over";
inline constexpr const char* kStateHighScores = "highscores";
inline constexpr const char* kStateEnd = "end";
