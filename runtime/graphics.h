// The immediate-mode 2D drawing service: one 1024 x 768 display, a global
// drawing state, filled primitives, pictures and the built-in 8 x 16 font.
#pragma once

#include <functional>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/platform/platform.h"

enum ImageFlag : int { Smooth = 2, ColorKey = 4 };

struct Image {
    int width = 0;
    int height = 0;
    float handleX = 0.0f;
    float handleY = 0.0f;
    std::vector<TextureId> frames;
};

// Adds the built-in font to the embedded resources; the first thing start-up does.
void addFontResource();

// Stops the program with "Graphics mode does not exist" or "Unable to set
// graphics mode" when the display cannot be had.
void openDisplay(int width, int height, int depth, int rate);
void setSwapInterval(int interval);
// The window's title and place on the desktop (windowed mode).
void setWindowTitle(const std::string& title);
// The window's icon: the picture at path, keyed as loadImage keys it, fitted
// into size x size. Nothing happens when the picture cannot be read.
void setWindowIcon(const std::string& path, int size);
void desktopBounds(int& right, int& bottom);
void moveWindow(int x, int y);
void hidePointer();
void clearScreen();
void presentFrame();

void setDrawColor(int r, int g, int b);
void setDrawAlpha(float alpha);
void setBlendMode(int mode);
void setDrawScale(float sx, float sy);
void setLineWidth(float width);
void setClearColor(int r, int g, int b);

void drawPoint(float x, float y);
void drawLine(float x1, float y1, float x2, float y2, int lastPixel);
void drawRect(float x, float y, float w, float h);
void drawOval(float x, float y, float w, float h);
void drawPolygon(const float* xy, int count);  // count = number of floats
void drawPolygon(const std::vector<float>& xy);

// Null when the picture cannot be loaded. Images live until the program ends.
Image* loadImage(const std::string& path, int flags = -1);
void drawImage(const Image* image, float x, float y, int frame = 0);
int imageWidth(const Image* image);
int imageHeight(const Image* image);

void drawString(const std::string& text, float x, float y);
// Drawn over every frame just before it is presented, until set again (an
// empty one draws nothing): what a screen shows over a fight it does not draw.
void setFrameOverlay(std::function<void()> draw);
int stringWidth(const std::string& text);
int stringHeight(const std::string& text);
// The x that centres the text on the 1024-pixel screen at the given scale.
float centredX(const std::string& text, float scale);

// The drawing state, readable for tests and for screens that restore it.
struct DrawState {
    int r = 255, g = 255, b = 255;
    int alphaByte = 255;
    int blend = Cutout;
    float scaleX = 1.0f, scaleY = 1.0f;
    float lineWidth = 1.0f;
    int clearR = 0, clearG = 0, clearB = 0;
};
const DrawState& drawState();
void resetDrawState();

// Oval vertex count: max(toInt(|rx| + |ry|), 12) rounded down to a multiple of 4.
int ovalSegments(float w, float h);

// The software frame limiter, used when the display does not pace itself. Its
// schedule runs on the platform's microsecond clock, so frames come out evenly
// spaced rather than 16 or 17 ms apart.
struct FrameLimiter {
    bool active = false;
    std::int64_t startTime = 0;    // microseconds
    std::int64_t accumulator = 0;  // 1000000 x frames presented since the (re)start
    int rate = 60;
};
// One presented frame: returns the microseconds to sleep (0 for none) and
// restarts the schedule from now when no wait is left, or a second or more.
std::int64_t limiterWait(FrameLimiter& limiter, std::int64_t now);
const FrameLimiter& frameLimiter();
