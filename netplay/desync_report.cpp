// The desync report: both sides' parts, side by side.
#include "netplay/desync_report.h"

#include <cstdio>
#include <memory>

#include "app/gameapp.h"
#include "fight/hash.h"
#include "netplay/session.h"
#include "replay/format.h"
#include "replay/replay.h"
#include "runtime/files.h"
#include "runtime/input.h"

void reportDesync(OnlineSession& session, int (*clock)()) {
    const int frame = session.rollback().desyncFrame();
    const StateParts* mine = session.rollback().partsAfter(frame);
    if (mine == nullptr) return;
    session.sendParts(frame, *mine, clock());
    const int start = clock();
    // Their parts count even when they leave right after sending them.
    while (session.peerParts(frame) == nullptr && clock() - start < 1000) {
        session.listen(clock());
        sleepMillis(5);
    }
    const StateParts* theirs = session.peerParts(frame);
    const auto names = hashFightParts(*std::make_unique<gameapp>());
    std::string report = "Desync at frame " + std::to_string(frame) + "\n";
    bool named = false;
    for (std::size_t i = 0; i < mine->size(); ++i) {
        const std::uint64_t own = (*mine)[i];
        const bool differs = theirs != nullptr && own != (*theirs)[i];
        char line[160];
        std::snprintf(line, sizeof line, "%-18s this side %s, other side %s%s\n", names[i].name,
                      hashText(own).c_str(),
                      theirs != nullptr ? hashText((*theirs)[i]).c_str() : "unknown",
                      differs && !named ? "   <- the first that differs" : "");
        named = named || differs;
        report += line;
    }
    const std::string dir = replayDirectory();
    allowSaving(true);
    if (!dir.empty() && makeDirectories(dir))
        writeWholeFile(dir + "/desync-frame-" + std::to_string(frame) + ".txt", report);
    allowSaving(false);
}
