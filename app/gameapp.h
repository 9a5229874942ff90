// The single top-level game object: settings, mode, level, scores, the fight
// in progress with its fighters and bursts, the message and the palette. Its
// operations are defined in the folder of the subsystem that owns them; each
// group below names the files that define it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/game_texts.h"
#include "body/man.h"
#include "body/world.h"
#include "combat/dotburst.h"
#include "persist/score_entry.h"

struct Image;
struct Sound;
class FightObserver;

// Loaded once at start-up and kept until the program ends.
struct Media {
    Image* title = nullptr;
    Sound* blow = nullptr;
    Sound* block = nullptr;
    Image* spark = nullptr;
};

enum MenuEntry : int { MenuPlay = 1, MenuOptions, MenuControls, MenuScores, MenuQuit };

constexpr int kMaxFighters = 6;
constexpr int kBurstSlots = 14;
constexpr int kPaletteRows = 6;
constexpr int kScoreRows = 20;

using CooldownTable = std::array<std::array<int, 10>, 10>;

class gameapp {
  public:
    int fightResult = 0;  // 3 once the player quit the fight with Esc
    std::string matchState = kStateFighting;
    int stateStartFrame = 0;  // frameCount when matchState last changed
    int nameCursor = 1;       // 1 + characters typed in the name entry
    std::string playerName;
    std::array<std::string, 30> nameChars;  // elements 1..15, one character each
    float cameraX = 0.0f, cameraY = 0.0f;
    float arenaRight = 0.0f, arenaLeft = 0.0f, arenaTop = 0.0f, arenaBottom = 0.0f;
    CooldownTable hitCooldown{};      // [attacker][victim], frames
    CooldownTable contactCooldown{};  // [lower][higher], frames
    CooldownTable sparkCooldown{};    // [lower][higher], frames
    float zoom = 0.3f;                // screen pixels per world pixel
    int levelStartScore = 0;
    std::array<int, 3> wins{};  // "2vs" tally, players 1 and 2
    int settingSpare1 = 0, plasmaEffects = 0, fullscreen = 0, slowMotion = 0;
    std::vector<ScoreEntry> highScores;
    bool scoresToFile = true;  // false where the table is another machine's (an online joiner)
    int maxCombo = 0;
    int lastContactFrame = 0;
    int level = 0;
    std::int64_t score = 0;       // combo score of this fight
    std::int64_t totalScore = 0;  // score of the whole game
    int comboCounter = 0;         // positive: the players' run; negative: the other side's
    int paceTime = 0;             // clock time stamp of the slow-motion pacing
    int burstSlot = 1;            // next burst slot, 1..14
    std::array<dotburst, kBurstSlots + 1> bursts;
    int playersSpeed = 3, flexibility = 3, settingSpare2 = 1, blowPower = 5, soundsVolume = 0,
        settingSpare3 = 0, gravity = 0, aiLevel = 0, blood = 0;
    float speedFactor = 1.0f;  // time-step factor of the frame
    // kModeOnePlayer, kModeVersus, kModeCoop or kModeGoBack
    std::string mode = kModeOnePlayer;
    int roundState = 0;  // 0 undecided, 1 players' side won, 2 the other side won
    int frameCount = 0;  // frames since the fight began
    int paletteRows = kPaletteRows;
    std::array<std::array<int, 4>, 7> paletteStep = filledPaletteSteps();
    std::array<std::array<int, 4>, 7> palette{};  // [row][1..3] red, green, blue
    int fighterCount = kMaxFighters;
    std::array<man, kMaxFighters + 1> fighters;
    float slowMotionTimer = 0.0f;  // frames of slow motion left
    std::string message;
    int messageTimer = 0;               // frames the message stays visible
    Media media;                        // the pictures and sounds start-up loads
    FightObserver* recorder = nullptr;  // keeps every fight played, when set (replay/replay.h)

    // --- Start-up and menus: app/menus.cpp, app/controls_screen.cpp ---
    MenuEntry mainMenu();
    void chooseMode();
    void showControls();
    // "FLAILWICK" large in the heading colour, at the top of the menu screens.
    void drawHeading();
    // One line of a list screen, centred at the scale in force: grey, or in the
    // highlight colour when selected.
    void drawEntry(const std::string& text, int y, bool selected, float scale);

    // --- A game and its fights: app/outcome.cpp (runGame, the outcome, the bonus),
    // app/match_loop.cpp, app/fight_setup.cpp, app/level_summary.cpp ---
    void runGame();
    int playFight();
    void setUpFight();
    void checkPause();
    // Decides the fight and runs the stages after it: result, level summary,
    // name entry and high-score table. Esc ends the fight from any of them.
    void checkOutcome();
    // How an ended fight went: 3 when Esc ended it, else the side that won.
    int fightOutcome() const { return fightResult != 3 ? roundState : 3; }
    // The outcome kept in fightResult, as a fight leaves it.
    int settleFightResult() { return fightResult = fightOutcome(); }
    // A "2vs" fight's result on the tally, as the series goes on after it.
    void tallyVersusResult(int result);
    // A level's fight ended so: the game ends with it (lost, left, or the last level).
    bool lastFight(int result) const;
    // On to the next level after a fight ended so; true when another fight follows.
    bool nextLevel(int result);
    // One frame of the level summary, drawn over the fight, e frames after it began.
    void showLevelSummary(int e);
    // 100000 times the square of the share of energy player 1 has left.
    int levelWinBonus() const;
    // A won level adds the fight's combo score and the bonus to the game's total.
    void addLevelWinBonus();

    // --- Bodies under control: body/control.cpp, body/opponent.cpp ---
    void controlPlayerOne();
    void controlPlayerTwo();
    void steerComputerFighters();
    int coopTarget(int fighter) const;

    // --- Contacts, blows and slow motion: combat/contacts.cpp ---
    void resolveContacts();
    // Point a belongs to first, b to second; first has the lower number.
    void collideBalls(ball& a, ball& b, man& first, man& second);
    // Combo and damage bookkeeping of a blow: code 1 first hit second, 10
    // second hit first, 11 both at once.
    void applyBlow(int first, int second, int code);
    void updateSlowMotion();
    void paceSlowMotion();

    // --- Effects, arena, camera, messages, palette: combat/dotburst.cpp, combat/arena.cpp,
    // combat/camera.cpp, combat/palette.cpp ---
    void updateBursts(float zoomFactor);
    void drawArena();
    void updateCamera();
    void showIntro();
    void drawMessage();
    void countFrame();
    void cyclePalette();
    // The camera of this frame, at the given zoom.
    ScreenMapping view(float zoomFactor) const { return {cameraX, cameraY, zoomFactor}; }

    // --- Settings: persist/settings.cpp, persist/options_screen.cpp ---
    void setDefaultSettings();
    void resetOptions();
    void loadPreferences();
    void savePreferences();
    // The OPTIONS screen: ten settings and RESET OPTIONS; saves when left.
    void runOptionsScreen();

    // --- High scores: persist/score_file.cpp (the file), persist/high_scores.cpp ---
    void fillDefaultScores();
    void loadScores();
    void saveScores();
    // Highest first; equal scores change places whenever they meet.
    void sortScores();
    // Sorts, then the 20th score's low 32 bits; 0 for a shorter table.
    int lowestTableScore();
    void addScore(const std::string& name, int newScore);
    // The character as a one-character text, or "nope" when names cannot hold it.
    static std::string nameCharFilter(int c);
    void drawGameOver(int frame);
    void drawHighScoreTable(int frame);
    // The SCORES screen of the main menu.
    void runHighScoreScreen();

  private:
    static std::array<std::array<int, 4>, 7> filledPaletteSteps() {
        std::array<std::array<int, 4>, 7> steps;
        for (auto& row : steps)
            row.fill(2);
        return steps;
    }
};

// --- The program: app/startup.cpp ---

// The program: start-up, title picture and the main menu loop. Returns the
// exit status when the player quits. Every fight goes to the recorder, if any.
int runFlailwick(FightObserver* recorder = nullptr);

// The whole program, ended through the runtime's one way out whether the
// player quits, presses Esc in the menu, closes the window or a fatal error
// stops it.
[[noreturn]] void playFlailwick(FightObserver* recorder = nullptr);

// The display as the settings ask for it: a centred window, or full screen.
void openGameDisplay(int fullscreen);
// The sounds and the spark picture that fights use.
void loadFightMedia(Media& media);
// Watching a recorded fight and online play: a game object with the
// settings of prefs.fwk (read only for the display, saving being off), the
// display as they ask for it, and the fights' sounds and picture.
std::unique_ptr<gameapp> openFightWindow();

// Gives the window its title and centres it on the desktop.
void placeWindow();
