// The drawing state, the display, the frame limiter and the primitives handed to the platform.
#include "runtime/graphics.h"
#include <functional>

#include <array>
#include <cmath>
#include <cstdint>

#include "runtime/graphics_internal.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/presentation.h"

namespace {

// A huge oval would otherwise ask for billions of vertices; nothing on a
// 1024 x 768 screen needs more than this.
constexpr int kMaxOvalSegments = 4096;
// Polygons up to this many vertices are transformed without touching the heap.
constexpr int kPolygonScratch = 256;
constexpr std::int64_t kMicrosPerSecond = 1000000;

DrawState state;
Paint paint;
FrameLimiter limiter;

std::array<float, 2 * kMaxOvalSegments> ovalScratch;
std::array<float, 2 * kPolygonScratch> polygonScratch;
std::vector<float> bigPolygonScratch;

int clampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void resetState() {
    state = DrawState{};
    paint = Paint{};
}

// A frame is in step when its present took one refresh period, give or take 1 ms.
bool displayPacesItself(int rate) {
    const int period = 1000 / rate;
    int inStep = 0;
    for (int i = 0; i < rate; ++i) {
        const int before = clockMillis();
        platform().swapBuffers();
        const int after = clockMillis();
        const int elapsed = static_cast<int>(static_cast<std::uint32_t>(after) -
                                             static_cast<std::uint32_t>(before));
        const int off = elapsed - period;
        if (off >= -1 && off <= 1) {
            if (++inStep == 3) return true;
        } else {
            inStep = 0;
        }
    }
    return false;
}

bool modeOffered(int width, int height) {
    for (const DisplayMode& mode : platform().displayModes()) {
        if (mode.width == width && mode.height == height) return true;
    }
    return false;
}

}  // namespace

const Paint& currentPaint() { return paint; }

void openDisplay(int width, int height, int depth, int rate) {
    limiter = FrameLimiter{};
    if (depth != 0 && !modeOffered(width, height)) {
        // Most screens no longer offer the game's mode: full screen then keeps
        // the desktop's own and the picture is scaled into it.
        if (!platform().openDesktopFullScreen(width, height)) {
            platform().fatal("Graphics mode does not exist");
        }
    } else if (!platform().openWindow(width, height, depth, rate)) {
        platform().fatal("Unable to set graphics mode");
    }
    for (int i = 0; i < 2; ++i) {
        platform().clear(0, 0, 0);
        platform().swapBuffers();
    }

    platform().setSwapInterval(1);
    // A negative rate means nothing sensible; treat it like 0 (no pacing).
    limiter.rate = rate > 0 ? rate : 0;
    if (limiter.rate > 0 && !displayPacesItself(limiter.rate)) {
        limiter.active = true;
        limiter.startTime = platform().clockMicros();
        limiter.accumulator = 0;
        platform().setSwapInterval(0);
    }

    resetState();
    platform().setLineWidth(state.lineWidth);
    makeGlyphs();
}

void setSwapInterval(int interval) { platform().setSwapInterval(interval); }

void setWindowTitle(const std::string& title) { platform().setWindowTitle(title); }

void desktopBounds(int& right, int& bottom) { platform().desktopBounds(right, bottom); }

void moveWindow(int x, int y) { platform().moveWindow(x, y); }

void hidePointer() { platform().hidePointer(); }

void clearScreen() {
    if (!presentation().drawing) return;
    platform().clear(state.clearR, state.clearG, state.clearB);
}

namespace {
std::function<void()> overlay;
}  // namespace

void setFrameOverlay(std::function<void()> draw) { overlay = std::move(draw); }

void presentFrame() {
    if (!presentation().drawing) return;
    if (overlay) overlay();
    if (limiter.active && (presentation().waiting || presentation().pacing)) {
        // The frame is drawn before the sleep, so its drawing time is not
        // added to the interval after it.
        platform().finishDrawing();
        const std::int64_t now = platform().clockMicros();
        const std::int64_t wait = limiterWait(limiter, now);
        if (wait > 0) platform().sleepUntilMicros(now + wait);
    }
    platform().swapBuffers();
}

std::int64_t limiterWait(FrameLimiter& l, std::int64_t now) {
    if (l.rate <= 0) return 0;
    const std::int64_t elapsed = now - l.startTime;
    l.accumulator += kMicrosPerSecond;
    const std::int64_t wait = l.accumulator / l.rate - elapsed;
    if (wait > 0 && wait < kMicrosPerSecond) return wait;
    l.accumulator = elapsed * l.rate;
    return 0;
}

const FrameLimiter& frameLimiter() { return limiter; }

void setDrawColor(int r, int g, int b) {
    state.r = clampByte(r);
    state.g = clampByte(g);
    state.b = clampByte(b);
    paint.r = static_cast<std::uint8_t>(state.r);
    paint.g = static_cast<std::uint8_t>(state.g);
    paint.b = static_cast<std::uint8_t>(state.b);
}

void setDrawAlpha(float alpha) {
    double a = alpha;
    if (a < 0.0) a = 0.0;
    if (a > 1.0) a = 1.0;
    state.alphaByte = toInt(a * 255.0);  // NaN falls through the clamp and gives 0
    paint.alpha = static_cast<std::uint8_t>(state.alphaByte);
}

void setBlendMode(int mode) {
    const int blend = (mode >= Cutout && mode <= Multiply) ? mode : Opaque;
    if (blend == state.blend) return;
    state.blend = blend;
    paint.blend = blend;
}

void setDrawScale(float sx, float sy) {
    state.scaleX = sx;
    state.scaleY = sy;
}

void setLineWidth(float width) {
    state.lineWidth = width;
    platform().setLineWidth(width);
}

void setClearColor(int r, int g, int b) {
    state.clearR = clampByte(r);
    state.clearG = clampByte(g);
    state.clearB = clampByte(b);
}

void drawPoint(float x, float y) {
    if (!presentation().drawing) return;
    platform().drawPoint(static_cast<float>(x + 0.5), static_cast<float>(y + 0.5), paint);
}

void drawLine(float x1, float y1, float x2, float y2, int lastPixel) {
    if (!presentation().drawing) return;
    const double sx = state.scaleX;
    const double sy = state.scaleY;
    const float ax = static_cast<float>(x1 + 0.5);
    const float ay = static_cast<float>(y1 + 0.5);
    const float bx = static_cast<float>(x1 + (static_cast<double>(x2) - x1) * sx + 0.5);
    const float by = static_cast<float>(y1 + (static_cast<double>(y2) - y1) * sy + 0.5);
    platform().drawLine(ax, ay, bx, by, paint);
    if (lastPixel != 0) platform().drawPoint(bx, by, paint);
}

void drawRect(float x, float y, float w, float h) {
    if (!presentation().drawing) return;
    const float right = static_cast<float>(x + static_cast<double>(w) * state.scaleX);
    const float bottom = static_cast<float>(y + static_cast<double>(h) * state.scaleY);
    const float xy[8] = {x, y, right, y, right, bottom, x, bottom};
    platform().drawPolygon(xy, 4, paint);
}

int ovalSegments(float w, float h) {
    const double rx = w / 2.0;
    const double ry = h / 2.0;
    int segments = toInt(absOf(rx) + absOf(ry));
    if (segments < 12) segments = 12;
    if (segments > kMaxOvalSegments) segments = kMaxOvalSegments;
    return segments - segments % 4;
}

void drawOval(float x, float y, float w, float h) {
    if (!presentation().drawing || !std::isfinite(w) || !std::isfinite(h)) return;
    const double rx = w / 2.0;
    const double ry = h / 2.0;
    const double sx = state.scaleX;
    const double sy = state.scaleY;
    const int segments = ovalSegments(w, h);
    for (int i = 0; i < segments; ++i) {
        const double angle = i * 360.0 / segments;
        const double px = rx + cosDeg(angle) * rx;
        const double py = ry - sinDeg(angle) * ry;
        ovalScratch[2 * i] = static_cast<float>(x + px * sx);
        ovalScratch[2 * i + 1] = static_cast<float>(y + py * sy);
    }
    platform().drawPolygon(ovalScratch.data(), segments, paint);
}

void drawPolygon(const float* xy, int count) {
    if (!presentation().drawing || xy == nullptr || count < 6 || count % 2 != 0) return;
    float* out = polygonScratch.data();
    if (count > static_cast<int>(polygonScratch.size())) {
        if (bigPolygonScratch.size() < static_cast<std::size_t>(count)) {
            bigPolygonScratch.resize(static_cast<std::size_t>(count));
        }
        out = bigPolygonScratch.data();
    }
    const double sx = state.scaleX;
    const double sy = state.scaleY;
    for (int i = 0; i < count; i += 2) {
        out[i] = static_cast<float>(xy[i] * sx);
        out[i + 1] = static_cast<float>(xy[i + 1] * sy);
    }
    platform().drawPolygon(out, count / 2, paint);
}

void drawPolygon(const std::vector<float>& xy) {
    drawPolygon(xy.data(), static_cast<int>(xy.size()));
}

const DrawState& drawState() { return state; }

void resetDrawState() {
    resetState();
    limiter = FrameLimiter{};
    forgetGlyphs();
}
