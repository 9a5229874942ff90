// The high-score table: sorting, the name entry, the game-over screen and the table screens.
#include <climits>
#include <cstdint>
#include <utility>

#include "app/gameapp.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

constexpr int kNameLength = 15;
constexpr const char* kRefused = "nope";

void drawCentred(const std::string& text, float scale, float y) {
    setDrawScale(scale, scale);
    drawString(text, centredX(text, scale), y);
}

// The table as both score screens draw it: rows appear one by one, every
// five frames.
void drawTableRows(gameapp& g, int frame) {
    g.cyclePalette();
    setDrawColor(g.palette[1][1], g.palette[1][2], g.palette[1][3]);
    if (frame >= 1) drawCentred("HIGH SCORES", 7, 20);
    setDrawScale(2, 2);
    int i = 0;
    for (const ScoreEntry& entry : g.highScores) {
        ++i;
        if (frame <= 5 * i) break;
        const float y = static_cast<float>(100 + 30 * i);
        drawString(intToText(i) + (i < 10 ? " " : "") + ": " + entry.name, 270, y);
        const std::string points = longToText(entry.score);
        drawString(points, static_cast<float>(754 - stringWidth(points) * 2), y);
    }
}

}  // namespace

void gameapp::sortScores() {
    // An exchange sort run exactly so: compare() is never 0, so equal scores
    // swap whenever they meet and a run of them comes out reversed.
    std::size_t passEnd = highScores.size();
    bool clean = false;
    while (!clean) {
        clean = true;
        std::size_t current = 0;
        while (current + 1 < passEnd) {
            if (highScores[current].compare(highScores[current + 1]) < 0) {
                std::swap(highScores[current], highScores[current + 1]);
                clean = false;
            }
            ++current;
        }
        passEnd = current;
    }
}

int gameapp::lowestTableScore() {
    sortScores();
    if (highScores.size() < kScoreRows) return 0;
    return low32(highScores[kScoreRows - 1].score);
}

void gameapp::addScore(const std::string& name, int newScore) {
    highScores.push_back(ScoreEntry{static_cast<std::uint32_t>(newScore), name});
    sortScores();
    // A table short of twenty rows keeps the new entry rather than losing one.
    if (highScores.size() > kScoreRows) highScores.pop_back();
}

std::string gameapp::nameCharFilter(int c) {
    if (c < 32 || c > 125 || c == '"') return kRefused;
    return std::string(1, static_cast<char>(c));
}

void gameapp::drawGameOver(int frame) {
    if (frame < 3) drainKeys();
    // One character a frame; faster typing waits in the queue.
    const int c = nextChar();
    if (c == kBackspaceChar || c == kDeleteChar) {
        if (nameCursor > 1) --nameCursor;
    } else if (nameCursor <= kNameLength) {
        std::string typed = nameCharFilter(c);
        if (typed != kRefused) {
            nameChars[static_cast<std::size_t>(nameCursor)] = std::move(typed);
            ++nameCursor;
        }
    }
    playerName.clear();
    for (int i = 1; i < nameCursor; ++i) {
        for (char ch : nameChars[static_cast<std::size_t>(i)])
            playerName += (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
    }

    cyclePalette();
    setDrawColor(palette[1][1], palette[1][2], palette[1][3]);
    drawCentred("GAME OVER", 13, 20);
    if (frame >= 60) drawCentred("SCORE: " + longToText(totalScore), 8, 200);
    // Asked every frame, even before the prompt shows: it sorts the table.
    if (totalScore > 0 && totalScore > lowestTableScore() && frame >= 120) {
        drawCentred("ENTER YOUR NAME:", 4, 450);
        drawCentred(playerName, 8, 542);
    }
    setDrawScale(1, 1);
}

void gameapp::drawHighScoreTable(int frame) {
    drainKeys();
    drawTableRows(*this, frame);
    setDrawScale(1, 1);
}

void gameapp::runHighScoreScreen() {
    drainKeys();
    int frame = 0;
    for (;;) {
        clearScreen();
        if (frame < INT_MAX) ++frame;
        drawTableRows(*this, frame);
        setDrawScale(1, 1);
        presentFrame();
        if (keyPresses(KeyEnter) > 0 || keyPresses(KeyEscape) > 0 || keyPresses(KeySpace) > 0)
            return;
    }
}
