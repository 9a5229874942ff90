// Watching, timing and checking recorded fights from the command line.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/gameapp.h"
#include "replay/actions.h"
#include "replay/replay.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/presentation.h"
#include "runtime/program.h"

namespace {

// The watcher's own pause: nothing moves until P again, or Esc leaves.
bool viewerCarriesOn() {
    if (viewerKeyPresses(KeyEscape) > 0) return false;
    if (viewerKeyPresses(KeyP) == 0) return true;
    for (;;) {
        presentFrame();
        if (viewerKeyPresses(KeyP) > 0) return true;
        if (viewerKeyPresses(KeyEscape) > 0) return false;
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

int watchReplay(const std::string& given, bool timed) {
    allowSaving(false);
    const std::string path = given.empty() ? newestReplay(replayDirectory()) : given;
    if (path.empty()) {
        std::fprintf(stderr, "flailwick: no recorded fight in %s\n", replayDirectory().c_str());
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
        run = playRecordedFight(*game, *replay, viewerCarriesOn);
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
