// The steps of meeting through a room, each polled once a frame.
#include "netplay/room_connect.h"

#include <algorithm>
#include <utility>

IceStarter defaultIceStarter() {
    return [](bool controlling, const RelayServer& relay, std::string& error) {
        return IceAgent::start(controlling, relay, error);
    };
}

bool RelayAsk::poll(const std::vector<BrokerMessage>& heard, int nowMillis,
                    std::int64_t wallSeconds) {
    if (settled_) return true;
    switch (request_.poll(heard, nowMillis, wallSeconds)) {
        case RelayRequest::Status::Waiting:
            return false;
        case RelayRequest::Status::Ready: {
            const RelayCredentials& c = request_.credentials();
            relay_ = RelayServer{c.host, c.port, c.username, c.password};
            break;
        }
        case RelayRequest::Status::Failed:
            // No relay: a direct path may still be found.
            break;
    }
    settled_ = true;
    return true;
}

HostMeeting::HostMeeting(std::unique_ptr<Broker> broker, const std::string& code,
                         const CodeKeys& keys, IceStarter starter, WallClock wall)
    : broker_(*broker),
      room_(std::move(broker), code, keys, wall),
      relay_(broker_),
      starter_(std::move(starter)),
      wall_(std::move(wall)) {}

std::unique_ptr<IceAgent> HostMeeting::start(std::string& error) {
    return starter_(true, relay_.relay(), error);
}

void HostMeeting::fail(const std::string& why) {
    stage_ = MeetStage::Failed;
    failure_ = why;
    pending_.clear();
    spare_.reset();
}

void HostMeeting::poll(int nowMillis) {
    if (stage_ == MeetStage::Failed) return;
    room_.poll(nowMillis);
    if (room_.state() == RoomState::Failed) return fail(room_.failure());
    if (stage_ == MeetStage::Lobby && room_.state() == RoomState::Open) stage_ = MeetStage::Waiting;
    if (!relay_.poll(room_.heard(), nowMillis, wall_())) return;
    while (std::optional<RoomArrival> arrival = room_.nextArrival())
        pending_.push_back(Pending{std::move(*arrival), nullptr});
    // Gathered ahead while the player is awaited; for a watcher, once one comes.
    const bool awaited = stage_ != MeetStage::Connected ||
                         std::any_of(pending_.begin(), pending_.end(),
                                     [](const Pending& p) { return !p.answered && !p.agent; });
    if (!spare_ && awaited) {
        std::string error;
        spare_ = start(error);
        if (!spare_) return fail(error);
    }
    if (spare_) spare_->pump();
    for (Pending& p : pending_) {
        meet(p);
        if (stage_ == MeetStage::Failed) return;
    }
    std::erase_if(pending_, [](const Pending& p) { return p.answered && !p.agent; });
}

void HostMeeting::meet(Pending& p) {
    if (!p.agent) {
        if (p.answered || !spare_ || !spare_->gathered()) return;
        p.agent = std::move(spare_);
    }
    p.agent->pump();
    const bool player = p.arrival.role == RoomRole::Player;
    if (!p.answered) {
        p.answered = true;
        if (!p.agent->setRemoteDescription(p.arrival.description)) {
            room_.refuse(p.arrival.id, "The host could not read your connection details");
            p.agent.reset();
            return;
        }
        room_.answer(p.arrival.id, p.agent->localDescription());
        if (player) stage_ = MeetStage::Finding;
    }
    switch (p.agent->path()) {
        case IcePath::Direct:
        case IcePath::Relayed:
            if (player) {
                player_ = std::move(p.agent);
                stage_ = MeetStage::Connected;
            } else {
                watchers_.push_back(std::move(p.agent));
            }
            break;
        case IcePath::Failed:
            if (player && !player_) return fail(p.agent->error());
            // A watcher that found no path frees its seat for another.
            room_.release(p.arrival.id);
            p.agent.reset();
            break;
        default:
            break;
    }
}

std::unique_ptr<IceAgent> HostMeeting::takePlayer() { return std::move(player_); }

std::vector<std::unique_ptr<IceAgent>> HostMeeting::takeWatchers() {
    return std::exchange(watchers_, {});
}

std::vector<std::string> HostMeeting::lines() const {
    switch (stage_) {
        case MeetStage::Lobby:
            return {"OPENING A ROOM", "Reaching the lobby"};
        case MeetStage::Waiting:
            return {"ROOM CODE", room_.code(),
                    "Tell the other player:", "flailwick --join " + room_.code()};
        case MeetStage::Finding:
        case MeetStage::Connected:
            return {"THE OTHER PLAYER IS HERE", "Finding a path"};
        case MeetStage::Failed:
            break;
    }
    return {failure_};
}

GuestMeeting::GuestMeeting(std::unique_ptr<Broker> broker, const std::string& code,
                           const CodeKeys& keys, RoomRole role, IceStarter starter, WallClock wall)
    : broker_(*broker),
      room_(std::move(broker), code, keys, role, wall),
      relay_(broker_),
      starter_(std::move(starter)),
      wall_(std::move(wall)) {}

void GuestMeeting::fail(const std::string& why) {
    stage_ = MeetStage::Failed;
    failure_ = why;
    agent_.reset();
}

void GuestMeeting::poll(int nowMillis) {
    if (stage_ == MeetStage::Failed || stage_ == MeetStage::Connected) return;
    room_.poll(nowMillis);
    if (room_.state() == RoomState::Failed || room_.state() == RoomState::Closed)
        return fail(room_.failure());
    if (room_.state() != RoomState::Opening && stage_ == MeetStage::Lobby)
        stage_ = MeetStage::Waiting;
    if (!relay_.poll(room_.heard(), nowMillis, wall_())) return;
    if (!agent_) {
        std::string error;
        agent_ = starter_(false, relay_.relay(), error);
        if (!agent_) return fail(error);
    }
    agent_->pump();
    if (!asked_ && agent_->gathered()) {
        room_.ask(agent_->localDescription());
        asked_ = true;
    }
    if (!described_ && room_.state() == RoomState::Answered) {
        described_ = true;
        stage_ = MeetStage::Finding;
        if (!agent_->setRemoteDescription(room_.hostDescription()))
            return fail("The host's connection details could not be read");
    }
    if (!described_) return;
    switch (agent_->path()) {
        case IcePath::Direct:
        case IcePath::Relayed:
            stage_ = MeetStage::Connected;
            break;
        case IcePath::Failed:
            return fail(agent_->error());
        default:
            break;
    }
}

std::unique_ptr<IceAgent> GuestMeeting::takeLink() { return std::move(agent_); }

std::vector<std::string> GuestMeeting::lines() const {
    switch (stage_) {
        case MeetStage::Lobby:
            return {"JOINING ROOM " + room_.code(), "Looking for the room"};
        case MeetStage::Waiting:
            return {"JOINING ROOM " + room_.code(), "Asking the host"};
        case MeetStage::Finding:
        case MeetStage::Connected:
            return {"JOINING ROOM " + room_.code(), "Finding a path to the host"};
        case MeetStage::Failed:
            break;
    }
    return {failure_};
}
