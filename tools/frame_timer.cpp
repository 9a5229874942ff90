// Measures how steadily the real game presents frames: runs the game on the
// real window, lets it reach the screen to be measured, then times 600 frames
// and the process's CPU use, prints the figures and exits.
//   flailwick_frame_timer menu    the main menu
//   flailwick_frame_timer fight   a "2 PLAYERS CO-OP" fight, both players holding a key
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/platform/sdl_platform.h"

namespace {

constexpr int kMeasuredFrames = 600;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Forwards everything to the real platform, pressing keys on a schedule and
// timing the presents.
class TimingPlatform : public Platform {
  public:
    TimingPlatform(Platform& real, bool fight) : real_(real), fight_(fight) {}

    bool openWindow(int w, int h, int depth, int rate) override {
        return real_.openWindow(w, h, depth, rate);
    }
    bool openDesktopFullScreen(int w, int h) override { return real_.openDesktopFullScreen(w, h); }
    std::vector<DisplayMode> displayModes() override { return real_.displayModes(); }
    void setWindowTitle(const std::string& title) override { real_.setWindowTitle(title); }
    void desktopBounds(int& right, int& bottom) override { real_.desktopBounds(right, bottom); }
    void moveWindow(int x, int y) override { real_.moveWindow(x, y); }
    void hidePointer() override { real_.hidePointer(); }
    void setSwapInterval(int interval) override { real_.setSwapInterval(interval); }
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
        ++polygons_;
        real_.drawPolygon(xy, count, p);
    }
    void drawTexturedQuad(TextureId t, float x, float y, float w, float h,
                          const Paint& p) override {
        real_.drawTexturedQuad(t, x, y, w, h, p);
    }
    TextureId uploadTexture(int w, int h, const std::uint8_t* rgba, bool smooth) override {
        return real_.uploadTexture(w, h, rgba, smooth);
    }
    std::uint32_t clockMillis() override { return real_.clockMillis(); }
    void sleepMillis(int ms) override { real_.sleepMillis(ms); }
    bool openAudio(MixCallback mix) override { return real_.openAudio(mix); }
    void lockAudio() override { real_.lockAudio(); }
    void unlockAudio() override { real_.unlockAudio(); }
    [[noreturn]] void exitProcess(int status) override {
        real_.exitProcess(status);
        std::abort();
    }

    void pumpEvents() override {
        real_.pumpEvents();
        // The schedule acts once per frame, however often the game polls.
        if (!fight_ || scheduled_ == frames_) return;
        scheduled_ = frames_;
        // Space held through the title, PLAY, down to "2 PLAYERS CO-OP", then
        // both players hold a direction so the bodies keep moving.
        const int f = frames_;
        if (f == 1) onKeyDown(KeySpace, false);
        if (f == 400) onKeyUp(KeySpace);
        press(f, 420, KeyEnter);
        press(f, 440, KeyDown);
        press(f, 450, KeyDown);
        press(f, 460, KeyEnter);
        if (f == 500) {
            onKeyDown(KeyRight, false);
            onKeyDown(KeyA, false);
        }
    }

    void swapBuffers() override {
        real_.swapBuffers();
        const auto now = std::chrono::steady_clock::now();
        ++frames_;
        const int start = fight_ ? 600 : 400;
        if (frames_ == start) {
            polygons_ = 0;
            last_ = now;
            cpuStart_ = cpuSeconds();
            wallStart_ = now;
        } else if (frames_ > start) {
            intervals_.push_back(std::chrono::duration<double, std::milli>(now - last_).count());
            last_ = now;
            if (static_cast<int>(intervals_.size()) == kMeasuredFrames) report(now);
        }
    }

  private:
    void press(int frame, int at, int key) {
        if (frame == at) onKeyDown(key, false);
        if (frame == at + 2) onKeyUp(key);
    }

    [[noreturn]] void report(std::chrono::steady_clock::time_point now) {
        std::vector<double> sorted = intervals_;
        std::sort(sorted.begin(), sorted.end());
        const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / sorted.size();
        const double p99 = sorted[static_cast<std::size_t>(sorted.size() * 0.99) - 1];
        const double wall = std::chrono::duration<double>(now - wallStart_).count();
        const double cpu = cpuSeconds() - cpuStart_;
        std::printf(
            "%s: %d frames, mean interval %.2f ms (%.1f fps), 99th percentile %.2f ms, "
            "max %.2f ms, CPU %.0f%% of one core, %.0f polygons a frame\n",
            fight_ ? "fight" : "menu", kMeasuredFrames, mean, 1000.0 / mean, p99, sorted.back(),
            100.0 * cpu / wall, static_cast<double>(polygons_) / kMeasuredFrames);
        std::fflush(stdout);
        real_.exitProcess(0);
        std::abort();
    }

    Platform& real_;
    bool fight_;
    int frames_ = 0;
    int scheduled_ = -1;
    long polygons_ = 0;  // discs and limbs: shows that a fight is on screen
    std::chrono::steady_clock::time_point last_, wallStart_;
    double cpuStart_ = 0;
    std::vector<double> intervals_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool fight = argc > 1 && std::strcmp(argv[1], "fight") == 0;
    static TimingPlatform timing(sdlPlatform(), fight);
    setPlatform(&timing);
    playFlailwick();
}
