// How long the mixer takes to mix a block of eight blows at once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/platform/headless.h"
#include "runtime/sound.h"

namespace {

constexpr int kVoices = 8;

// Keeps eight blows sounding: a voice that ended in the last block is
// replaced, as overlapping blows in a long combo would be.
void keepPlaying(Sound* sound) {
    for (int playing = activeVoices(); playing < kVoices; ++playing) {
        const Voice v = prepareSound(sound);
        setVoiceVolume(v, 0.5f);
        startVoice(v);
    }
}

void MixBlockOfEightBlows(benchmark::State& state) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    stopAllVoices();
    addEmbeddedResources();
    Sound* sound = loadSound("incbin::blow.wav", 0);
    std::vector<std::int16_t> out(2 * kMixBlockFrames);
    for (auto _ : state) {
        keepPlaying(sound);
        mixAudio(out.data(), kMixBlockFrames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMixBlockFrames);
    stopAllVoices();
    setPlatform(nullptr);
}
BENCHMARK(MixBlockOfEightBlows);

}  // namespace
