// Rooms: a host opens one on the lobby under a code it tells the other
// player; guests who know the code find it and trade connection details (ICE
// descriptions) with the host, sealed with the code's key, so the lobby learns
// neither. Polled each frame with the time; nothing blocks, nothing waits.
//
// On the lobby, under flailwick/room/<topic>/ (exact topics only):
//   host               the host's presence, kept for later guests
//   join               guests' requests, which only the host reads
//   answer/<joiner>    the host's answer to one guest
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "netplay/room_letters.h"
#include "runtime/net/broker.h"
#include "runtime/net/seal.h"

// After this the lobby forgets a room, and its host stops taking guests.
constexpr int kRoomLifetimeSeconds = 60 * 60;
// A guest connected this long without hearing the room's presence gives up.
constexpr int kNoRoomMillis = 3000;
// A guest asked this long without an answer gives up, asking again meanwhile.
constexpr int kHostSilentMillis = 10000;
constexpr int kAskAgainMillis = 2000;
// The host says it is there again this often, so its presence is never older
// than the letters' window.
constexpr int kPresenceAgainMillis = 20000;

// Seconds since 1970, the clock letters are stamped with.
using WallClock = std::function<std::int64_t()>;
std::int64_t systemWallSeconds();

// The host's broker is connected with this will: should the host vanish, the
// lobby itself clears the room's presence. Guests need no will.
BrokerWill roomWill(const CodeKeys& keys);

enum class RoomState {
    Opening,   // the lobby is being reached, or a guest has not yet found the room
    Open,      // the host's room is there for guests
    Waiting,   // a guest has found the room and waits for its answer
    Answered,  // a guest is let in: hostDescription() is the host's details
    Failed,    // failure() says why
    Closed,    // the host left
};

struct RoomArrival {
    std::string id;  // the guest's, as answer(), refuse() and release() take it
    RoomRole role = RoomRole::Player;
    std::string description;
};

class RoomHost {
  public:
    // code: written as normalRoomCode gives it; keys: deriveCodeKeys(code).
    // The broker was connected with roomWill(keys).
    RoomHost(std::unique_ptr<Broker> broker, const std::string& code, const CodeKeys& keys,
             WallClock wall = systemWallSeconds);
    // Leaves, if still open.
    ~RoomHost();
    RoomHost(const RoomHost&) = delete;
    RoomHost& operator=(const RoomHost&) = delete;

    void poll(int nowMillis);
    RoomState state() const { return current; }
    const std::string& failure() const { return why; }
    const std::string& code() const { return roomCode; }

    // A guest who took a seat and waits for answer() or refuse(). Guests of
    // another version are refused, and those for a taken seat told it is full,
    // without arriving.
    std::optional<RoomArrival> nextArrival();
    // False for a guest who is not waiting, or a description too long.
    bool answer(const std::string& id, const std::string& hostDescription);
    // Frees the seat; reason: a few words for the guest, cut to kMaxReason.
    void refuse(const std::string& id, const std::string& reason);
    // A seat is free again when its guest has gone.
    void release(const std::string& id);
    void leave();

    int players() const;
    int watchers() const;
    // What the lobby brought in the last poll, for others who listen on it.
    const std::vector<BrokerMessage>& heard() const { return arrived; }

  private:
    struct Seat {
        std::string joiner;
        RoomRole role = RoomRole::Player;
        std::optional<RoomLetter> answered;
    };

    void fail(const std::string& text);
    void hear(const std::string& payload, std::int64_t wallNow);
    void post(const std::string& topic, RoomLetter letter);
    void sayPresence(int nowMillis, std::int64_t wallNow);
    Seat* seat(const std::string& id);

    std::unique_ptr<Broker> broker;
    std::string roomCode;
    CodeKeys keys;
    WallClock wall;
    RoomState current = RoomState::Opening;
    std::string why;
    std::int64_t createdAt = 0, expiresAt = 0;
    int presenceSaidAt = 0;  // milliseconds
    bool presenceStale = true;
    LetterMemory memory;
    std::vector<Seat> seats;
    std::deque<RoomArrival> arrivals;
    std::vector<BrokerMessage> arrived;
};

class RoomGuest {
  public:
    // code and keys as for the host; the broker needs no will.
    RoomGuest(std::unique_ptr<Broker> broker, const std::string& code, const CodeKeys& keys,
              RoomRole role, WallClock wall = systemWallSeconds);

    // This guest's connection details, once gathered: sent as soon as the
    // room is found, and asked again until answered.
    void ask(const std::string& description);
    void poll(int nowMillis);
    RoomState state() const { return current; }
    const std::string& failure() const { return why; }
    const std::string& code() const { return roomCode; }
    // The room as its host last said, once found: versions, times and seats.
    const std::optional<RoomLetter>& presence() const { return found; }
    const std::string& hostDescription() const { return hostDetails; }
    const std::vector<BrokerMessage>& heard() const { return arrived; }

  private:
    void fail(const std::string& text);
    void hearPresence(const std::string& payload, std::int64_t wallNow);
    void hearAnswer(const std::string& payload, std::int64_t wallNow);
    void sendJoin(int nowMillis);

    std::unique_ptr<Broker> broker;
    std::string roomCode;
    CodeKeys keys;
    RoomRole role;
    WallClock wall;
    std::string joiner;  // kLetterIdBytes, fresh for each guest
    std::string answerTopic;
    RoomState current = RoomState::Opening;
    std::string why;
    std::optional<int> connectedAt, firstAskedAt, lastAskedAt;  // milliseconds
    std::optional<std::string> description;
    std::optional<RoomLetter> found;
    // How far the host's clock is from ours, when its presence was too far off.
    std::optional<std::int64_t> clockOffBy;
    std::string hostDetails;
    LetterMemory memory;
    std::vector<BrokerMessage> arrived;
};
