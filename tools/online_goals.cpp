// Plays an online versus series of ten fights between two sides in one
// process over a network made in memory (100 ms there and back, 5 % lost,
// jitter), and prints what each side measured: desyncs, frames played per
// second of display, rollbacks, how many display frames the local keys took
// to show, the dearest display frame and the bytes sent. Options: the one-way
// delay in ms, the loss in percent, the number of fights and the blow power;
// or --coop first, then the one-way delay, the loss and the number of levels
// of a co-op game, each level fought for ten seconds before it is won.
// --watchers N, first of all, adds N watchers of the host's, each over a
// network of its own with the same conditions, and prints the bytes a second
// a watcher costs the host and the players' waits with and without them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/files.h"
#include "runtime/platform/headless.h"
#include "tests/support/online_pair.h"

namespace {

void report(const char* name, const SideOutcome& o, int displayFrames, int inputDelay) {
    const double seconds = displayFrames / 60.0;
    int shown = 0;
    int exact = 0;
    for (std::size_t d = 0; d < o.keyLatency.size(); ++d) {
        shown += o.keyLatency[d];
        if (static_cast<int>(d) == inputDelay) exact = o.keyLatency[d];
    }
    std::printf(
        "%s: desync %s, %d fights, %d frames in %d display frames (%.2f a second, %d "
        "waits)\n",
        name, o.desync < 0 ? "none" : std::to_string(o.desync).c_str(), o.fights, o.frames,
        displayFrames, o.frames / seconds, o.waits);
    std::printf("  rollbacks %d, the deepest %d frames; dearest display frame %.2f ms\n",
                o.rollbacks, o.deepest, o.worstTickMicros / 1000.0);
    std::printf("  local keys shown after exactly %d display frames: %d of %d frames (%.2f %%);",
                inputDelay, exact, shown, shown > 0 ? 100.0 * exact / shown : 0.0);
    for (std::size_t d = 0; d < o.keyLatency.size(); ++d) {
        if (o.keyLatency[d] > 0 && static_cast<int>(d) != inputDelay)
            std::printf(" after %zu: %d", d, o.keyLatency[d]);
    }
    // A UDP datagram over IPv4 adds 28 bytes.
    const double payload = o.bytesSent / seconds;
    const double wire = (o.bytesSent + 28.0 * o.messagesSent) / seconds;
    std::printf("\n  sent %.0f bytes a second of datagrams, %.0f with UDP and IP headers\n",
                payload, wire);
}

}  // namespace

int main(int argc, char** argv) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    // As online play: the sides' games write no files.
    allowSaving(false);
    PairRun run;
    int watchers = 0;
    if (argc > 2 && std::strcmp(argv[1], "--watchers") == 0) {
        watchers = std::atoi(argv[2]);
        argc -= 2;
        argv += 2;
    }
    const bool coop = argc > 1 && std::strcmp(argv[1], "--coop") == 0;
    if (coop) {
        --argc;
        ++argv;
    }
    run.network.delayMillis = argc > 1 ? std::atoi(argv[1]) : 50;
    run.network.jitterMillis = 8;
    run.network.lossPercent = argc > 2 ? std::atoi(argv[2]) : 5;
    run.fights = argc > 3 ? std::atoi(argv[3]) : 10;
    run.blowPower = argc > 4 ? std::atoi(argv[4]) : run.blowPower;
    run.frames = 0;
    if (coop) {
        const int levels = argc > 3 ? std::atoi(argv[3]) : 10;
        run.coop = true;
        run.loseAt = levels + 1;
        run.decideAfter = 600;
        // Each level's fight, result and summary, and the game over and table.
        run.frames = (levels + 1) * 800 + 600;
        run.fights = 0;
    }
    const PairOutcome alone = watchers > 0 ? playPair(run) : PairOutcome{};
    run.watchers.assign(static_cast<std::size_t>(std::max(watchers, 0)), WatcherRun{});
    WatchedOutcome watched;
    const PairOutcome out = playPair(run, &watched);
    std::printf("one way %d ms (+ up to %d), %d %% lost, input delay %d\n", run.network.delayMillis,
                run.network.jitterMillis, run.network.lossPercent, run.inputDelay);
    report("host", out.host, out.displayFrames, run.inputDelay);
    report("joiner", out.joiner, out.displayFrames, run.inputDelay);
    int fights = 0;
    const bool same = out.host.hash == out.joiner.hash &&
                      playConfirmedKeys(out.host, run, fights) == out.host.hash;
    std::printf("both sides and one machine on the confirmed keys: %s (%d frames, %d %s)\n",
                same ? "the same" : "DIFFERENT", out.host.confirmed, fights,
                coop ? "levels reached" : "fights");
    bool watchedAll = true;
    if (watchers > 0) {
        const double seconds = out.displayFrames / 60.0;
        int ended = 0;
        double again = 0, shown = 0;
        for (const WatcherOutcome& w : watched.watchers) {
            again += w.shownAgain;
            shown += w.played + w.shownAgain;
            const bool whole =
                w.welcomed && w.endFrame > 0 && w.played == w.endFrame && w.hash == out.host.hash;
            ended += whole ? 1 : 0;
        }
        std::printf(
            "%d watchers: %d played to the end on the players' hash; each cost the host %.0f "
            "bytes a second of datagrams, %.0f with UDP and IP headers\n",
            watchers, ended, watched.watcherBytes / watchers / seconds,
            (watched.watcherBytes + 28.0 * watched.watcherDatagrams) / watchers / seconds);
        std::printf("watchers showed the last frame again in %.2f %% of their display frames\n",
                    shown > 0 ? 100.0 * again / shown : 0.0);
        std::printf("players' waits: host %d, joiner %d; without watchers: host %d, joiner %d\n",
                    out.host.waits, out.joiner.waits, alone.host.waits, alone.joiner.waits);
        watchedAll = ended == watchers && out.host.waits == alone.host.waits &&
                     out.joiner.waits == alone.joiner.waits;
    }
    return same && watchedAll && out.host.desync < 0 && out.joiner.desync < 0 ? 0 : 1;
}
