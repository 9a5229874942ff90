// The one narrow seam between the game and the machine. Only the sdl
// implementation touches SDL2 and OpenGL; the headless one runs everything in
// memory for tests, benchmarks and soak runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Blend modes as the drawing service numbers them; any other value acts as Opaque.
enum BlendMode : int { Cutout = 1, Opaque = 2, Translucent = 3, Additive = 4, Multiply = 5 };

// The drawing state flattened onto one primitive.
struct Paint {
    std::uint8_t r = 255, g = 255, b = 255;
    std::uint8_t alpha = 255;  // opacity byte
    int blend = Cutout;
};

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bits = 0;
    int rate = 0;
};

using TextureId = int;

// Fills `frames` stereo frames (interleaved left, right) at 44100 Hz.
using MixCallback = void (*)(std::int16_t* out, int frames);

class Platform {
  public:
    virtual ~Platform() = default;

    // --- Window ---
    // Opens the window (depth 0) or the full-screen display (depth > 0) with a
    // double-buffered context. False when no context can be had.
    virtual bool openWindow(int width, int height, int depth, int rate) = 0;
    // Full screen at the desktop's own mode, for displays that do not offer
    // the game's: the picture is scaled to fit, its shape kept. False when no
    // full-screen display can be had.
    virtual bool openDesktopFullScreen(int width, int height) = 0;
    // Modes of more than 15 bits per pixel that the display offers.
    virtual std::vector<DisplayMode> displayModes() = 0;
    virtual void setWindowTitle(const std::string& title) = 0;
    // The picture a task bar shows for the window: width x height RGBA pixels.
    virtual void setWindowIcon(int width, int height, const std::uint8_t* rgba) = 0;
    // Right and bottom edges of the desktop's usable rectangle.
    virtual void desktopBounds(int& right, int& bottom) = 0;
    virtual void moveWindow(int x, int y) = 0;
    virtual void hidePointer() = 0;
    virtual void setSwapInterval(int interval) = 0;
    virtual void swapBuffers() = 0;
    // Gets everything drawn so far done, so that a swap after the frame
    // limiter's sleep only shows a finished frame instead of drawing it then.
    virtual void finishDrawing() = 0;
    // Shows the message where a message can be shown, writes it to stderr and
    // ends the process with a failure status.
    [[noreturn]] virtual void fatal(const std::string& message) = 0;

    // --- Drawing: flat, already transformed primitives ---
    virtual void clear(int r, int g, int b) = 0;
    virtual void drawPoint(float x, float y, const Paint& paint) = 0;
    virtual void drawLine(float x1, float y1, float x2, float y2, const Paint& paint) = 0;
    virtual void setLineWidth(float width) = 0;
    // A convex polygon of `count` vertices, xy holding 2 x count floats.
    virtual void drawPolygon(const float* xy, int count, const Paint& paint) = 0;
    virtual void drawTexturedQuad(TextureId texture, float x, float y, float w, float h,
                                  const Paint& paint) = 0;
    virtual TextureId uploadTexture(int width, int height, const std::uint8_t* rgba,
                                    bool smooth) = 0;

    // --- Events: delivers everything pending to the input service ---
    virtual void pumpEvents() = 0;

    // --- Time ---
    virtual std::uint32_t clockMillis() = 0;
    virtual void sleepMillis(int ms) = 0;
    // The frame limiter's own clock: monotonic microseconds, and a sleep until
    // a moment on it (none when the moment has passed).
    virtual std::int64_t clockMicros() = 0;
    virtual void sleepUntilMicros(std::int64_t deadline) = 0;

    // --- Audio: 44100 Hz, stereo, 16-bit ---
    // False when there is no device; the game then runs silently.
    virtual bool openAudio(MixCallback mix) = 0;
    virtual void lockAudio() = 0;
    virtual void unlockAudio() = 0;

    // --- Exit ---
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

Platform& platform();
void setPlatform(Platform* p);
