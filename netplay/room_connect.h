// Meeting the other player through a room: the lobby, the relay's
// credentials, then the path ICE finds between the two. Polled each frame and
// never waiting, it says what it is doing in lines for the screen and hands
// over the link once a path is found.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "netplay/room.h"
#include "runtime/net/ice_link.h"
#include "runtime/net/relay_credentials.h"

// Makes this side's ICE agent; tests give one that gathers on loopback only.
using IceStarter = std::function<std::unique_ptr<IceAgent>(
    bool controlling, const RelayServer& relay, std::string& error)>;
IceStarter defaultIceStarter();

enum class MeetStage { Lobby, Waiting, Finding, Connected, Failed };

// The relay's credentials, asked of the lobby's issuer; without an issuer the
// two sides still find a direct path where there is one.
class RelayAsk {
  public:
    explicit RelayAsk(Broker& broker) : request_(broker) {}
    // True once settled, either way.
    bool poll(const std::vector<BrokerMessage>& heard, int nowMillis, std::int64_t wallSeconds);
    const RelayServer& relay() const { return relay_; }
    bool settled() const { return settled_; }

  private:
    RelayRequest request_;
    RelayServer relay_;
    bool settled_ = false;
};

// The host's side: a room opened under a fresh code, an agent gathered while
// the other player is awaited, and the room kept for watchers after.
class HostMeeting {
  public:
    // The broker was connected with roomWill(keys); keys: deriveCodeKeys(code).
    HostMeeting(std::unique_ptr<Broker> broker, const std::string& code, const CodeKeys& keys,
                IceStarter starter, WallClock wall = systemWallSeconds);
    void poll(int nowMillis);
    MeetStage stage() const { return stage_; }
    const std::string& failure() const { return failure_; }
    const std::string& code() const { return room_.code(); }
    std::vector<std::string> lines() const;
    // The player's link, once connected; the meeting goes on for watchers.
    std::unique_ptr<IceAgent> takePlayer();
    // Watchers whose path was found since the last call.
    std::vector<std::unique_ptr<IceAgent>> takeWatchers();
    RoomHost& room() { return room_; }

  private:
    struct Pending {
        RoomArrival arrival;
        std::unique_ptr<IceAgent> agent;
        bool answered = false;
    };
    std::unique_ptr<IceAgent> start(std::string& error);
    void fail(const std::string& why);
    void meet(Pending& p);

    Broker& broker_;
    RoomHost room_;
    RelayAsk relay_;
    IceStarter starter_;
    WallClock wall_;
    MeetStage stage_ = MeetStage::Lobby;
    std::string failure_;
    std::unique_ptr<IceAgent> spare_;  // gathered ahead, for the next guest
    std::vector<Pending> pending_;
    std::unique_ptr<IceAgent> player_;
    std::vector<std::unique_ptr<IceAgent>> watchers_;
};

// A guest's side: the room found by its code, this side's description sent,
// the host's taken and the path checked.
class GuestMeeting {
  public:
    GuestMeeting(std::unique_ptr<Broker> broker, const std::string& code, const CodeKeys& keys,
                 RoomRole role, IceStarter starter, WallClock wall = systemWallSeconds);
    void poll(int nowMillis);
    MeetStage stage() const { return stage_; }
    const std::string& failure() const { return failure_; }
    std::vector<std::string> lines() const;
    std::unique_ptr<IceAgent> takeLink();

  private:
    void fail(const std::string& why);

    Broker& broker_;
    RoomGuest room_;
    RelayAsk relay_;
    IceStarter starter_;
    WallClock wall_;
    MeetStage stage_ = MeetStage::Lobby;
    std::string failure_;
    std::unique_ptr<IceAgent> agent_;
    bool asked_ = false;
    bool described_ = false;
};
