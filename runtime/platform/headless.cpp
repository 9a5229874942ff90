// The headless platform: a virtual clock, scripted events and a record of what was drawn.
#include "runtime/platform/headless.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "runtime/input.h"
#include "runtime/pads.h"

namespace {

enum class EventKind {
    KeyDown,
    KeyUp,
    Char,
    FocusLost,
    Close,
    PadAdded,
    PadRemoved,
    PadButton,
    PadStick
};

struct ScriptEvent {
    int frame;
    EventKind kind;
    int code;       // key, character or pad
    int sideCode;   // modifier side, pad button or stick x
    int extra = 0;  // button down or stick y
    std::string identity;
};

// Reads of the clock with no sleep or present in between, after which the
// virtual clock creeps forward so that a busy-wait on it still ends.
constexpr int kIdleClockReads = 1000;

// Room reserved up front so that recording a frame never touches the heap.
constexpr std::size_t kReservedPrimitives = 8192;
constexpr std::size_t kReservedCoords = 65536;
constexpr std::size_t kReservedSleeps = 16384;

}  // namespace

struct HeadlessPlatform::Impl {
    // Time
    double now = 1000.0;
    double presentMillis = 1000.0 / 60.0;
    int audioOpenMillis = 0;
    int idleReads = 0;
    std::vector<int> sleeps;
    std::vector<std::int64_t> sleepsUntil;

    // Script, kept in frame order; equal frames stay in script order.
    std::vector<ScriptEvent> script;
    std::size_t nextEvent = 0;
    std::function<void(int)> presentHook;

    // Record
    int frames = 0;
    bool drewSinceSwap = false;  // the next frame's drawing has begun
    std::vector<Primitive> current, last;
    std::vector<float> currentCoords, lastCoords;
    std::vector<Texture> textures;
    float lineWidth = 1.0f;

    // Window
    bool open = false;
    int depth = 0;
    int swapInterval = 0;
    std::string title;
    Icon icon;
    int windowX = 0, windowY = 0;
    bool pointerHidden = false;
    bool contextFails = false;
    bool fullScreenFails = false;
    bool desktopFullScreen = false;
    std::vector<DisplayMode> modes = {{640, 480, 32, 60},   {800, 600, 32, 60},
                                      {1024, 768, 16, 60},  {1024, 768, 32, 60},
                                      {1280, 1024, 32, 60}, {1920, 1080, 32, 60}};
    int desktopRight = 1920, desktopBottom = 1080;

    // Audio
    bool audioAvailable = true;
    MixCallback mixer = nullptr;

    Impl() {
        current.reserve(kReservedPrimitives);
        last.reserve(kReservedPrimitives);
        currentCoords.reserve(kReservedCoords);
        lastCoords.reserve(kReservedCoords);
        sleeps.reserve(kReservedSleeps);
        sleepsUntil.reserve(kReservedSleeps);
        textures.push_back(Texture{0, 0, false, {}});  // id 0 is never handed out
    }

    // A read of the clock; reads with no sleep or present in between creep forward.
    void readClock() {
        if (++idleReads >= kIdleClockReads) {
            idleReads = 0;
            now += 1.0;
        }
    }

    std::int64_t micros() const { return static_cast<std::int64_t>(now * 1000.0); }

    void add(int frame, EventKind kind, int code = 0, int sideCode = 0, int extra = 0,
             std::string identity = {}) {
        // An event for a frame already past is due at the next poll, after those
        // scripted before it.
        if (frame < frames) frame = frames - 1;
        auto at = std::upper_bound(script.begin(), script.end(), frame,
                                   [](int f, const ScriptEvent& e) { return f < e.frame; });
        const auto first = script.begin() + static_cast<std::ptrdiff_t>(nextEvent);
        if (at < first) at = first;
        script.insert(at, ScriptEvent{frame, kind, code, sideCode, extra, std::move(identity)});
    }

    Primitive& record(Primitive::Kind kind, const Paint& paint) {
        drewSinceSwap = true;
        current.emplace_back();
        Primitive& p = current.back();
        p.kind = kind;
        p.paint = paint;
        p.first = static_cast<int>(currentCoords.size() / 2);
        p.lineWidth = lineWidth;
        return p;
    }

    void vertex(Primitive& p, float x, float y) {
        currentCoords.push_back(x);
        currentCoords.push_back(y);
        ++p.count;
    }
};

HeadlessPlatform::HeadlessPlatform() : impl_(std::make_shared<Impl>()) {}

// --- Script ---

void HeadlessPlatform::keyDownAt(int frame, int code, int sideCode) {
    impl_->add(frame, EventKind::KeyDown, code, sideCode);
}

void HeadlessPlatform::keyUpAt(int frame, int code, int sideCode) {
    impl_->add(frame, EventKind::KeyUp, code, sideCode);
}

void HeadlessPlatform::pressAt(int frame, int code) {
    keyDownAt(frame, code);
    keyUpAt(frame + 1, code);
}

void HeadlessPlatform::typeAt(int frame, std::uint16_t character) {
    impl_->add(frame, EventKind::Char, character);
}

void HeadlessPlatform::focusLostAt(int frame) { impl_->add(frame, EventKind::FocusLost); }

void HeadlessPlatform::closeWindowAt(int frame) { impl_->add(frame, EventKind::Close); }

void HeadlessPlatform::padAddedAt(int frame, int pad, const std::string& identity) {
    impl_->add(frame, EventKind::PadAdded, pad, 0, 0, identity);
}

void HeadlessPlatform::padRemovedAt(int frame, int pad) {
    impl_->add(frame, EventKind::PadRemoved, pad);
}

void HeadlessPlatform::padButtonAt(int frame, int pad, int button, bool down) {
    impl_->add(frame, EventKind::PadButton, pad, button, down ? 1 : 0);
}

void HeadlessPlatform::padStickAt(int frame, int pad, int x, int y) {
    impl_->add(frame, EventKind::PadStick, pad, x, y);
}

void HeadlessPlatform::onPresent(std::function<void(int)> hook) {
    impl_->presentHook = std::move(hook);
}

// --- Record ---

int HeadlessPlatform::framesPresented() const { return impl_->frames; }

const std::vector<Primitive>& HeadlessPlatform::currentFrame() const { return impl_->current; }

const std::vector<Primitive>& HeadlessPlatform::lastFrame() const { return impl_->last; }

const std::vector<float>& HeadlessPlatform::coords(const std::vector<Primitive>& frame) const {
    return &frame == &impl_->current ? impl_->currentCoords : impl_->lastCoords;
}

const HeadlessPlatform::Texture& HeadlessPlatform::texture(TextureId id) const {
    if (id <= 0 || static_cast<std::size_t>(id) >= impl_->textures.size()) {
        return impl_->textures[0];
    }
    return impl_->textures[static_cast<std::size_t>(id)];
}

int HeadlessPlatform::swapInterval() const { return impl_->swapInterval; }

const std::string& HeadlessPlatform::windowTitle() const { return impl_->title; }

const HeadlessPlatform::Icon& HeadlessPlatform::windowIcon() const { return impl_->icon; }

int HeadlessPlatform::windowX() const { return impl_->windowX; }

int HeadlessPlatform::windowY() const { return impl_->windowY; }

bool HeadlessPlatform::windowOpen() const { return impl_->open; }

bool HeadlessPlatform::pointerHidden() const { return impl_->pointerHidden; }

int HeadlessPlatform::openedDepth() const { return impl_->depth; }

bool HeadlessPlatform::desktopFullScreen() const { return impl_->desktopFullScreen; }

// --- Clock ---

void HeadlessPlatform::advanceClock(int ms) {
    if (ms > 0) impl_->now += ms;
}

void HeadlessPlatform::setPresentMillis(double ms) { impl_->presentMillis = ms > 0.0 ? ms : 0.0; }

void HeadlessPlatform::setAudioOpenMillis(int ms) { impl_->audioOpenMillis = ms > 0 ? ms : 0; }

std::vector<int> HeadlessPlatform::sleeps() const { return impl_->sleeps; }

const std::vector<std::int64_t>& HeadlessPlatform::sleepsUntil() const {
    return impl_->sleepsUntil;
}

// --- Display and audio set-up ---

void HeadlessPlatform::setDisplayModes(std::vector<DisplayMode> modes) {
    impl_->modes = std::move(modes);
}

void HeadlessPlatform::setContextFails(bool fails) { impl_->contextFails = fails; }

void HeadlessPlatform::setFullScreenFails(bool fails) { impl_->fullScreenFails = fails; }

void HeadlessPlatform::setAudioAvailable(bool available) { impl_->audioAvailable = available; }

void HeadlessPlatform::setDesktop(int right, int bottom) {
    impl_->desktopRight = right;
    impl_->desktopBottom = bottom;
}

void HeadlessPlatform::mix(std::int16_t* out, int frames) {
    if (out == nullptr || frames <= 0) return;
    if (impl_->mixer == nullptr) {
        std::memset(out, 0, static_cast<std::size_t>(frames) * 2 * sizeof(std::int16_t));
        return;
    }
    impl_->mixer(out, frames);
}

// --- Platform: window ---

bool HeadlessPlatform::openWindow(int /*width*/, int /*height*/, int depth, int /*rate*/) {
    if (impl_->contextFails) return false;
    impl_->open = true;
    impl_->depth = depth;
    return true;
}

bool HeadlessPlatform::openDesktopFullScreen(int /*width*/, int /*height*/) {
    if (impl_->contextFails || impl_->fullScreenFails) return false;
    impl_->open = true;
    impl_->desktopFullScreen = true;
    return true;
}

std::vector<DisplayMode> HeadlessPlatform::displayModes() {
    std::vector<DisplayMode> deep;
    for (const DisplayMode& m : impl_->modes) {
        if (m.bits > 15) deep.push_back(m);
    }
    return deep;
}

void HeadlessPlatform::setWindowTitle(const std::string& title) { impl_->title = title; }

void HeadlessPlatform::setWindowIcon(int width, int height, const std::uint8_t* rgba) {
    impl_->icon.width = width;
    impl_->icon.height = height;
    impl_->icon.rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * height * 4);
}

void HeadlessPlatform::desktopBounds(int& right, int& bottom) {
    right = impl_->desktopRight;
    bottom = impl_->desktopBottom;
}

void HeadlessPlatform::moveWindow(int x, int y) {
    impl_->windowX = x;
    impl_->windowY = y;
}

void HeadlessPlatform::hidePointer() { impl_->pointerHidden = true; }

void HeadlessPlatform::setSwapInterval(int interval) { impl_->swapInterval = interval; }

void HeadlessPlatform::swapBuffers() {
    Impl& d = *impl_;
    std::swap(d.current, d.last);
    std::swap(d.currentCoords, d.lastCoords);
    d.current.clear();
    d.currentCoords.clear();
    ++d.frames;
    d.drewSinceSwap = false;
    d.now += d.presentMillis;
    d.idleReads = 0;
    if (d.presentHook) d.presentHook(d.frames);
}

void HeadlessPlatform::finishDrawing() {}

void HeadlessPlatform::fatal(const std::string& message) { throw HeadlessExit{1, message}; }

// --- Platform: drawing ---

void HeadlessPlatform::clear(int r, int g, int b) {
    Paint paint;
    paint.r = static_cast<std::uint8_t>(r);
    paint.g = static_cast<std::uint8_t>(g);
    paint.b = static_cast<std::uint8_t>(b);
    impl_->record(Primitive::Clear, paint);
}

void HeadlessPlatform::drawPoint(float x, float y, const Paint& paint) {
    Primitive& p = impl_->record(Primitive::Point, paint);
    impl_->vertex(p, x, y);
}

void HeadlessPlatform::drawLine(float x1, float y1, float x2, float y2, const Paint& paint) {
    Primitive& p = impl_->record(Primitive::Line, paint);
    impl_->vertex(p, x1, y1);
    impl_->vertex(p, x2, y2);
}

void HeadlessPlatform::setLineWidth(float width) { impl_->lineWidth = width; }

void HeadlessPlatform::drawPolygon(const float* xy, int count, const Paint& paint) {
    Primitive& p = impl_->record(Primitive::Polygon, paint);
    for (int i = 0; i < count; ++i)
        impl_->vertex(p, xy[2 * i], xy[2 * i + 1]);
}

void HeadlessPlatform::drawTexturedQuad(TextureId texture, float x, float y, float w, float h,
                                        const Paint& paint) {
    Primitive& p = impl_->record(Primitive::Texture, paint);
    p.texture = texture;
    p.x = x;
    p.y = y;
    p.w = w;
    p.h = h;
}

TextureId HeadlessPlatform::uploadTexture(int width, int height, const std::uint8_t* rgba,
                                          bool smooth) {
    Texture t{width, height, smooth, {}};
    if (rgba != nullptr && width > 0 && height > 0) {
        t.rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * height * 4);
    }
    impl_->textures.push_back(std::move(t));
    return static_cast<TextureId>(impl_->textures.size() - 1);
}

// --- Platform: events, time, audio, exit ---

void HeadlessPlatform::pumpEvents() {
    Impl& d = *impl_;
    // Input scripted for frame F arrives while frame F is drawn: a poll right
    // after the F-th present, before any drawing, still belongs to frame F - 1.
    const auto due = [&d](int frame) {
        return frame < d.frames || (frame == d.frames && (d.drewSinceSwap || d.frames == 0));
    };
    while (d.nextEvent < d.script.size() && due(d.script[d.nextEvent].frame)) {
        const ScriptEvent& e = d.script[d.nextEvent++];
        switch (e.kind) {
            case EventKind::KeyDown:
                onKeyDown(e.code, false, e.sideCode);
                break;
            case EventKind::KeyUp:
                onKeyUp(e.code, e.sideCode);
                break;
            case EventKind::Char:
                onChar(static_cast<std::uint16_t>(e.code));
                break;
            case EventKind::FocusLost:
                onFocusLost();
                break;
            case EventKind::PadAdded:
                onPadAdded(e.code, e.identity);
                break;
            case EventKind::PadRemoved:
                onPadRemoved(e.code);
                break;
            case EventKind::PadButton:
                onPadButton(e.code, static_cast<PadButton>(e.sideCode), e.extra != 0);
                break;
            case EventKind::PadStick:
                onPadStick(e.code, e.sideCode, e.extra);
                break;
            case EventKind::Close:
                if (!onWindowClose()) exitProcess(0);
                break;
        }
    }
}

std::uint32_t HeadlessPlatform::clockMillis() {
    impl_->readClock();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(impl_->now));
}

void HeadlessPlatform::sleepMillis(int ms) {
    Impl& d = *impl_;
    d.sleeps.push_back(ms);
    if (ms > 0) d.now += ms;
    d.idleReads = 0;
}

std::int64_t HeadlessPlatform::clockMicros() {
    impl_->readClock();
    return impl_->micros();
}

void HeadlessPlatform::sleepUntilMicros(std::int64_t deadline) {
    Impl& d = *impl_;
    d.idleReads = 0;
    const std::int64_t wait = deadline - d.micros();
    if (wait <= 0) return;
    d.sleepsUntil.push_back(wait);
    d.now = static_cast<double>(deadline) / 1000.0;
    // The division can land a hair before the deadline.
    while (d.micros() < deadline)
        d.now = std::nextafter(d.now, d.now + 1.0);
}

bool HeadlessPlatform::openAudio(MixCallback callback) {
    if (!impl_->audioAvailable) return false;
    impl_->mixer = callback;
    impl_->now += impl_->audioOpenMillis;
    return true;
}

void HeadlessPlatform::lockAudio() {}

void HeadlessPlatform::unlockAudio() {}

void HeadlessPlatform::exitProcess(int status) { throw HeadlessExit{status, ""}; }
