// World coordinates are pixels of an arena centred on (0, 0), y downwards;
// the camera shows cameraX, cameraY at the centre of the 1024 x 768 screen.
#pragma once

inline float worldToScreenX(float x, float cameraX, float zoom) {
    return static_cast<float>((x - cameraX) * zoom + 512.0);
}
inline float worldToScreenY(float y, float cameraY, float zoom) {
    return static_cast<float>((y - cameraY) * zoom + 384.0);
}
