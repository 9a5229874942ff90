// The messages that must arrive, as the peer protocol carries them: the
// handshake (hello, welcome with the host's settings, refusal, ready), pause,
// goodbye and the parts of a state two sides disagree on. Every reader is
// bounded and refuses what is malformed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "fight/stepped_game.h"

// Two sides speak Flailwick alike only with the same protocol and simulation.
constexpr std::uint32_t kOnlineProtocol = 4;
// A host takes this many watchers besides its player.
constexpr int kMaxWatchers = 8;

enum MessageTag : char {
    MessageHello = 'H',
    MessageWelcome = 'W',
    MessageRefused = 'X',
    MessageReady = 'G',
    MessagePause = 'P',
    MessageGoodbye = 'B',
    MessageParts = 'D',
    // A watcher's: its hello, answered with a welcome; then the host's
    // confirmed frames and, last, how the series ended.
    MessageWatch = 'V',
    MessageFrames = 'F',
    MessageEnded = 'E',
};

struct Versions {
    std::uint32_t protocol = kOnlineProtocol;
    std::uint64_t simulation = 0;
};

// One row of the host's high-score table as it travels.
struct TableRow {
    std::string name;
    std::int64_t score = 0;
};
constexpr int kTableRows = 20;
// Longer names than the name entry makes, so a hand-edited table mostly
// travels as it is; printable characters only.
constexpr std::size_t kMaxTableName = 40;

// What the series starts from on both sides: the host's settings, in the
// order of prefs.fwk (full screen stays each machine's own), the seed, the
// mode and the host's high-score table, which decides whether a co-op game
// over asks for a name.
constexpr int kSeriesSettings = 13;
struct SeriesStart {
    std::array<int, kSeriesSettings> settings{};
    int seed = 0;
    bool coop = false;  // two players against the computer, else versus
    std::array<TableRow, kTableRows> table{};
};
// The row as it can travel: cut to kMaxTableName, anything unprintable a '?'.
TableRow travellingRow(const std::string& name, std::int64_t score);

struct PauseRequest {
    bool paused = false;
    int frame = 0;           // the sender's frame when it was asked for
    std::uint32_t turn = 0;  // one more than the newest the sender had seen
    int side = 1;            // breaks a tie of turns: both sides settle on the same
};

struct Refusal {
    Versions versions;   // the refusing side's
    std::string reason;  // the refusing side's words, at most kMaxReason bytes
};
constexpr std::size_t kMaxReason = 200;

std::string helloMessage(const Versions& v);
std::string welcomeMessage(const Versions& v, const SeriesStart& start);
std::string refusedMessage(const Refusal& r);
std::string readyMessage();
std::string pauseMessage(const PauseRequest& p);
std::string goodbyeMessage();
std::string partsMessage(int frame, const StateParts& parts);

// Each reads a message whose tag it is; false for anything malformed.
bool readHello(const std::string& m, Versions& out);
bool readWelcome(const std::string& m, Versions& versions, SeriesStart& out);
bool readRefused(const std::string& m, Refusal& out);
bool readPause(const std::string& m, PauseRequest& out);
bool readParts(const std::string& m, int& frame, StateParts& out);

// Confirmed frames for a watcher: both players' keys from `first` on.
constexpr int kFeedChunk = 64;
struct FeedFrames {
    int first = 0;
    int count = 0;
    int confirmed = 0;  // frames the host had confirmed when it sent these
    std::array<FrameKeys, kFeedChunk> one{}, two{};
};

// How a series ended, as a watcher is told: after `frame` frames.
enum class SeriesEnd : std::uint8_t {
    PlayerOneLeft = 1,
    PlayerTwoLeft = 2,
    GameOver = 3,
    PlayersParted = 4,  // their connection failed, or one closed the window
};
struct FeedEnd {
    SeriesEnd how = SeriesEnd::GameOver;
    int frame = 0;
};

std::string watchMessage(const Versions& v);
std::string framesMessage(const FeedFrames& f);
std::string endedMessage(const FeedEnd& e);
bool readWatch(const std::string& m, Versions& out);
bool readFrames(const std::string& m, FeedFrames& out);
bool readEnded(const std::string& m, FeedEnd& out);

// Empty when two sides agree on their versions; otherwise why not, in words.
std::string versionMismatch(const Versions& theirs);
