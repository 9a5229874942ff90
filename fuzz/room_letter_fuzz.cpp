// libFuzzer harness for a room's letters: whatever the bytes, reading refuses
// them or gives a letter that writes and reads back to itself; sealed with the
// room's key, a host hearing them as requests keeps its seats in bounds, and a
// guest hearing them as the room's presence is left waiting or told why not.
// tools/fuzz.sh builds and runs it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "netplay/room.h"
#include "runtime/net/memory_broker.h"

namespace {

bool same(const RoomLetter& a, const RoomLetter& b) {
    return a.kind == b.kind && a.id == b.id && a.sentAt == b.sentAt &&
           a.versions.protocol == b.versions.protocol &&
           a.versions.simulation == b.versions.simulation && a.createdAt == b.createdAt &&
           a.expiresAt == b.expiresAt && a.players == b.players && a.watchers == b.watchers &&
           a.joiner == b.joiner && a.role == b.role && a.answer == b.answer && a.text == b.text;
}

// The seeds' letters are stamped at this time.
constexpr std::int64_t kSeedSeconds = 1'800'000'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (const std::optional<RoomLetter> letter = readLetter(bytes)) {
        const std::optional<RoomLetter> again = readLetter(writeLetter(*letter));
        if (!again || !same(*letter, *again)) std::abort();
    }
    static const CodeKeys keys = deriveCodeKeys("K7QF-M2XD");
    const std::string topic = "flailwick/room/" + keys.topic + "/";
    int now = 0;
    MemoryBrokerHub hub([&now] { return now; });
    const auto wall = [] { return kSeedSeconds; };
    RoomHost host(hub.connect(roomWill(keys)), "K7QF-M2XD", keys, wall);
    host.poll(now);
    for (int i = 0; i < 3; ++i)
        hub.publish(topic + "join", seal(keys.key, bytes), false, 0);
    host.poll(now += 16);
    if (host.state() != RoomState::Open || host.players() > 1 || host.watchers() > kMaxWatchers)
        std::abort();
    while (const std::optional<RoomArrival> arrival = host.nextArrival()) {
        host.answer(arrival->id, arrival->description);
    }
    host.leave();

    hub.publish(topic + "host", seal(keys.key, bytes), true, 0);
    RoomGuest guest(hub.connect({}), "K7QF-M2XD", keys, RoomRole::Watcher, wall);
    guest.poll(now += 16);
    if (guest.state() == RoomState::Failed && guest.failure().empty()) std::abort();
    return 0;
}
