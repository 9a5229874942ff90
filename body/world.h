// World coordinates are pixels of an arena centred on (0, 0), y downwards;
// the camera shows (cameraX, cameraY) at the centre of the 1024 x 768 screen,
// `zoom` screen pixels to the world pixel. World sizes are multiplied by zoom.
#pragma once

struct ScreenMapping {
    double cameraX = 0.0;
    double cameraY = 0.0;
    double zoom = 1.0;

    double x(double worldX) const { return (worldX - cameraX) * zoom + 512.0; }
    double y(double worldY) const { return (worldY - cameraY) * zoom + 384.0; }
};
