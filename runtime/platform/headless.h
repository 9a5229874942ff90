// The in-memory platform: a virtual clock, input scripted by frame number, a
// record of every primitive drawn, audio mixed on demand and exits that a test
// can catch. It never waits for real time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/platform/platform.h"

// Thrown where the real platform would end the process.
struct HeadlessExit {
    int status;
    std::string message;  // the fatal message, empty for an ordinary exit
};

struct Primitive {
    enum Kind { Clear, Point, Line, Polygon, Texture } kind = Clear;
    Paint paint;
    int first = 0;  // offset of the vertices in HeadlessPlatform::coords()
    int count = 0;  // number of vertices (x, y pairs)
    TextureId texture = 0;
    float x = 0, y = 0, w = 0, h = 0;  // textured quads
    float lineWidth = 1.0f;
};

class HeadlessPlatform : public Platform {
  public:
    HeadlessPlatform();

    // --- Script: an event at frame F happens while frame F is being drawn, the
    // frame drawn after F presents. It reaches the first poll that follows some
    // drawing of that frame, or any poll once more than F frames have been
    // presented; before the first present, frame 0 events arrive at once. So a
    // screen that reads Up and Down before presenting and Enter after it sees
    // Down and Enter scripted for the same frame in that order.
    void keyDownAt(int frame, int code, int sideCode = 0);
    void keyUpAt(int frame, int code, int sideCode = 0);
    void pressAt(int frame, int code);  // down at `frame`, up at `frame` + 1
    void typeAt(int frame, std::uint16_t character);
    void focusLostAt(int frame);
    // Game pads, by the platform's number for them.
    void padAddedAt(int frame, int pad, const std::string& identity);
    void padRemovedAt(int frame, int pad);
    void padButtonAt(int frame, int pad, int button, bool down);
    void padStickAt(int frame, int pad, int x, int y);
    void closeWindowAt(int frame);  // the window manager's close
    // Called after every present with the number of frames presented.
    void onPresent(std::function<void(int)> hook);

    // --- Record ---
    int framesPresented() const;
    // The primitives of the frame being drawn, and of the last presented one.
    const std::vector<Primitive>& currentFrame() const;
    const std::vector<Primitive>& lastFrame() const;
    const std::vector<float>& coords(const std::vector<Primitive>& frame) const;
    struct Texture {
        int width, height;
        bool smooth;
        std::vector<std::uint8_t> rgba;
    };
    const Texture& texture(TextureId id) const;
    int swapInterval() const;
    const std::string& windowTitle() const;
    struct Icon {
        int width = 0, height = 0;
        std::vector<std::uint8_t> rgba;
    };
    const Icon& windowIcon() const;  // 0 x 0 until one is set
    int windowX() const;
    int windowY() const;
    bool windowOpen() const;
    bool pointerHidden() const;
    int openedDepth() const;
    bool desktopFullScreen() const;  // opened full screen at the desktop's mode

    // --- Clock ---
    void advanceClock(int ms);
    void setPresentMillis(double ms);  // virtual time one present takes (default 1000 / 60)
    void setAudioOpenMillis(int ms);   // virtual time opening the audio device takes
    std::vector<int> sleeps() const;   // every sleepMillis argument so far
    // Every wait sleepUntilMicros made, in microseconds.
    const std::vector<std::int64_t>& sleepsUntil() const;

    // --- Display and audio set-up ---
    void setDisplayModes(std::vector<DisplayMode> modes);
    void setContextFails(bool fails);
    void setFullScreenFails(bool fails);  // no full-screen display at all
    void setAudioAvailable(bool available);
    void setDesktop(int right, int bottom);
    // Runs the mixer for `frames` stereo frames, as the audio callback would.
    void mix(std::int16_t* out, int frames);

    // --- Platform ---
    bool openWindow(int width, int height, int depth, int rate) override;
    bool openDesktopFullScreen(int width, int height) override;
    std::vector<DisplayMode> displayModes() override;
    void setWindowTitle(const std::string& title) override;
    void setWindowIcon(int width, int height, const std::uint8_t* rgba) override;
    void desktopBounds(int& right, int& bottom) override;
    void moveWindow(int x, int y) override;
    void hidePointer() override;
    void setSwapInterval(int interval) override;
    void swapBuffers() override;
    void finishDrawing() override;
    [[noreturn]] void fatal(const std::string& message) override;
    void clear(int r, int g, int b) override;
    void drawPoint(float x, float y, const Paint& paint) override;
    void drawLine(float x1, float y1, float x2, float y2, const Paint& paint) override;
    void setLineWidth(float width) override;
    void drawPolygon(const float* xy, int count, const Paint& paint) override;
    void drawTexturedQuad(TextureId texture, float x, float y, float w, float h,
                          const Paint& paint) override;
    TextureId uploadTexture(int width, int height, const std::uint8_t* rgba, bool smooth) override;
    void pumpEvents() override;
    std::uint32_t clockMillis() override;
    void sleepMillis(int ms) override;
    std::int64_t clockMicros() override;
    void sleepUntilMicros(std::int64_t deadline) override;
    bool openAudio(MixCallback mix) override;
    void lockAudio() override;
    void unlockAudio() override;
    [[noreturn]] void exitProcess(int status) override;

  private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};
