// Watching, timing and checking recorded fights from the command line.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/gameapp.h"
#include "replay/actions.h"
#include "replay/replay.h"
#include "replay/viewer.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/presentation.h"
#include "runtime/program.h"

namespace {

constexpr int kEndHoldFrames = 180;       // the last frame stays this long before the viewer leaves
constexpr int kNoRecordingMillis = 4000;  // how long the window says there is nothing to watch
constexpr float kLineY = 748;             // the viewer's line, on the bottom edge

// The line along the bottom of every frame the viewer shows. Its text lives
// in one string made at the start, so drawing it allocates nothing.
class ViewerLine {
  public:
    explicit ViewerLine(const ReplayViewer& viewer) : viewer_(viewer) { text_.reserve(128); }

    void draw() {
        const DrawState was = drawState();
        setDrawScale(1, 1);
        // A dark band under it, so it reads over the floor and the lines alike.
        setBlendMode(Translucent);
        setDrawAlpha(0.75f);
        setDrawColor(0, 0, 0);
        drawRect(0, kLineY - 6, 1024, 768 - (kLineY - 6));
        setBlendMode(Cutout);
        setDrawAlpha(1.0f);
        setDrawColor(200, 200, 200);
        char line[128];
        std::snprintf(line, sizeof line, "REPLAY  %.1f / %.1f S  %s%s", viewer_.frame() / 60.0,
                      viewer_.length() / 60.0, viewer_.speed().text,
                      viewer_.paused() ? "  PAUSED" : "");
        text_.assign(line);
        drawString(text_, 16, kLineY);
        const char* keys = viewer_.paused()
                               ? "SPACE PLAYS  . STEP  LEFT RIGHT 5 S  HOME START  ESC LEAVES"
                               : "SPACE PAUSES  LEFT RIGHT 5 S  UP DOWN SPEED  ESC LEAVES";
        text_.assign(keys);
        drawString(text_, static_cast<float>(1008 - stringWidth(text_)), kLineY);
        setDrawColor(was.r, was.g, was.b);
        setDrawAlpha(static_cast<float>(was.alphaByte) / 255.0f);
        setBlendMode(was.blend);
        setDrawScale(was.scaleX, was.scaleY);
    }

  private:
    const ReplayViewer& viewer_;
    std::string text_;
};

// Each press of either pause key turns the pause over.
bool pausePressed() {
    const int presses = viewerKeyPresses(KeySpace) + viewerKeyPresses(KeyP);
    return presses % 2 == 1;
}

// Started from the desktop's "Watch the last fight" before any fight was
// played: said in the window, for a moment or until a key.
void tellNoRecording(const std::string& directory) {
    std::unique_ptr<gameapp> game = openFightWindow();
    std::vector<std::string> lines{"No recorded fight yet", ""};
    if (directory.empty()) {
        lines.push_back("There is no home directory to keep them in");
    } else {
        lines.push_back("Every fight you play is kept in");
        lines.push_back(directory);
    }
    const int start = clockMillis();
    while (clockMillis() - start < kNoRecordingMillis && !windowCloseRequested()) {
        clearScreen();
        game->cyclePalette();
        game->drawHeading();
        setDrawColor(game->palette[1][1], game->palette[1][2], game->palette[1][3]);
        float y = 300;
        for (const std::string& line : lines) {
            // A long directory is written small rather than cut.
            const float scale = stringWidth(line) * 2 <= 1000 ? 2.0f : 1.0f;
            setDrawScale(scale, scale);
            drawString(line, centredX(line, scale), y);
            y += 48;
        }
        setDrawScale(1, 1);
        presentFrame();
        if (viewerKeyPresses(KeyEscape) + viewerKeyPresses(KeyEnter) + viewerKeyPresses(KeySpace) >
            0)
            break;
    }
}

void printTimes(const std::string& path, std::vector<std::int64_t>& frameMicros,
                std::int64_t wallMicros, std::int64_t cpu) {
    const std::size_t n = frameMicros.size();
    if (n == 0 || wallMicros <= 0) {
        std::printf("%s: no frames played\n", path.c_str());
        return;
    }
    std::int64_t sum = 0;
    for (std::int64_t t : frameMicros)
        sum += t;
    std::sort(frameMicros.begin(), frameMicros.end());
    const std::int64_t p99 = frameMicros[std::min(n - 1, (n * 99) / 100)];
    std::printf(
        "%s: %zu frames in %.2f s, %.1f frames per second; frame time mean %.3f ms, "
        "99th percentile %.3f ms; CPU %.0f%% of one core\n",
        path.c_str(), n, static_cast<double>(wallMicros) / 1e6,
        static_cast<double>(n) * 1e6 / static_cast<double>(wallMicros),
        static_cast<double>(sum) / static_cast<double>(n) / 1000.0,
        static_cast<double>(p99) / 1000.0,
        100.0 * static_cast<double>(cpu) / static_cast<double>(wallMicros));
}

}  // namespace

ReplayRun viewRecordedFight(gameapp& game, const Replay& replay,
                            const std::function<void(const ReplayViewer&)>& eachFrame) {
    auto viewer = std::make_unique<ReplayViewer>(game, replay);
    ViewerLine line(*viewer);
    setFrameOverlay([&line] { line.draw(); });
    viewer->start();
    bool left = false;
    int atEnd = 0;  // display frames shown at the end
    for (;;) {
        if (viewerKeyPresses(KeyEscape) > 0) {
            left = true;
            break;
        }
        if (pausePressed()) viewer->pause(!viewer->paused());
        const int on = viewerKeyPresses(KeyRight);
        const int back = viewerKeyPresses(KeyLeft);
        if (on != back) viewer->seek(viewer->frame() + (on - back) * kSeekFrames);
        if (viewerKeyPresses(KeyHome) > 0) viewer->seek(0);
        for (int n = viewerKeyPresses(KeyUp); n > 0; --n)
            viewer->faster();
        for (int n = viewerKeyPresses(KeyDown); n > 0; --n)
            viewer->slower();
        const int steps = viewerKeyPresses(KeyPeriod);
        for (int n = viewer->paused() ? steps : 0; n > 0; --n)
            viewer->step();
        if (!viewer->diverged().empty()) break;
        viewer->tick();
        if (eachFrame) eachFrame(*viewer);
        atEnd = viewer->ended() ? atEnd + 1 : 0;
        // Paused at the end, it stays until Space or Esc.
        if (atEnd > kEndHoldFrames && !viewer->paused()) break;
    }
    setFrameOverlay({});
    return viewer->finish(left);
}

int watchReplay(const std::string& given, bool timed) {
    allowSaving(false);
    const std::string path = given.empty() ? newestReplay(replayDirectory()) : given;
    if (path.empty()) {
        std::fprintf(stderr, "flailwick: no recorded fight in %s\n", replayDirectory().c_str());
        tellNoRecording(replayDirectory());
        return kExitUsage;
    }
    auto replay = std::make_unique<Replay>();
    const std::string refused = loadReplay(path, *replay);
    if (!refused.empty()) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), refused.c_str());
        return kExitDiverged;
    }
    std::unique_ptr<gameapp> game = openFightWindow();

    std::vector<std::int64_t> frameMicros;
    ReplayRun run;
    if (timed) {
        setSwapInterval(0);
        setPresentation(Presentation{true, false, false});
        frameMicros.reserve(static_cast<std::size_t>(replay->frames));
        const std::int64_t wallStart = clockMicros();
        const std::int64_t cpuStart = cpuMicros();
        std::int64_t last = wallStart;
        run = playRecordedFight(*game, *replay, [&] {
            const std::int64_t now = clockMicros();
            frameMicros.push_back(now - last);
            last = now;
            return viewerKeyPresses(KeyEscape) == 0;
        });
        printTimes(path, frameMicros, clockMicros() - wallStart, cpuMicros() - cpuStart);
    } else {
        run = viewRecordedFight(*game, *replay);
    }
    if (!run.ok && !run.left) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), run.why.c_str());
        return kExitDiverged;
    }
    return 0;
}

int verifyReplays(const std::vector<std::string>& paths, int rollbackDepth) {
    allowSaving(false);
    const Unseen unseen;
    int status = 0;
    auto replay = std::make_unique<Replay>();
    for (const std::string& path : paths) {
        std::string line = loadReplay(path, *replay);
        if (line.empty()) {
            resetInput();
            auto game = std::make_unique<gameapp>();
            const ReplayRun run = playRecordedFight(*game, *replay, {}, rollbackDepth);
            char text[96];
            std::snprintf(text, sizeof text, "ok, %d frames, final hash %016" PRIx64, run.frames,
                          run.finalHash);
            line = run.ok ? text : run.why;
        }
        if (line.rfind("ok,", 0) != 0) status = kExitDiverged;
        std::printf("%s: %s\n", path.c_str(), line.c_str());
    }
    std::fflush(stdout);
    return status;
}
