// Where the game's 1024 x 768 picture goes in a window or screen of another
// size: as large as fits, its shape kept, centred, with black bars beside or
// above and below it.
#pragma once

struct Letterbox {
    int x = 0, y = 0;  // top-left corner, in the window's pixels from its top-left
    int width = 0, height = 0;
};

inline Letterbox letterbox(int windowWidth, int windowHeight, int gameWidth = 1024,
                           int gameHeight = 768) {
    if (windowWidth <= 0 || windowHeight <= 0) return {};
    Letterbox box;
    // Compared by cross-multiplying, so a window of exactly the game's shape
    // has no bar of rounding.
    if (static_cast<long long>(windowWidth) * gameHeight <=
        static_cast<long long>(windowHeight) * gameWidth) {
        box.width = windowWidth;
        box.height = static_cast<int>(static_cast<long long>(windowWidth) * gameHeight / gameWidth);
    } else {
        box.height = windowHeight;
        box.width = static_cast<int>(static_cast<long long>(windowHeight) * gameWidth / gameHeight);
    }
    box.x = (windowWidth - box.width) / 2;
    box.y = (windowHeight - box.height) / 2;
    return box;
}
