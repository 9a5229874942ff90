// The SDL platform's window and OpenGL context, clocks and ways out; its drawing,
// events and audio are in sdl_drawing.cpp, sdl_events.cpp and sdl_audio.cpp.
#include "runtime/platform/sdl_platform.h"

#include <dlfcn.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/platform/letterbox.h"
#include "runtime/platform/sdl_pads.h"
#include "runtime/platform/sdl_platform_class.h"

namespace {

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

}  // namespace

bool SdlPlatform::openWindow(int width, int height, int depth, int rate) {
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

bool SdlPlatform::openDesktopFullScreen(int width, int height) {
    return open(width, height, SDL_WINDOW_FULLSCREEN_DESKTOP, nullptr);
}

std::vector<DisplayMode> SdlPlatform::displayModes() {
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

void SdlPlatform::setWindowTitle(const std::string& title) {
    if (window_ != nullptr) SDL_SetWindowTitle(window_, title.c_str());
}

void SdlPlatform::setWindowIcon(int width, int height, const std::uint8_t* rgba) {
    if (window_ == nullptr) return;
    // SDL copies the pixels into the window's icon, so the surface can borrow them.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint8_t*>(rgba), width, height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(window_, surface);
    SDL_FreeSurface(surface);
}

void SdlPlatform::desktopBounds(int& right, int& bottom) {
    initVideo();
    SDL_Rect r{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
    right = r.x + r.w;
    bottom = r.y + r.h;
}

void SdlPlatform::moveWindow(int x, int y) {
    if (window_ == nullptr) return;
    SDL_SetWindowAlwaysOnTop(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, x, y);
}

void SdlPlatform::hidePointer() { SDL_ShowCursor(SDL_DISABLE); }

void SdlPlatform::setSwapInterval(int interval) {
    if (context_ != nullptr) SDL_GL_SetSwapInterval(interval);
}

void SdlPlatform::swapBuffers() {
    flush();
    if (window_ == nullptr) return;
    SDL_GL_SwapWindow(window_);
    // A new size takes effect from the next frame on, never halfway through one.
    if (refit_ && context_ != nullptr) fitPicture();
}

void SdlPlatform::finishDrawing() {
    if (context_ == nullptr) return;
    flush();
    glFinish();
}

std::int64_t SdlPlatform::clockMicros() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// To the deadline itself, so time lost before the call does not add up.
void SdlPlatform::sleepUntilMicros(std::int64_t deadline) {
    if (deadline <= 0) return;
    timespec t{};
    t.tv_sec = static_cast<time_t>(deadline / 1000000);
    t.tv_nsec = static_cast<long>(deadline % 1000000) * 1000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

[[noreturn]] void SdlPlatform::fatal(const std::string& message) { fatal(message, nullptr); }

// Milliseconds of the machine's monotonic clock, low 32 bits. SDL's own
// count starts near zero in every process, which seeded every start alike.
std::uint32_t SdlPlatform::clockMillis() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

void SdlPlatform::sleepMillis(int ms) {
    if (ms > 0) SDL_Delay(static_cast<Uint32>(ms));
}

[[noreturn]] void SdlPlatform::exitProcess(int status) { quit(status); }

// Opens the window and its context; `mode` is the display mode a full
// screen switches to, null to keep the desktop's.
bool SdlPlatform::open(int width, int height, Uint32 flags, SDL_DisplayMode* mode) {
    initVideo();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    fullScreen_ = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    // A screen that scales windows gets its own pixels, not a blown-up
    // picture: the viewport is fitted to the drawable, whatever its size.
    flags |= SDL_WINDOW_ALLOW_HIGHDPI;
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
        window_ = SDL_CreateWindow("Flailwick", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
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
void SdlPlatform::fitPicture() {
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    const Letterbox box = letterbox(w, h, gameWidth_, gameHeight_);
    glViewport(box.x, h - box.y - box.height, box.width, box.height);
    refit_ = false;
}

// Every way out comes here: the mixer stops before the sounds it reads are
// released, and the window goes before SDL gives the desktop its mode back.
[[noreturn]] void SdlPlatform::quit(int status) {
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

[[noreturn]] void SdlPlatform::fatal(const std::string& message, const char* hint) {
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

void SdlPlatform::initVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return;
    // The desktop finds the window's entry and icon by this class (X11) or
    // id (Wayland), read when video starts; one set by the player stands.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", FLAILWICK_APP_ID, 0);
    SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", FLAILWICK_APP_ID, 0);
    SDL_SetHint(SDL_HINT_APP_NAME, "Flailwick");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        const std::string hint = std::string("cannot open the display (") + SDL_GetError() + ")";
        fatal("Unable to set graphics mode", hint.c_str());
    }
    // Without a display SDL falls back to drivers that show nothing; a game
    // running invisibly is worse than saying so. An explicit choice stands.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible = driver == nullptr || std::strcmp(driver, "offscreen") == 0 ||
                           std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "evdev") == 0;
    if (invisible && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        fatal("Unable to set graphics mode", "cannot open the display (is DISPLAY set?)");
    }
    openPads();
}

SdlPlatform& instance() {
    static SdlPlatform platform;
    return platform;
}

Platform& sdlPlatform() { return instance(); }
