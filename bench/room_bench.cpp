// What rooms cost: deriving a code's keys (slow on purpose, once a room), a
// seal and its opening, and a host and a guest meeting over a lobby in memory.
#include <benchmark/benchmark.h>

#include <memory>

#include "netplay/room.h"
#include "runtime/net/memory_broker.h"

namespace {

void DeriveCodeKeys(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(deriveCodeKeys("K7QF-M2XD"));
}
BENCHMARK(DeriveCodeKeys)->Unit(benchmark::kMillisecond);

void SealAndOpenADescription(benchmark::State& state) {
    const SealKey key = deriveCodeKeys("K7QF-M2XD").key;
    const std::string description(kMaxDescription, 'a');
    for (auto _ : state)
        benchmark::DoNotOptimize(openSealed(key, seal(key, description)));
}
BENCHMARK(SealAndOpenADescription)->Unit(benchmark::kMicrosecond);

// From opening the room to the guest holding the host's details, keys derived beforehand.
void HostAndGuestMeet(benchmark::State& state) {
    const CodeKeys keys = deriveCodeKeys("K7QF-M2XD");
    const std::string description(1500, 'd');
    for (auto _ : state) {
        int now = 0;
        MemoryBrokerHub hub([&now] { return now; });
        RoomHost host(hub.connect(roomWill(keys)), "K7QF-M2XD", keys);
        RoomGuest guest(hub.connect({}), "K7QF-M2XD", keys, RoomRole::Player);
        guest.ask(description);
        for (; guest.state() != RoomState::Answered && now < 1000; now += 16) {
            host.poll(now);
            guest.poll(now);
            while (const std::optional<RoomArrival> arrival = host.nextArrival()) {
                host.answer(arrival->id, description);
            }
        }
        if (guest.state() != RoomState::Answered) state.SkipWithError("the guest was not answered");
    }
}
BENCHMARK(HostAndGuestMeet)->Unit(benchmark::kMicrosecond);

}  // namespace
