// A platform that hands everything to another, for tools that watch or drive
// the real game: they override what they need and forward the rest.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/platform/platform.h"

class ForwardingPlatform : public Platform {
  public:
    explicit ForwardingPlatform(Platform& real) : real_(real) {}

    bool openWindow(int w, int h, int depth, int rate) override {
        return real_.openWindow(w, h, depth, rate);
    }
    bool openDesktopFullScreen(int w, int h) override { return real_.openDesktopFullScreen(w, h); }
    std::vector<DisplayMode> displayModes() override { return real_.displayModes(); }
    void setWindowTitle(const std::string& title) override { real_.setWindowTitle(title); }
    void setWindowIcon(int w, int h, const std::uint8_t* rgba) override {
        real_.setWindowIcon(w, h, rgba);
    }
    void desktopBounds(int& right, int& bottom) override { real_.desktopBounds(right, bottom); }
    void moveWindow(int x, int y) override { real_.moveWindow(x, y); }
    void hidePointer() override { real_.hidePointer(); }
    void setSwapInterval(int interval) override { real_.setSwapInterval(interval); }
    void swapBuffers() override { real_.swapBuffers(); }
    void finishDrawing() override { real_.finishDrawing(); }
    [[noreturn]] void fatal(const std::string& message) override {
        real_.fatal(message);
        std::abort();
    }
    void clear(int r, int g, int b) override { real_.clear(r, g, b); }
    void drawPoint(float x, float y, const Paint& p) override { real_.drawPoint(x, y, p); }
    void drawLine(float x1, float y1, float x2, float y2, const Paint& p) override {
        real_.drawLine(x1, y1, x2, y2, p);
    }
    void setLineWidth(float width) override { real_.setLineWidth(width); }
    void drawPolygon(const float* xy, int count, const Paint& p) override {
        real_.drawPolygon(xy, count, p);
    }
    void drawTexturedQuad(TextureId t, float x, float y, float w, float h,
                          const Paint& p) override {
        real_.drawTexturedQuad(t, x, y, w, h, p);
    }
    TextureId uploadTexture(int w, int h, const std::uint8_t* rgba, bool smooth) override {
        return real_.uploadTexture(w, h, rgba, smooth);
    }
    void pumpEvents() override { real_.pumpEvents(); }
    std::uint32_t clockMillis() override { return real_.clockMillis(); }
    void sleepMillis(int ms) override { real_.sleepMillis(ms); }
    std::int64_t clockMicros() override { return real_.clockMicros(); }
    void sleepUntilMicros(std::int64_t deadline) override { real_.sleepUntilMicros(deadline); }
    bool openAudio(MixCallback mix) override { return real_.openAudio(mix); }
    void lockAudio() override { real_.lockAudio(); }
    void unlockAudio() override { real_.unlockAudio(); }
    [[noreturn]] void exitProcess(int status) override {
        real_.exitProcess(status);
        std::abort();
    }

  protected:
    Platform& real_;
};
