// The SDL platform: window and OpenGL context, batched drawing, events and audio.
#include "runtime/platform/sdl_platform.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <dlfcn.h>
#include <time.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/input.h"
#include "runtime/platform/letterbox.h"
#include "runtime/platform/sdl_keys.h"
#include "runtime/platform/sdl_pads.h"
#include "runtime/png_pixels.h"
#include "runtime/sound.h"

namespace {

// --- Message boxes ------------------------------------------------------------

// SDL's X11 message box waits for a click that never comes when no window
// manager runs (Xvfb in a test), so it is only shown when one is present.
bool x11WindowManagerRunning() {
    using OpenDisplay = void* (*)(const char*);
    using CloseDisplay = int (*)(void*);
    using DefaultRoot = unsigned long (*)(void*);
    using InternAtom = unsigned long (*)(void*, const char*, int);
    using GetProperty =
        int (*)(void*, unsigned long, unsigned long, long, long, int, unsigned long, unsigned long*,
                int*, unsigned long*, unsigned long*, unsigned char**);
    using Free = int (*)(void*);
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (x11 == nullptr) return false;
    const auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    const auto closeDisplay = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
    const auto defaultRoot = reinterpret_cast<DefaultRoot>(dlsym(x11, "XDefaultRootWindow"));
    const auto internAtom = reinterpret_cast<InternAtom>(dlsym(x11, "XInternAtom"));
    const auto getProperty = reinterpret_cast<GetProperty>(dlsym(x11, "XGetWindowProperty"));
    const auto xfree = reinterpret_cast<Free>(dlsym(x11, "XFree"));
    bool running = false;
    if (openDisplay && closeDisplay && defaultRoot && internAtom && getProperty && xfree) {
        void* display = openDisplay(nullptr);
        if (display != nullptr) {
            constexpr unsigned long kWindowType = 33;  // XA_WINDOW
            const unsigned long check = internAtom(display, "_NET_SUPPORTING_WM_CHECK", 1);
            if (check != 0) {
                unsigned long type = 0, items = 0, after = 0;
                int format = 0;
                unsigned char* data = nullptr;
                if (getProperty(display, defaultRoot(display), check, 0, 1, 0, kWindowType, &type,
                                &format, &items, &after, &data) == 0) {
                    running = items == 1;
                }
                if (data != nullptr) xfree(data);
            }
            closeDisplay(display);
        }
    }
    dlclose(x11);
    return running;
}

bool canShowMessageBox() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return false;
    if (std::strcmp(driver, "x11") == 0) return x11WindowManagerRunning();
    return std::strcmp(driver, "wayland") == 0;
}

// --- Audio --------------------------------------------------------------------

MixCallback audioMixer = nullptr;

void SDLCALL audioCallback(void* /*userdata*/, Uint8* stream, int length) {
    std::int16_t* out = reinterpret_cast<std::int16_t*>(stream);
    const int frames = length / 4;
    if (audioMixer != nullptr) {
        audioMixer(out, frames);
    } else {
        std::memset(stream, 0, static_cast<std::size_t>(length));
    }
}

// --- The platform -----------------------------------------------------------

class SdlPlatform : public Platform {
  public:
    bool openWindow(int width, int height, int depth, int rate) override {
        if (depth <= 0) {
            // A window the player may resize or maximise: the picture is scaled to fit.
            return open(width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE, nullptr);
        }
        SDL_DisplayMode mode{};
        mode.w = width;
        mode.h = height;
        mode.refresh_rate = rate;
        mode.format = depth >= 24 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
        return open(width, height, SDL_WINDOW_FULLSCREEN | SDL_WINDOW_HIDDEN, &mode);
    }

    bool openDesktopFullScreen(int width, int height) override {
        return open(width, height, SDL_WINDOW_FULLSCREEN_DESKTOP, nullptr);
    }

    std::vector<DisplayMode> displayModes() override {
        initVideo();
        std::vector<DisplayMode> modes;
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
            const int bits = static_cast<int>(SDL_BITSPERPIXEL(m.format));
            if (bits > 15) modes.push_back(DisplayMode{m.w, m.h, bits, m.refresh_rate});
        }
        return modes;
    }

    void setWindowTitle(const std::string& title) override {
        if (window_ != nullptr) SDL_SetWindowTitle(window_, title.c_str());
    }

    void desktopBounds(int& right, int& bottom) override {
        initVideo();
        SDL_Rect r{0, 0, 0, 0};
        if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
        right = r.x + r.w;
        bottom = r.y + r.h;
    }

    void moveWindow(int x, int y) override {
        if (window_ == nullptr) return;
        SDL_SetWindowAlwaysOnTop(window_, SDL_FALSE);
        SDL_SetWindowPosition(window_, x, y);
    }

    void hidePointer() override { SDL_ShowCursor(SDL_DISABLE); }

    void setSwapInterval(int interval) override {
        if (context_ != nullptr) SDL_GL_SetSwapInterval(interval);
    }

    void swapBuffers() override {
        flush();
        if (window_ == nullptr) return;
        SDL_GL_SwapWindow(window_);
        // A new size takes effect from the next frame on, never halfway through one.
        if (refit_ && context_ != nullptr) fitPicture();
    }

    void finishDrawing() override {
        if (context_ == nullptr) return;
        flush();
        glFinish();
    }

    std::int64_t clockMicros() override {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }

    // To the deadline itself, so time lost before the call does not add up.
    void sleepUntilMicros(std::int64_t deadline) override {
        if (deadline <= 0) return;
        timespec t{};
        t.tv_sec = static_cast<time_t>(deadline / 1000000);
        t.tv_nsec = static_cast<long>(deadline % 1000000) * 1000;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
    }

    [[noreturn]] void fatal(const std::string& message) override { fatal(message, nullptr); }

    void clear(int r, int g, int b) override {
        if (context_ == nullptr) return;
        flush();
        glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    void drawPoint(float x, float y, const Paint& paint) override {
        if (reference_) {
            if (!use(paint, 0)) return;
            colour(paint);
            glBegin(GL_POINTS);
            glVertex2f(x, y);
            glEnd();
            return;
        }
        float* v = batch(GL_POINTS, paint, 0, 1);
        if (v == nullptr) return;
        v[0] = x;
        v[1] = y;
    }

    void drawLine(float x1, float y1, float x2, float y2, const Paint& paint) override {
        if (reference_) {
            if (!use(paint, 0)) return;
            colour(paint);
            glBegin(GL_LINES);
            glVertex2f(x1, y1);
            glVertex2f(x2, y2);
            glEnd();
            return;
        }
        float* v = batch(GL_LINES, paint, 0, 2);
        if (v == nullptr) return;
        v[0] = x1;
        v[1] = y1;
        v[2] = x2;
        v[3] = y2;
    }

    void setLineWidth(float width) override {
        if (context_ == nullptr) return;
        flush();
        glLineWidth(width);
    }

    // Batched as triangles, so that discs and limbs of one colour go together.
    // Each polygon is split the way the driver splits GL_POLYGON and GL_QUADS,
    // so the pixels come out the same.
    void drawPolygon(const float* xy, int count, const Paint& paint) override {
        if (count < 3 || context_ == nullptr) return;
        const int vertices = 3 * (count - 2);
        if (reference_ || vertices > kBatchVertices) {
            flush();
            if (!use(paint, 0)) return;
            colour(paint);
            glBegin(count == 4 ? GL_QUADS : GL_POLYGON);
            for (int i = 0; i < count; ++i)
                glVertex2f(xy[2 * i], xy[2 * i + 1]);
            glEnd();
            return;
        }
        float* v = batch(GL_TRIANGLES, paint, 0, vertices);
        if (v == nullptr) return;
        const auto put = [&v, xy](int i) {
            *v++ = xy[2 * i];
            *v++ = xy[2 * i + 1];
        };
        if (count == 4) {
            for (int i : {0, 1, 3, 1, 2, 3})
                put(i);
            return;
        }
        for (int i = 1; i + 1 < count; ++i) {
            put(0);
            put(i);
            put(i + 1);
        }
    }

    void drawTexturedQuad(TextureId texture, float x, float y, float w, float h,
                          const Paint& paint) override {
        if (texture <= 0 || static_cast<std::size_t>(texture) >= textures_.size()) return;
        if (reference_) {
            if (!use(paint, texture)) return;
            colour(paint);
            glBegin(GL_QUADS);
            glTexCoord2f(0.0f, 0.0f);
            glVertex2f(x, y);
            glTexCoord2f(1.0f, 0.0f);
            glVertex2f(x + w, y);
            glTexCoord2f(1.0f, 1.0f);
            glVertex2f(x + w, y + h);
            glTexCoord2f(0.0f, 1.0f);
            glVertex2f(x, y + h);
            glEnd();
            return;
        }
        float* v = batch(GL_QUADS, paint, texture, 4);
        if (v == nullptr) return;
        const float r = textures_[static_cast<std::size_t>(texture)].r;
        const float xy[8] = {x, y, x + w, y, x + w, y + h, x, y + h};
        const float str[12] = {0.0f, 0.0f, r, 1.0f, 0.0f, r, 1.0f, 1.0f, r, 0.0f, 1.0f, r};
        std::memcpy(v, xy, sizeof xy);
        std::memcpy(batchSTR_.data() + 3 * ((v - batchXY_.data()) / 2), str, sizeof str);
    }

    TextureId uploadTexture(int width, int height, const std::uint8_t* rgba, bool smooth) override {
        if (context_ == nullptr || rgba == nullptr || width <= 0 || height <= 0) return 0;
        flush();
        if (!smooth && !reference_ && width <= kStackedSize && height <= kStackedSize &&
            texImage3D_ != nullptr && texSubImage3D_ != nullptr) {
            return stack(width, height, rgba);
        }
        GLuint name = 0;
        glGenTextures(1, &name);
        bindTexture(GL_TEXTURE_2D, name);
        textures_.push_back(Slot{GL_TEXTURE_2D, name, 0.0f});
        const auto id = static_cast<TextureId>(textures_.size() - 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, smooth ? GL_LINEAR : GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        smooth ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
        if (smooth && !reference_) {
            uploadWithMipmaps(width, height, rgba);
            return id;
        }
        const bool mipmapAfter = smooth && generateMipmap_ != nullptr;
        if (smooth && !mipmapAfter) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        if (mipmapAfter) generateMipmap_(GL_TEXTURE_2D);
        return id;
    }

    // Today's drawing, kept as the reference the batched one must match.
    void setReferenceDrawing(bool on) {
        flush();
        reference_ = on;
    }

    std::vector<std::uint8_t> readPixels(int width, int height) {
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
        if (context_ == nullptr) return {};
        flush();
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    void pumpEvents() override {
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0)
            handle(event);
    }

    // Milliseconds of the machine's monotonic clock, low 32 bits. SDL's own
    // count starts near zero in every process, which seeded every start alike.
    std::uint32_t clockMillis() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                          static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
    }

    void sleepMillis(int ms) override {
        if (ms > 0) SDL_Delay(static_cast<Uint32>(ms));
    }

    bool openAudio(MixCallback mix) override {
        if (audio_ != 0) return true;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        SDL_AudioSpec want{};
        want.freq = kMixRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kMixBlockFrames;
        want.callback = audioCallback;
        SDL_AudioSpec have{};
        audioMixer = mix;
        audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (audio_ == 0) {
            audioMixer = nullptr;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_PauseAudioDevice(audio_, 0);
        return true;
    }

    void lockAudio() override {
        if (audio_ != 0) SDL_LockAudioDevice(audio_);
    }

    void unlockAudio() override {
        if (audio_ != 0) SDL_UnlockAudioDevice(audio_);
    }

    [[noreturn]] void exitProcess(int status) override { quit(status); }

  private:
    // Opens the window and its context; `mode` is the display mode a full
    // screen switches to, null to keep the desktop's.
    bool open(int width, int height, Uint32 flags, SDL_DisplayMode* mode) {
        initVideo();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

        fullScreen_ = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
        if (fullScreen_) {
            SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "1");
            // At the desktop's mode the window covers the whole screen from
            // the start, whether or not a window manager is there to make it so.
            int w = width;
            int h = height;
            SDL_DisplayMode desktop{};
            if (mode == nullptr && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
                w = desktop.w;
                h = desktop.h;
            }
            window_ = SDL_CreateWindow("Flailwick", 0, 0, w, h, flags | SDL_WINDOW_OPENGL);
        } else {
            window_ =
                SDL_CreateWindow("Flailwick", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                 width, height, flags | SDL_WINDOW_OPENGL);
        }
        if (window_ == nullptr) {
            std::fprintf(stderr, "Flailwick: %s\n", SDL_GetError());
            return false;
        }
        if (mode != nullptr) {
            if (SDL_SetWindowDisplayMode(window_, mode) != 0) {
                mode->refresh_rate = 0;
                SDL_SetWindowDisplayMode(window_, mode);
            }
            SDL_ShowWindow(window_);
        }

        context_ = SDL_GL_CreateContext(window_);
        if (context_ == nullptr || SDL_GL_MakeCurrent(window_, context_) != 0) {
            std::fprintf(stderr, "Flailwick: %s\n", SDL_GetError());
            if (context_ != nullptr) SDL_GL_DeleteContext(context_);
            context_ = nullptr;
            SDL_DestroyWindow(window_);
            window_ = nullptr;
            return false;
        }
        void* proc = SDL_GL_GetProcAddress("glGenerateMipmap");
        std::memcpy(&generateMipmap_, &proc, sizeof proc);
        proc = SDL_GL_GetProcAddress("glTexImage3D");
        std::memcpy(&texImage3D_, &proc, sizeof proc);
        proc = SDL_GL_GetProcAddress("glTexSubImage3D");
        std::memcpy(&texSubImage3D_, &proc, sizeof proc);

        gameWidth_ = width;
        gameHeight_ = height;
        fitPicture();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, width, height, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, batchXY_.data());
        glColorPointer(4, GL_FLOAT, 0, batchRGBA_.data());
        glTexCoordPointer(3, GL_FLOAT, 0, batchSTR_.data());
        blend_ = 0;  // nothing sent yet
        target_ = 0;
        bound2D_ = 0;
        bound3D_ = 0;
        textures_.assign(1, Slot{});
        stacks_.clear();
        texCoordArray_ = false;
        batched_ = 0;
        SDL_StartTextInput();
        return true;
    }

    // The game draws in its own coordinates; the viewport puts the picture,
    // scaled to fit with its shape kept, in the middle of whatever the window
    // or screen is, and the clear leaves black bars around it.
    void fitPicture() {
        int w = 0;
        int h = 0;
        SDL_GL_GetDrawableSize(window_, &w, &h);
        const Letterbox box = letterbox(w, h, gameWidth_, gameHeight_);
        glViewport(box.x, h - box.y - box.height, box.width, box.height);
        refit_ = false;
    }

    // Every way out comes here: the mixer stops before the sounds it reads are
    // released, and the window goes before SDL gives the desktop its mode back.
    [[noreturn]] void quit(int status) {
        closePads();
        if (audio_ != 0) SDL_CloseAudioDevice(audio_);
        audio_ = 0;
        audioMixer = nullptr;
        if (context_ != nullptr) SDL_GL_DeleteContext(context_);
        if (window_ != nullptr) SDL_DestroyWindow(window_);
        context_ = nullptr;
        window_ = nullptr;
        SDL_Quit();
        std::exit(status);
    }

    [[noreturn]] void fatal(const std::string& message, const char* hint) {
        std::fprintf(stderr, "Flailwick: %s\n", message.c_str());
        if (hint != nullptr) std::fprintf(stderr, "Flailwick: %s\n", hint);
        std::fflush(stderr);
        // Leave full screen first so the box is not hidden behind the game.
        if (context_ != nullptr) SDL_GL_DeleteContext(context_);
        if (window_ != nullptr) SDL_DestroyWindow(window_);
        context_ = nullptr;
        window_ = nullptr;
        if (canShowMessageBox()) {
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Flailwick", message.c_str(), nullptr);
        }
        quit(1);
    }

    void initVideo() {
        if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            const std::string hint =
                std::string("cannot open the display (") + SDL_GetError() + ")";
            fatal("Unable to set graphics mode", hint.c_str());
        }
        // Without a display SDL falls back to drivers that show nothing; a game
        // running invisibly is worse than saying so. An explicit choice stands.
        const char* driver = SDL_GetCurrentVideoDriver();
        const bool invisible = driver == nullptr || std::strcmp(driver, "offscreen") == 0 ||
                               std::strcmp(driver, "dummy") == 0 ||
                               std::strcmp(driver, "evdev") == 0;
        if (invisible && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            fatal("Unable to set graphics mode", "cannot open the display (is DISPLAY set?)");
        }
        openPads();
    }

    // Small unfiltered pictures of one size (the font's glyphs) are slices of
    // one 3D texture, so that text of one colour is one batch: the renderer
    // copies its whole texture state whenever the bound texture changes. A
    // slice is picked by the third coordinate at its middle; the first two
    // are sampled exactly as in a picture of its own.
    TextureId stack(int width, int height, const std::uint8_t* rgba) {
        Stack* into = nullptr;
        for (Stack& st : stacks_) {
            if (st.width == width && st.height == height && st.used < kStackDepth) into = &st;
        }
        if (into == nullptr) {
            Stack fresh{0, width, height, 0};
            glGenTextures(1, &fresh.name);
            bindTexture(GL_TEXTURE_3D, fresh.name);
            glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            texImage3D_(GL_TEXTURE_3D, 0, GL_RGBA8, width, height, kStackDepth, 0, GL_RGBA,
                        GL_UNSIGNED_BYTE, nullptr);
            stacks_.push_back(fresh);
            into = &stacks_.back();
        }
        bindTexture(GL_TEXTURE_3D, into->name);
        texSubImage3D_(GL_TEXTURE_3D, 0, 0, 0, into->used, width, height, 1, GL_RGBA,
                       GL_UNSIGNED_BYTE, rgba);
        const float r = (static_cast<float>(into->used) + 0.5f) / kStackDepth;
        ++into->used;
        textures_.push_back(Slot{GL_TEXTURE_3D, into->name, r});
        return static_cast<TextureId>(textures_.size() - 1);
    }

    // Built here rather than by the driver, whose way starts the renderer's
    // shader compiler and costs the title a good part of its start.
    void uploadWithMipmaps(int width, int height, const std::uint8_t* rgba) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        Pixels level;
        level.width = width;
        level.height = height;
        level.rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * height * 4);
        for (int i = 1; level.width > 1 || level.height > 1; ++i) {
            level = halvePixels(level);
            glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, level.width, level.height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, level.rgba.data());
        }
    }

    // Room for `count` more vertices in the batch of this kind, paint and
    // texture; whatever else waits is drawn first. Null when nothing is to be
    // drawn.
    float* batch(GLenum mode, Paint paint, TextureId texture, int count) {
        if (context_ == nullptr) return nullptr;
        // Untextured, a cut-out is all or nothing: it passes the alpha test
        // from opacity 128 on (128 / 255 >= 0.5) and none of it below. Drawn
        // as opaque it takes the renderer's faster path, with the same pixels.
        if (texture == 0 && paint.blend == Cutout) {
            if (paint.alpha < 128) return nullptr;
            paint.blend = Opaque;
        }
        // Slices of one stack share a batch: they differ only in a coordinate.
        const bool same = batched_ > 0 && mode == batchMode_ &&
                          textures_[static_cast<std::size_t>(texture)].name ==
                              textures_[static_cast<std::size_t>(batchTexture_)].name &&
                          paint.r == batchPaint_.r && paint.g == batchPaint_.g &&
                          paint.b == batchPaint_.b && paint.alpha == batchPaint_.alpha &&
                          paint.blend == batchPaint_.blend;
        if (!same || batched_ + count > kBatchVertices) {
            flush();
            batchMode_ = mode;
            batchPaint_ = paint;
            batchTexture_ = texture;
        }
        float* at = batchXY_.data() + 2 * batched_;
        batched_ += count;
        return at;
    }

    // One draw for the whole batch: within it OpenGL draws each primitive
    // over the ones before, as separate draws would.
    void flush() {
        if (batched_ == 0) return;
        const int count = batched_;
        batched_ = 0;
        if (!use(batchPaint_, batchTexture_)) return;
        // The colour goes with every vertex, as glColor4ub would convert it:
        // the driver's way of mixing a current colour with arrays is slow.
        const float rgba[4] = {batchPaint_.r / 255.0f, batchPaint_.g / 255.0f,
                               batchPaint_.b / 255.0f, batchPaint_.alpha / 255.0f};
        for (int i = 0; i < count; ++i)
            std::memcpy(&batchRGBA_[4 * static_cast<std::size_t>(i)], rgba, sizeof rgba);
        const bool textured = batchTexture_ != 0;
        if (textured != texCoordArray_) {
            if (textured) {
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            } else {
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            }
            texCoordArray_ = textured;
        }
        glDrawArrays(batchMode_, 0, count);
    }

    // Sends only the state that changed: blend mode, texturing and the bound
    // texture are the costly ones.
    bool use(const Paint& paint, TextureId texture) {
        if (context_ == nullptr || texture < 0 ||
            static_cast<std::size_t>(texture) >= textures_.size()) {
            return false;
        }
        setBlend(paint.blend);
        const Slot& slot = textures_[static_cast<std::size_t>(texture)];
        if (slot.target != target_) {
            if (target_ != 0) glDisable(target_);
            if (slot.target != 0) glEnable(slot.target);
            target_ = slot.target;
        }
        if (slot.target != 0) bindTexture(slot.target, slot.name);
        return true;
    }

    static void colour(const Paint& paint) { glColor4ub(paint.r, paint.g, paint.b, paint.alpha); }

    void bindTexture(GLenum target, GLuint name) {
        GLuint& bound = target == GL_TEXTURE_3D ? bound3D_ : bound2D_;
        if (name == bound) return;
        glBindTexture(target, name);
        bound = name;
    }

    void setBlend(int mode) {
        if (mode < Cutout || mode > Multiply) mode = Opaque;
        if (mode == blend_) return;
        blend_ = mode;
        switch (mode) {
            case Cutout:
                glDisable(GL_BLEND);
                glEnable(GL_ALPHA_TEST);
                glAlphaFunc(GL_GEQUAL, 0.5f);
                break;
            case Opaque:
                glDisable(GL_BLEND);
                glDisable(GL_ALPHA_TEST);
                break;
            case Translucent:
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                glDisable(GL_ALPHA_TEST);
                break;
            case Additive:
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE);
                glDisable(GL_ALPHA_TEST);
                break;
            case Multiply:
                glEnable(GL_BLEND);
                glBlendFunc(GL_DST_COLOR, GL_ZERO);
                glDisable(GL_ALPHA_TEST);
                break;
        }
    }

    void handle(const SDL_Event& event) {
        if (handlePadEvent(event)) return;
        switch (event.type) {
            case SDL_QUIT:
                quit(0);
            case SDL_KEYDOWN: {
                const SDL_Keysym& key = event.key.keysym;
                const int code = virtualKey(key.sym, key.scancode);
                if (code != 0) onKeyDown(code, event.key.repeat != 0, sideKey(key.sym));
                const int c = controlCharacter(key.sym);
                if (c != 0) onChar(static_cast<std::uint16_t>(c));
                break;
            }
            case SDL_KEYUP: {
                const SDL_Keysym& key = event.key.keysym;
                const int code = virtualKey(key.sym, key.scancode);
                if (code != 0) onKeyUp(code, sideKey(key.sym));
                break;
            }
            case SDL_TEXTINPUT:
                deliverText(event.text.text);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                const int code = mouseCode(event.button.button);
                const bool down = event.type == SDL_MOUSEBUTTONDOWN;
                if (code != 0) onMouseButton(code, down);
                // In a window a held button keeps the mouse, as a drag would.
                if (!fullScreen_) {
                    SDL_CaptureMouse(down || SDL_GetMouseState(nullptr, nullptr) != 0 ? SDL_TRUE
                                                                                      : SDL_FALSE);
                }
                break;
            }
            case SDL_MOUSEMOTION:
                onMouseMove(event.motion.x, event.motion.y);
                break;
            case SDL_MOUSEWHEEL: {
                int notches = event.wheel.y;
                if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
                // Any real wheel stays far inside this; it keeps the x 120 from overflowing.
                if (notches > 1000) notches = 1000;
                if (notches < -1000) notches = -1000;
                onMouseWheel(notches * 120);
                break;
            }
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) onFocusLost();
                if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) refit_ = true;
                break;
            default:
                break;
        }
    }

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

SdlPlatform& instance() {
    static SdlPlatform platform;
    return platform;
}

}  // namespace

Platform& sdlPlatform() { return instance(); }

void setSdlReferenceDrawing(bool on) { instance().setReferenceDrawing(on); }

std::vector<std::uint8_t> readSdlPixels(int width, int height) {
    return instance().readPixels(width, height);
}
