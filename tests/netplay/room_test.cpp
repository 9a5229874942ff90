// Rooms over a lobby in memory: a host and its guests meeting, seats running
// out, hosts and lobbies that vanish, rooms that close, and letters forged,
// heard again, cut short or too long, which the room ignores and goes on.
#include <gtest/gtest.h>

#include "fight/simulation_version.h"
#include "netplay/room.h"
#include "runtime/net/memory_broker.h"

namespace {

const std::string kCode = "K7QF-M2XD";

const CodeKeys& roomKeys() {
    static const CodeKeys keys = deriveCodeKeys(kCode);
    return keys;
}

std::string topic(const std::string& leaf) {
    return "flailwick/room/" + roomKeys().topic + "/" + leaf;
}

class Rooms : public ::testing::Test {
  protected:
    int now = 0;                         // milliseconds
    std::int64_t start = 1'800'000'000;  // seconds since 1970 at now 0
    MemoryBrokerHub hub{[this] { return now; }};
    std::vector<RoomHost*> hosts;
    std::vector<RoomGuest*> guests;

    WallClock wall() {
        return [this] { return start + now / 1000; };
    }
    std::unique_ptr<RoomHost> host(Broker** raw = nullptr) {
        auto broker = hub.connect(roomWill(roomKeys()));
        if (raw) *raw = broker.get();
        auto room = std::make_unique<RoomHost>(std::move(broker), kCode, roomKeys(), wall());
        hosts.push_back(room.get());
        return room;
    }
    std::unique_ptr<RoomGuest> guest(RoomRole role, const std::string& description = "guest",
                                     const CodeKeys& keys = roomKeys()) {
        auto room = std::make_unique<RoomGuest>(hub.connect({}), kCode, keys, role, wall());
        room->ask(description);
        guests.push_back(room.get());
        return room;
    }
    // Polls every room for `millis`, a frame at a time.
    void run(int millis) {
        for (const int end = now + millis; now < end; now += 16) {
            for (RoomHost* h : hosts)
                h->poll(now);
            for (RoomGuest* g : guests)
                g->poll(now);
        }
    }
    RoomArrival arrival(RoomHost& h) {
        run(200);
        std::optional<RoomArrival> a = h.nextArrival();
        EXPECT_TRUE(a.has_value());
        return a.value_or(RoomArrival{});
    }
    std::string sealed(const RoomLetter& letter) {
        return seal(roomKeys().key, writeLetter(letter));
    }
    RoomLetter presence(std::int64_t sentAt) {
        RoomLetter p = newLetter(LetterKind::Presence, sentAt);
        p.versions = {kOnlineProtocol, kSimulationVersion};
        p.expiresAt = sentAt + 60;
        return p;
    }
};

TEST_F(Rooms, AHostAndItsGuestsTradeDescriptions) {
    auto h = host();
    auto player = guest(RoomRole::Player, "player's details");
    auto watcher = guest(RoomRole::Watcher, "watcher's details");
    run(200);
    std::optional<RoomArrival> first = h->nextArrival(), second = h->nextArrival();
    ASSERT_TRUE(first && second);
    if (first->role == RoomRole::Watcher) std::swap(first, second);
    EXPECT_EQ(first->description, "player's details");
    EXPECT_EQ(second->role, RoomRole::Watcher);
    EXPECT_TRUE(h->answer(first->id, "host for player"));
    EXPECT_TRUE(h->answer(second->id, "host for watcher"));
    EXPECT_FALSE(h->answer(second->id, "twice"));
    run(200);
    ASSERT_EQ(player->state(), RoomState::Answered) << player->failure();
    EXPECT_EQ(player->hostDescription(), "host for player");
    EXPECT_EQ(watcher->hostDescription(), "host for watcher");
}

TEST_F(Rooms, ASecondPlayerOrANinthWatcherFindTheRoomFullUntilASeatIsFreed) {
    auto h = host();
    auto first = guest(RoomRole::Player);
    const RoomArrival seated = arrival(*h);
    auto second = guest(RoomRole::Player);
    std::vector<std::unique_ptr<RoomGuest>> watchers;
    for (int i = 0; i < kMaxWatchers; ++i)
        watchers.push_back(guest(RoomRole::Watcher));
    run(500);
    EXPECT_EQ(h->watchers(), kMaxWatchers);
    auto ninth = guest(RoomRole::Watcher);
    run(500);
    EXPECT_NE(second->failure().find("is full"), std::string::npos) << second->failure();
    EXPECT_NE(ninth->failure().find("is full"), std::string::npos) << ninth->failure();
    EXPECT_EQ(watchers.back()->state(), RoomState::Waiting);

    h->refuse(seated.id, "Only friends tonight");
    auto third = guest(RoomRole::Player);
    const RoomArrival next = arrival(*h);
    EXPECT_NE(next.id, seated.id);
    EXPECT_EQ(first->failure(), "The host of K7QF-M2XD said no: Only friends tonight");
}

TEST_F(Rooms, AWrongCodeFindsNoRoom) {
    auto h = host();
    auto lost = guest(RoomRole::Player, "guest", deriveCodeKeys("K7QF-M2XE"));
    run(kNoRoomMillis + 100);
    EXPECT_EQ(lost->failure(), "No room has the code K7QF-M2XD");
    EXPECT_FALSE(h->nextArrival());
}

TEST_F(Rooms, AHostThatVanishesOrLeavesTakesItsRoomAlong) {
    Broker* hostBroker = nullptr;
    auto h = host(&hostBroker);
    auto waiting = guest(RoomRole::Player);
    run(200);
    hub.drop(*hostBroker);
    run(200);
    EXPECT_EQ(waiting->failure(), "The room K7QF-M2XD has closed");
    auto later = guest(RoomRole::Player);
    run(kNoRoomMillis + 100);
    EXPECT_EQ(later->failure(), "No room has the code K7QF-M2XD");

    auto second = host();
    run(100);
    EXPECT_FALSE(hub.retained(topic("host")).empty());
    second->leave();
    EXPECT_EQ(second->state(), RoomState::Closed);
    EXPECT_TRUE(hub.retained(topic("host")).empty());
}

TEST_F(Rooms, ALobbyThatGoesDownIsSaidSo) {
    auto h = host();
    auto g = guest(RoomRole::Watcher);
    run(100);
    hub.goDown("The lobby is down for repairs");
    run(100);
    EXPECT_EQ(h->failure(), "The lobby is down for repairs");
    EXPECT_EQ(g->failure(), "The lobby is down for repairs");
}

TEST_F(Rooms, ARoomClosesAfterItsLifetime) {
    auto h = host();
    run(100);
    now += kRoomLifetimeSeconds * 1000;
    run(100);
    EXPECT_EQ(h->failure(), "The room K7QF-M2XD has closed");
    auto late = guest(RoomRole::Player);
    run(kNoRoomMillis + 100);
    EXPECT_EQ(late->failure(), "No room has the code K7QF-M2XD");
}

TEST_F(Rooms, ForgedReplayedCutOrOversizedLettersAreIgnoredAndTheRoomGoesOn) {
    auto h = host();
    auto first = guest(RoomRole::Player);
    const RoomArrival seated = arrival(*h);
    const std::string join = hub.history(topic("join")).front();
    h->release(seated.id);

    RoomLetter stale = newLetter(LetterKind::Join, start - 600);
    stale.joiner = std::string(kLetterIdBytes, 'x');
    stale.versions = {kOnlineProtocol, kSimulationVersion};
    RoomLetter huge = stale;
    huge.sentAt = start;
    huge.text.assign(kMaxDescription, 'a');
    huge.text += huge.text;
    for (const std::string& bad : {join, join.substr(0, join.size() - 1), std::string("not sealed"),
                                   seal(deriveCodeKeys("AAAA-AAAA").key, "J"), sealed(stale),
                                   sealed(huge), std::string(kMaxSealed + 1, 'z')}) {
        hub.publish(topic("join"), bad, false, 0);
    }
    run(200);
    EXPECT_FALSE(h->nextArrival());

    auto player = guest(RoomRole::Player, "p");
    auto watcher = guest(RoomRole::Watcher, "w");
    run(200);
    std::optional<RoomArrival> a = h->nextArrival(), b = h->nextArrival();
    ASSERT_TRUE(a && b);
    if (a->role == RoomRole::Watcher) std::swap(a, b);
    h->answer(a->id, "for the player");
    run(200);
    // The player's answer, heard again where the watcher waits for its own.
    hub.publish(topic("answer/" + b->id), hub.history(topic("answer/" + a->id)).back(), false, 0);
    run(200);
    EXPECT_EQ(player->state(), RoomState::Answered);
    EXPECT_EQ(watcher->state(), RoomState::Waiting);
    h->answer(b->id, "for the watcher");
    run(200);
    EXPECT_EQ(watcher->hostDescription(), "for the watcher");
}

TEST_F(Rooms, AGuestSaysWhyARoomItFoundCannotBeJoined) {
    RoomLetter other = presence(start);
    other.versions.simulation ^= 1;
    hub.publish(topic("host"), sealed(other), true, 0);
    auto g = guest(RoomRole::Player);
    run(200);
    EXPECT_NE(g->failure().find("Can't join K7QF-M2XD: the other player's game is version"),
              std::string::npos)
        << g->failure();

    hub.publish(topic("host"), sealed(presence(start + 600)), true, 0);
    auto skewed = guest(RoomRole::Player);
    run(kNoRoomMillis + 100);
    EXPECT_EQ(skewed->failure().find("This computer's clock and the host's differ by 10 minutes"),
              0u)
        << skewed->failure();

    hub.publish(topic("host"), sealed(presence(start + now / 1000)), true, 0);
    auto unanswered = guest(RoomRole::Player);
    run(kHostSilentMillis + 500);
    EXPECT_EQ(unanswered->failure(), "The host of K7QF-M2XD does not answer");
}

}  // namespace
