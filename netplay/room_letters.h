// What a room's host and guests say to each other through the lobby, before
// sealing: the host's presence, a guest's request to join and the host's
// answer. Every letter carries a random id and the time it was sent, so one
// heard again, or long after, is told apart and ignored.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>

#include "netplay/messages.h"

enum class RoomRole : std::uint8_t { Player = 1, Watcher = 2 };
enum class LetterKind : std::uint8_t { Presence = 'P', Join = 'J', Answer = 'A' };
enum class AnswerKind : std::uint8_t { Accepted = 'a', Full = 'f', Refused = 'r' };

// A guest's or the host's connection details (its ICE description), at most.
constexpr std::size_t kMaxDescription = 4096;
constexpr std::size_t kLetterIdBytes = 8;
// Times past this (about the year 36000) are no times.
constexpr std::int64_t kLatestSeconds = std::int64_t{1} << 40;

struct RoomLetter {
    LetterKind kind = LetterKind::Presence;
    std::string id;           // kLetterIdBytes random bytes
    std::int64_t sentAt = 0;  // seconds since 1970, the sender's clock
    Versions versions;        // the sender's
    // The presence: when the room opened and when it closes, seconds since
    // 1970, and the seats taken.
    std::int64_t createdAt = 0, expiresAt = 0;
    int players = 0, watchers = 0;
    // A request and its answer: whose, as what, and the description or the
    // reason for a refusal.
    std::string joiner;  // kLetterIdBytes
    RoomRole role = RoomRole::Player;
    AnswerKind answer = AnswerKind::Accepted;
    std::string text;
};

// A letter with a fresh id, sent now.
RoomLetter newLetter(LetterKind kind, std::int64_t nowSeconds);
std::string writeLetter(const RoomLetter& letter);
// Nothing for anything malformed or out of range; a refusal's reason comes
// back printable.
std::optional<RoomLetter> readLetter(const std::string& bytes);

enum class Freshness { Fresh, Heard, OutOfTime };

// Remembers the ids of the letters taken lately.
class LetterMemory {
  public:
    // Sent further from now than this, either way, a letter is not taken:
    // its id may be forgotten by then. It also bounds how far two players'
    // clocks may disagree.
    static constexpr std::int64_t kWindowSeconds = 90;
    static constexpr std::size_t kRemembered = 256;

    // Fresh letters are remembered.
    Freshness take(const RoomLetter& letter, std::int64_t nowSeconds);

  private:
    std::deque<std::string> order;
    std::set<std::string> ids;
};
