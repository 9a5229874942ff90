// A room's host and guests, trading sealed letters through the lobby.
#include "netplay/room.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "fight/simulation_version.h"
#include "netplay/room_code.h"

namespace {

const Versions kOurVersions{kOnlineProtocol, kSimulationVersion};

std::string roomTopic(const CodeKeys& keys, const std::string& leaf) {
    return "flailwick/room/" + keys.topic + "/" + leaf;
}
std::string presenceTopic(const CodeKeys& keys) { return roomTopic(keys, "host"); }
std::string joinTopic(const CodeKeys& keys) { return roomTopic(keys, "join"); }

std::string hexText(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::string answerTopicOf(const CodeKeys& keys, const std::string& joiner) {
    return roomTopic(keys, "answer/" + hexText(joiner));
}

// The caller's clock may wrap; the difference is taken as it wraps.
int millisSince(int now, int then) {
    return static_cast<int>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(then));
}

bool sameVersions(const Versions& v) {
    return v.protocol == kOurVersions.protocol && v.simulation == kOurVersions.simulation;
}

// The letter inside a payload, if sealed with the room's key and of the kind
// its topic carries.
std::optional<RoomLetter> opened(const CodeKeys& keys, const std::string& payload,
                                 LetterKind kind) {
    const std::optional<std::string> plain = openSealed(keys.key, payload);
    if (!plain) return std::nullopt;
    std::optional<RoomLetter> letter = readLetter(*plain);
    if (!letter || letter->kind != kind) return std::nullopt;
    return letter;
}

std::string writtenCode(const std::string& typed) { return normalRoomCode(typed).value_or(typed); }

}  // namespace

std::int64_t systemWallSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

BrokerWill roomWill(const CodeKeys& keys) { return {presenceTopic(keys), "", true}; }

RoomHost::RoomHost(std::unique_ptr<Broker> lobby, const std::string& typed,
                   const CodeKeys& codeKeys, WallClock clock)
    : broker(std::move(lobby)),
      roomCode(writtenCode(typed)),
      keys(codeKeys),
      wall(std::move(clock)) {
    broker->subscribe(joinTopic(keys));
}

RoomHost::~RoomHost() { leave(); }

void RoomHost::fail(const std::string& text) {
    current = RoomState::Failed;
    why = text;
    arrivals.clear();
}

void RoomHost::poll(int nowMillis) {
    if (current == RoomState::Failed || current == RoomState::Closed) return;
    arrived.clear();
    broker->poll(arrived);
    if (broker->state() == BrokerState::Failed) return fail(broker->error());
    if (broker->state() != BrokerState::Connected) return;
    const std::int64_t wallNow = wall();
    if (current == RoomState::Opening) {
        current = RoomState::Open;
        createdAt = wallNow;
        expiresAt = wallNow + kRoomLifetimeSeconds;
    }
    if (wallNow >= expiresAt) {
        leave();
        return fail("The room " + roomCode + " has closed");
    }
    const std::string joins = joinTopic(keys);
    for (const BrokerMessage& m : arrived) {
        if (m.topic == joins) hear(m.payload, wallNow);
    }
    if (presenceStale || millisSince(nowMillis, presenceSaidAt) >= kPresenceAgainMillis) {
        sayPresence(nowMillis, wallNow);
    }
}

void RoomHost::hear(const std::string& payload, std::int64_t wallNow) {
    const std::optional<RoomLetter> letter = opened(keys, payload, LetterKind::Join);
    if (!letter || memory.take(*letter, wallNow) != Freshness::Fresh) return;
    if (Seat* known = seat(letter->joiner)) {
        // Asked again before hearing the answer: say it again, not take another seat.
        if (known->answered) post(answerTopicOf(keys, known->joiner), *known->answered);
        return;
    }
    RoomLetter reply = newLetter(LetterKind::Answer, wallNow);
    reply.joiner = letter->joiner;
    if (!sameVersions(letter->versions)) {
        reply.answer = AnswerKind::Refused;
        return post(answerTopicOf(keys, letter->joiner), reply);
    }
    const bool full =
        letter->role == RoomRole::Player ? players() >= 1 : watchers() >= kMaxWatchers;
    if (full) {
        reply.answer = AnswerKind::Full;
        return post(answerTopicOf(keys, letter->joiner), reply);
    }
    seats.push_back({letter->joiner, letter->role, std::nullopt});
    arrivals.push_back({hexText(letter->joiner), letter->role, letter->text});
    presenceStale = true;
}

void RoomHost::post(const std::string& topic, RoomLetter letter) {
    letter.id = secureRandomBytes(kLetterIdBytes);
    letter.sentAt = wall();
    letter.versions = kOurVersions;
    broker->publish(topic, seal(keys.key, writeLetter(letter)), false, 0);
}

void RoomHost::sayPresence(int nowMillis, std::int64_t wallNow) {
    RoomLetter letter = newLetter(LetterKind::Presence, wallNow);
    letter.versions = kOurVersions;
    letter.createdAt = createdAt;
    letter.expiresAt = expiresAt;
    letter.players = players();
    letter.watchers = watchers();
    // Bounded, should the wall clock be set back meanwhile.
    const int expiry =
        static_cast<int>(std::clamp<std::int64_t>(expiresAt - wallNow, 1, kRoomLifetimeSeconds));
    broker->publish(presenceTopic(keys), seal(keys.key, writeLetter(letter)), true, expiry);
    presenceSaidAt = nowMillis;
    presenceStale = false;
}

RoomHost::Seat* RoomHost::seat(const std::string& joiner) {
    for (Seat& s : seats) {
        if (s.joiner == joiner) return &s;
    }
    return nullptr;
}

std::optional<RoomArrival> RoomHost::nextArrival() {
    if (arrivals.empty()) return std::nullopt;
    RoomArrival next = std::move(arrivals.front());
    arrivals.pop_front();
    return next;
}

bool RoomHost::answer(const std::string& id, const std::string& hostDescription) {
    if (current != RoomState::Open || hostDescription.size() > kMaxDescription) return false;
    for (Seat& s : seats) {
        if (hexText(s.joiner) != id || s.answered) continue;
        RoomLetter reply = newLetter(LetterKind::Answer, wall());
        reply.joiner = s.joiner;
        reply.answer = AnswerKind::Accepted;
        reply.text = hostDescription;
        s.answered = reply;
        post(answerTopicOf(keys, s.joiner), reply);
        return true;
    }
    return false;
}

void RoomHost::refuse(const std::string& id, const std::string& reason) {
    for (const Seat& s : seats) {
        if (hexText(s.joiner) != id) continue;
        RoomLetter reply = newLetter(LetterKind::Answer, wall());
        reply.joiner = s.joiner;
        reply.answer = AnswerKind::Refused;
        reply.text = reason.substr(0, kMaxReason);
        if (current == RoomState::Open) post(answerTopicOf(keys, s.joiner), reply);
        break;
    }
    release(id);
}

void RoomHost::release(const std::string& id) {
    const auto gone = [&](const Seat& s) { return hexText(s.joiner) == id; };
    const auto left = std::remove_if(seats.begin(), seats.end(), gone);
    if (left == seats.end()) return;
    seats.erase(left, seats.end());
    arrivals.erase(std::remove_if(arrivals.begin(), arrivals.end(),
                                  [&](const RoomArrival& a) { return a.id == id; }),
                   arrivals.end());
    presenceStale = true;
}

void RoomHost::leave() {
    if (current != RoomState::Open) return;
    broker->publish(presenceTopic(keys), "", true, 0);
    current = RoomState::Closed;
    arrivals.clear();
}

int RoomHost::players() const {
    return static_cast<int>(std::count_if(
        seats.begin(), seats.end(), [](const Seat& s) { return s.role == RoomRole::Player; }));
}

int RoomHost::watchers() const { return static_cast<int>(seats.size()) - players(); }

RoomGuest::RoomGuest(std::unique_ptr<Broker> lobby, const std::string& typed,
                     const CodeKeys& codeKeys, RoomRole asWhat, WallClock clock)
    : broker(std::move(lobby)),
      roomCode(writtenCode(typed)),
      keys(codeKeys),
      role(asWhat),
      wall(std::move(clock)),
      joiner(secureRandomBytes(kLetterIdBytes)),
      answerTopic(answerTopicOf(keys, joiner)) {
    broker->subscribe(presenceTopic(keys));
    broker->subscribe(answerTopic);
}

void RoomGuest::fail(const std::string& text) {
    current = RoomState::Failed;
    why = text;
}

void RoomGuest::ask(const std::string& details) {
    if (details.size() > kMaxDescription) {
        return fail("This computer's connection details are too long to send");
    }
    if (!description) description = details;
}

void RoomGuest::poll(int nowMillis) {
    if (current == RoomState::Failed || current == RoomState::Answered) return;
    arrived.clear();
    broker->poll(arrived);
    if (broker->state() == BrokerState::Failed) return fail(broker->error());
    if (broker->state() != BrokerState::Connected) return;
    if (!connectedAt) connectedAt = nowMillis;
    const std::int64_t wallNow = wall();
    const std::string presenceAt = presenceTopic(keys);
    for (const BrokerMessage& m : arrived) {
        if (m.topic == presenceAt) hearPresence(m.payload, wallNow);
        if (m.topic == answerTopic) hearAnswer(m.payload, wallNow);
        if (current == RoomState::Failed || current == RoomState::Answered) return;
    }
    if (current == RoomState::Opening && millisSince(nowMillis, *connectedAt) >= kNoRoomMillis) {
        if (clockOffBy) {
            const std::int64_t minutes = (std::llabs(*clockOffBy) + 59) / 60;
            return fail("This computer's clock and the host's differ by " +
                        std::to_string(minutes) + " minutes: set the clock right to join " +
                        roomCode);
        }
        return fail("No room has the code " + roomCode);
    }
    if (current != RoomState::Waiting || !description) return;
    if (!firstAskedAt) return sendJoin(nowMillis);
    if (millisSince(nowMillis, *firstAskedAt) >= kHostSilentMillis) {
        return fail("The host of " + roomCode + " does not answer");
    }
    if (millisSince(nowMillis, *lastAskedAt) >= kAskAgainMillis) sendJoin(nowMillis);
}

void RoomGuest::hearPresence(const std::string& payload, std::int64_t wallNow) {
    // The lobby clears a presence when its host vanishes: anyone may, so it
    // counts only once the room was found.
    if (payload.empty()) {
        if (found) fail("The room " + roomCode + " has closed");
        return;
    }
    std::optional<RoomLetter> letter = opened(keys, payload, LetterKind::Presence);
    if (!letter) return;
    const Freshness freshness = memory.take(*letter, wallNow);
    if (freshness == Freshness::OutOfTime) clockOffBy = letter->sentAt - wallNow;
    if (freshness != Freshness::Fresh) return;
    if (letter->expiresAt <= wallNow) return fail("The room " + roomCode + " has closed");
    const std::string mismatch = versionMismatch(letter->versions);
    if (!mismatch.empty()) return fail("Can't join " + roomCode + ": " + mismatch);
    found = std::move(letter);
    if (current == RoomState::Opening) current = RoomState::Waiting;
}

void RoomGuest::hearAnswer(const std::string& payload, std::int64_t wallNow) {
    const std::optional<RoomLetter> letter = opened(keys, payload, LetterKind::Answer);
    if (!letter || letter->joiner != joiner || !firstAskedAt) return;
    if (memory.take(*letter, wallNow) != Freshness::Fresh) return;
    switch (letter->answer) {
        case AnswerKind::Accepted:
            hostDetails = letter->text;
            current = RoomState::Answered;
            return;
        case AnswerKind::Full:
            return fail(role == RoomRole::Player
                            ? "The room " + roomCode + " is full: it has its two players"
                            : "The room " + roomCode + " is full: " + std::to_string(kMaxWatchers) +
                                  " are watching already");
        case AnswerKind::Refused: {
            const std::string mismatch = versionMismatch(letter->versions);
            if (!mismatch.empty()) return fail("Can't join " + roomCode + ": " + mismatch);
            if (letter->text.empty()) return fail("The host of " + roomCode + " said no");
            return fail("The host of " + roomCode + " said no: " + letter->text);
        }
    }
}

void RoomGuest::sendJoin(int nowMillis) {
    RoomLetter letter = newLetter(LetterKind::Join, wall());
    letter.versions = kOurVersions;
    letter.joiner = joiner;
    letter.role = role;
    letter.text = *description;
    broker->publish(joinTopic(keys), seal(keys.key, writeLetter(letter)), false, 0);
    if (!firstAskedAt) firstAskedAt = nowMillis;
    lastAskedAt = nowMillis;
}
