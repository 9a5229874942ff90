// The SDL platform as one class, its parts defined by concern in the files named
// below. Only the sdl_* files include this header.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/platform/platform.h"

class SdlPlatform : public Platform {
  public:
    // --- Window and context, clocks and the ways out: sdl_platform.cpp ---
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
    std::int64_t clockMicros() override;
    void sleepUntilMicros(std::int64_t deadline) override;
    [[noreturn]] void fatal(const std::string& message) override;
    std::uint32_t clockMillis() override;
    void sleepMillis(int ms) override;
    [[noreturn]] void exitProcess(int status) override;

    // --- Batched drawing and textures: sdl_drawing.cpp ---
    void clear(int r, int g, int b) override;
    void drawPoint(float x, float y, const Paint& paint) override;
    void drawLine(float x1, float y1, float x2, float y2, const Paint& paint) override;
    void setLineWidth(float width) override;
    void drawPolygon(const float* xy, int count, const Paint& paint) override;
    void drawTexturedQuad(TextureId texture, float x, float y, float w, float h,
                          const Paint& paint) override;
    TextureId uploadTexture(int width, int height, const std::uint8_t* rgba, bool smooth) override;
    void setReferenceDrawing(bool on);
    std::vector<std::uint8_t> readPixels(int width, int height);

    // --- Events: sdl_events.cpp ---
    void pumpEvents() override;

    // --- Audio: sdl_audio.cpp ---
    bool openAudio(MixCallback mix) override;
    void lockAudio() override;
    void unlockAudio() override;

  private:
    // --- Window and context, clocks and the ways out: sdl_platform.cpp ---
    bool open(int width, int height, Uint32 flags, SDL_DisplayMode* mode);
    void fitPicture();
    [[noreturn]] void quit(int status);
    [[noreturn]] void fatal(const std::string& message, const char* hint);
    void initVideo();

    // --- Batched drawing and textures: sdl_drawing.cpp ---
    TextureId stack(int width, int height, const std::uint8_t* rgba);
    void uploadWithMipmaps(int width, int height, const std::uint8_t* rgba);
    float* batch(GLenum mode, Paint paint, TextureId texture, int count);
    void flush();
    bool use(const Paint& paint, TextureId texture);
    static void colour(const Paint& paint);
    void bindTexture(GLenum target, GLuint name);
    void setBlend(int mode);

    // --- Events: sdl_events.cpp ---
    void handle(const SDL_Event& event);

    using GenerateMipmap = void(APIENTRY*)(GLenum);
    using TexImage3D = void(APIENTRY*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLsizei, GLint,
                                       GLenum, GLenum, const void*);
    using TexSubImage3D = void(APIENTRY*)(GLenum, GLint, GLint, GLint, GLint, GLsizei, GLsizei,
                                          GLsizei, GLenum, GLenum, const void*);

    // A texture as the game knows it: a picture of its own, or a slice of a stack.
    struct Slot {
        GLenum target = 0;
        GLuint name = 0;
        float r = 0.0f;  // third texture coordinate, picking the slice
    };
    struct Stack {
        GLuint name;
        int width, height;
        int used;  // slices filled
    };
    static constexpr int kStackedSize = 64;  // largest side of a stacked picture
    static constexpr int kStackDepth = 128;

    // Vertices a batch holds: room for the largest oval as triangles.
    static constexpr int kBatchVertices = 16384;

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    bool fullScreen_ = false;
    int gameWidth_ = 1024;
    int gameHeight_ = 768;
    bool refit_ = false;  // the window's size changed since the picture was fitted
    GenerateMipmap generateMipmap_ = nullptr;
    TexImage3D texImage3D_ = nullptr;
    TexSubImage3D texSubImage3D_ = nullptr;
    std::vector<Slot> textures_ = std::vector<Slot>(1);  // by TextureId; 0 is none
    std::vector<Stack> stacks_;
    int blend_ = 0;
    GLenum target_ = 0;  // the texture target enabled, 0 for none
    GLuint bound2D_ = 0;
    GLuint bound3D_ = 0;
    SDL_AudioDeviceID audio_ = 0;

    // Primitives waiting to be drawn together: one kind, paint and texture.
    // Fixed arrays, so a frame never touches the heap.
    std::array<float, 2 * kBatchVertices> batchXY_{};
    std::array<float, 3 * kBatchVertices> batchSTR_{};  // texture coordinates
    std::array<float, 4 * kBatchVertices> batchRGBA_{};
    int batched_ = 0;  // vertices waiting
    GLenum batchMode_ = GL_POINTS;
    Paint batchPaint_;
    TextureId batchTexture_ = 0;
    bool texCoordArray_ = false;
    bool reference_ = false;  // one call per primitive, mipmaps by the driver
};

// The one platform object.
SdlPlatform& instance();

// The mixer the audio device calls, kept for as long as the device is open.
extern MixCallback audioMixer;
