// scores.txt: the default table, loading and saving it.
#include "app/gameapp.h"
#include "runtime/files.h"
#include "runtime/numbers.h"

namespace {
constexpr const char* kScoresFile = "scores.txt";
}

void gameapp::fillDefaultScores() {
    for (int i = 0; i < kScoreRows; ++i)
        highScores.push_back(ScoreEntry{0, "NOBODY"});
}

void gameapp::loadScores() {
    StreamPtr stream = openForLoading(kScoresFile, [this] { saveScores(); });
    if (!stream) return;
    // The table keeps the file's order; it is sorted only when it is used.
    for (ScoreEntry& entry : highScores) {
        if (!atEnd(*stream)) entry.name = readLine(*stream);
        if (!atEnd(*stream)) entry.score = textToLong(readLine(*stream));
    }
    closeStream(stream);
}

void gameapp::saveScores() {
    if (!scoresToFile) return;
    StreamPtr stream = openForSaving(kScoresFile);
    if (!stream) return;
    for (const ScoreEntry& entry : highScores) {
        writeLine(*stream, entry.name);
        writeLine(*stream, longToText(entry.score));
    }
    closeStream(stream);
}
