// Measures how steadily the real game presents frames: runs the game on the
// real window, lets it reach the screen to be measured, then times 600 frames
// and the process's CPU use, prints the figures and exits.
//   flailwick_frame_timer menu    the main menu
//   flailwick_frame_timer fight   a "2 PLAYERS CO-OP" fight, both players holding a key,
//                                 slow motion off (it writes prefs.fwk where it runs)
//   flailwick_frame_timer title   five fresh starts, each timed from exec to the
//                                 return of the first present showing the title
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/platform/sdl_platform.h"
#include "tools/forwarding_platform.h"

namespace {

constexpr int kMeasuredFrames = 600;
constexpr int kTitleStarts = 5;
constexpr double kFrameMillis = 1000.0 / 60.0;

enum class Mode { Menu, Fight, Title };

std::int64_t monotonicNanos() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Forwards everything to the real platform, pressing keys on a schedule and
// timing the presents.
class TimingPlatform : public ForwardingPlatform {
  public:
    TimingPlatform(Platform& real, Mode mode, std::int64_t execNanos)
        : ForwardingPlatform(real),
          fight_(mode == Mode::Fight),
          title_(mode == Mode::Title),
          execNanos_(execNanos) {}

    void drawPolygon(const float* xy, int count, const Paint& p) override {
        ++polygons_;
        real_.drawPolygon(xy, count, p);
    }
    void drawTexturedQuad(TextureId t, float x, float y, float w, float h,
                          const Paint& p) override {
        if (t != 0 && t == titleTexture_) titleDrawn_ = true;
        real_.drawTexturedQuad(t, x, y, w, h, p);
    }
    TextureId uploadTexture(int w, int h, const std::uint8_t* rgba, bool smooth) override {
        const TextureId id = real_.uploadTexture(w, h, rgba, smooth);
        // The title picture is the only 205 x 275 one.
        if (w == 205 && h == 275) titleTexture_ = id;
        return id;
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
        if (title_ && titleDrawn_) reportTitle();
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
        const auto onTime = std::count_if(sorted.begin(), sorted.end(), [](double ms) {
            return ms >= kFrameMillis - 1.0 && ms <= kFrameMillis + 1.0;
        });
        const double wall = std::chrono::duration<double>(now - wallStart_).count();
        const double cpu = cpuSeconds() - cpuStart_;
        std::printf(
            "%s: %d frames, mean interval %.2f ms (%.1f fps), 99th percentile %.2f ms, "
            "max %.2f ms, %.1f%% within 1 ms of 16.67 ms, CPU %.1f%% of one core, "
            "%.0f polygons a frame\n",
            fight_ ? "fight" : "menu", kMeasuredFrames, mean, 1000.0 / mean, p99, sorted.back(),
            100.0 * static_cast<double>(onTime) / static_cast<double>(sorted.size()),
            100.0 * cpu / wall, static_cast<double>(polygons_) / kMeasuredFrames);
        std::fflush(stdout);
        real_.exitProcess(0);
        std::abort();
    }

    [[noreturn]] void reportTitle() {
        std::printf("%.1f\n", static_cast<double>(monotonicNanos() - execNanos_) / 1e6);
        std::fflush(stdout);
        real_.exitProcess(0);
        std::abort();
    }

    bool fight_;
    bool title_;
    std::int64_t execNanos_;  // when the measured start began, for the title mode
    TextureId titleTexture_ = 0;
    bool titleDrawn_ = false;
    int frames_ = 0;
    int scheduled_ = -1;
    long polygons_ = 0;  // discs and limbs: shows that a fight is on screen
    std::chrono::steady_clock::time_point last_, wallStart_;
    double cpuStart_ = 0;
    std::vector<double> intervals_;
};

// Runs this program again as a fresh process for each start, handing it the
// time of its exec, and prints the milliseconds each took to show the title.
int timeTitleStarts(const char* self) {
    std::vector<double> starts;
    for (int i = 0; i < kTitleStarts; ++i) {
        int out[2];
        if (pipe(out) != 0) return 1;
        const pid_t child = fork();
        if (child == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            const std::string at = std::to_string(monotonicNanos());
            execl(self, self, "title-start", at.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char text[64] = {};
        const ssize_t got = read(out[0], text, sizeof text - 1);
        close(out[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (got <= 0) {
            std::fprintf(stderr, "start %d showed no title\n", i + 1);
            return 1;
        }
        starts.push_back(std::atof(text));
        std::printf("start %d: title on screen %.1f ms after exec\n", i + 1, starts.back());
    }
    std::sort(starts.begin(), starts.end());
    std::printf("title: median %.1f ms of %d starts (min %.1f, max %.1f)\n",
                starts[starts.size() / 2], kTitleStarts, starts.front(), starts.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "menu";
    if (what == "title") return timeTitleStarts("/proc/self/exe");
    Mode mode = what == "fight" ? Mode::Fight : Mode::Menu;
    std::int64_t execNanos = 0;
    if (what == "title-start" && argc > 2) {
        mode = Mode::Title;
        execNanos = std::strtoll(argv[2], nullptr, 10);
    }
    // A fight times the limiter's frames: slow motion, which holds frames 33 ms
    // apart after every contact, is switched off in the preferences it starts with.
    if (mode == Mode::Fight) {
        std::FILE* prefs = std::fopen("prefs.fwk", "wb");
        if (prefs != nullptr) {
            std::fputs("1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n0\r\n0\r\n10\r\n0\r\n1\r\n1\r\n3\r\n", prefs);
            std::fclose(prefs);
        }
    }
    static TimingPlatform timing(sdlPlatform(), mode, execNanos);
    setPlatform(&timing);
    playFlailwick();
}
