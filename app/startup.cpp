// Start-up: files, window, title picture and the main menu loop until the player quits.
#include <memory>
#include <string>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/program.h"
#include "runtime/sound.h"

namespace {

constexpr const char* kCaption = "PUSH THE HEAD - THE BODY FOLLOWS";
constexpr int kTitleMillis = 4000;
constexpr float kTitleX = 409;
constexpr float kTitleY = 196;
constexpr int kWindowIconSize = 64;  // pixels a side

void drawCaption(const std::string& caption) {
    setDrawColor(255, 255, 255);
    setDrawScale(2, 2);
    drawString(caption, centredX(caption, 2), 500);
}

// The title picture stays up while the sounds and the spark load, and then
// until four seconds have passed or the player presses Space, Enter or Esc.
void showTitle(Media& media) {
    const std::string caption = kCaption;  // made once, not in every frame
    media.title = loadImage(std::string("incbin::") + kTitlePictureAsset, -1);
    drawImage(media.title, kTitleX, kTitleY, 0);
    drawCaption(caption);
    presentFrame();
    const int start = clockMillis();

    loadFightMedia(media);

    for (;;) {
        setDrawScale(1, 1);
        drawImage(media.title, kTitleX, kTitleY, 0);
        drawCaption(caption);
        const int elapsed = clockMillis() - start;
        presentFrame();
        if (elapsed > kTitleMillis) break;
        if (isKeyDown(KeySpace) || isKeyDown(KeyEnter) || isKeyDown(KeyEscape)) break;
    }
    setDrawScale(1, 1);
}

bool isPlayableMode(const std::string& mode) {
    return mode == kModeVersus || mode == kModeOnePlayer || mode == kModeCoop;
}

}  // namespace

void loadFightMedia(Media& media) {
    media.blow = loadSound(std::string("incbin::") + kBlowSoundAsset, 0);
    media.block = loadSound(std::string("incbin::") + kBlockSoundAsset, 0);
    media.spark = loadImage(std::string("incbin::") + kSparkAsset, -1);
}

std::unique_ptr<gameapp> openFightWindow() {
    addEmbeddedResources();
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    game->fillDefaultScores();
    game->loadPreferences();
    openGameDisplay(game->fullscreen);
    loadFightMedia(game->media);
    return game;
}

void openGameDisplay(int fullscreen) {
    const int depth = fullscreen == 1 ? 32 : 0;
    openDisplay(1024, 768, depth, 60);
    // A task bar shows this even when the game was not started from its entry.
    setWindowIcon(std::string("incbin::") + kTitlePictureAsset, kWindowIconSize);
    setSwapInterval(1);
    if (depth == 0) placeWindow();
    hidePointer();
}

void placeWindow() {
    setWindowTitle("Flailwick");
    int right = 0;
    int bottom = 0;
    desktopBounds(right, bottom);
    moveWindow(right / 2 - 512, bottom / 2 - 399);
}

int runFlailwick(FightObserver* recorder) {
    addEmbeddedResources();
    // The game object lives until the program ends.
    auto game = std::make_unique<gameapp>();
    game->recorder = recorder;
    game->fillDefaultScores();
    game->loadScores();
    game->setDefaultSettings();
    game->loadPreferences();
    seedRandom(clockMillis());
    openGameDisplay(game->fullscreen);
    showTitle(game->media);

    for (;;) {
        switch (game->mainMenu()) {
            case MenuPlay:
                game->chooseMode();
                if (isPlayableMode(game->mode)) game->runGame();
                break;
            case MenuControls:
                game->showControls();
                break;
            case MenuOptions:
                game->runOptionsScreen();
                break;
            case MenuScores:
                game->runHighScoreScreen();
                break;
            case MenuQuit:
                return 0;
        }
    }
}

void playFlailwick(FightObserver* recorder) { endProgram(runFlailwick(recorder)); }
