// Sounds loaded from WAV resources and the mixer that plays their voices.
#include "runtime/sound.h"

#include <array>
#include <cstdio>
#include <memory>

#include "runtime/files.h"
#include "runtime/numbers.h"
#include "runtime/platform/platform.h"
#include "runtime/presentation.h"
#include "runtime/wav.h"

namespace {

constexpr int kUnitGain = 4096;
constexpr int kGainShift = 12;
constexpr int kFractionBits = 15;  // interpolation weight; keeps (b - a) x weight in 32 bits

// One slot of the fixed pool. Positions are frames in 32.32 fixed point, so
// that starting a voice inside a fight frame never touches the heap.
struct VoiceSlot {
    const Sound* sound = nullptr;
    std::uint64_t position = 0;
    std::uint64_t step = 0;
    int volume = kUnitGain;
    bool paused = true;
    bool busy = false;
};

enum class Device { Untried, Open, Missing };

std::array<VoiceSlot, kMaxVoices> voices;
Device device = Device::Untried;
// 64-bit sums: many voices at full scale and high gain would overflow 32 bits.
std::array<std::int64_t, 2 * kMixBlockFrames> sums;

std::vector<std::unique_ptr<Sound>>& loadedSounds() {
    static std::vector<std::unique_ptr<Sound>> sounds;
    return sounds;
}

class AudioLock {
  public:
    AudioLock() { platform().lockAudio(); }
    ~AudioLock() { platform().unlockAudio(); }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;
};

// The device is opened on first use; without one the game plays on silently.
bool audioReady() {
    if (device == Device::Untried) {
        device = platform().openAudio(mixAudio) ? Device::Open : Device::Missing;
        if (device == Device::Missing) {
            std::fputs("Flailwick: no audio device, running without sound\n", stderr);
        }
    }
    return device == Device::Open;
}

bool validVoice(Voice voice) { return voice >= 0 && voice < kMaxVoices; }

int framesOf(const Sound& sound) {
    const int stored = static_cast<int>(sound.samples.size() / 2);
    return sound.frames < stored ? sound.frames : stored;
}

std::int16_t clipSample(std::int64_t v) {
    if (v < -32768) return -32768;
    if (v > 32767) return 32767;
    return static_cast<std::int16_t>(v);
}

// How many more output frames a busy voice will sound for.
std::uint64_t outputFramesLeft(const VoiceSlot& voice) {
    const std::uint64_t end = static_cast<std::uint64_t>(framesOf(*voice.sound)) << 32;
    if (voice.position >= end || voice.step == 0) return 0;
    return (end - voice.position) / voice.step;
}

void mixVoice(VoiceSlot& voice, int frames) {
    const std::int16_t* data = voice.sound->samples.data();
    const std::uint64_t length = static_cast<std::uint64_t>(framesOf(*voice.sound));
    const std::int64_t volume = voice.volume;
    for (int i = 0; i < frames; ++i) {
        const std::uint64_t index = voice.position >> 32;
        if (index >= length) break;
        const std::uint64_t next = index + 1 < length ? index + 1 : index;
        const int weight = static_cast<int>((voice.position >> (32 - kFractionBits)) &
                                            ((1u << kFractionBits) - 1));
        for (int side = 0; side < 2; ++side) {
            const int a = data[2 * index + side];
            const int b = data[2 * next + side];
            const int sample = a + (((b - a) * weight) >> kFractionBits);
            sums[static_cast<std::size_t>(2 * i + side)] += sample * volume;
        }
        voice.position += voice.step;
    }
    if ((voice.position >> 32) >= length) voice = VoiceSlot{};
}

void mixBlock(std::int16_t* out, int frames) {
    const std::size_t samples = static_cast<std::size_t>(frames) * 2;
    for (std::size_t k = 0; k < samples; ++k)
        sums[k] = 0;
    for (VoiceSlot& voice : voices) {
        if (voice.busy && !voice.paused) mixVoice(voice, frames);
    }
    for (std::size_t k = 0; k < samples; ++k)
        out[k] = clipSample(sums[k] >> kGainShift);
}

}  // namespace

Sound makeSound(const WavData& wav) {
    Sound sound;
    sound.rate = wav.sampleRate;
    const int bytes = wav.bitsPerSample / 8;
    if ((bytes != 1 && bytes != 2) || (wav.channels != 1 && wav.channels != 2)) return sound;
    const std::size_t frameBytes = static_cast<std::size_t>(bytes) * wav.channels;
    std::size_t frames = wav.frames > 0 ? static_cast<std::size_t>(wav.frames) : 0;
    if (frames > wav.data.size() / frameBytes) frames = wav.data.size() / frameBytes;

    sound.frames = static_cast<int>(frames);
    sound.samples.resize(frames * 2);
    for (std::size_t f = 0; f < frames; ++f) {
        for (int side = 0; side < 2; ++side) {
            const int channel = wav.channels == 1 ? 0 : side;
            const unsigned char* p =
                &wav.data[f * frameBytes + static_cast<std::size_t>(channel) * bytes];
            // 8-bit data is unsigned around 128; v x 257 - 32768 spans the full 16-bit range.
            const int value =
                bytes == 1 ? p[0] * 257 - 32768 : static_cast<std::int16_t>(p[0] | (p[1] << 8));
            sound.samples[f * 2 + static_cast<std::size_t>(side)] =
                static_cast<std::int16_t>(value);
        }
    }
    return sound;
}

Sound* loadSound(const std::string& path, int /*flags*/) {
    audioReady();
    StreamPtr stream = openForReading(path);
    if (!stream) return nullptr;
    WavData wav;
    const bool ok = readWav(*stream, wav);
    closeStream(stream);
    if (!ok) return nullptr;
    loadedSounds().push_back(std::make_unique<Sound>(makeSound(wav)));
    return loadedSounds().back().get();
}

Voice prepareSound(Sound* sound) {
    if (sound == nullptr || sound->rate <= 0 || !audioReady() || !presentation().sound) return -1;
    AudioLock lock;
    int chosen = 0;
    std::uint64_t fewestLeft = UINT64_MAX;
    for (int v = 0; v < kMaxVoices; ++v) {
        const VoiceSlot& slot = voices[static_cast<std::size_t>(v)];
        if (!slot.busy) {
            chosen = v;
            break;
        }
        const std::uint64_t left = outputFramesLeft(slot);
        if (left < fewestLeft) {
            fewestLeft = left;
            chosen = v;
        }
    }
    VoiceSlot& slot = voices[static_cast<std::size_t>(chosen)];
    slot = VoiceSlot{};
    slot.sound = sound;
    slot.step = (static_cast<std::uint64_t>(sound->rate) << 32) / kMixRate;
    slot.busy = true;
    return chosen;
}

void setVoiceVolume(Voice voice, float volume) {
    if (!validVoice(voice)) return;
    // Clamped rather than wrapped: a gain of 8 or more must not turn into a negative one.
    int fixed = toInt(static_cast<double>(volume) * kUnitGain);
    if (fixed < -32768) fixed = -32768;
    if (fixed > 32767) fixed = 32767;
    AudioLock lock;
    VoiceSlot& slot = voices[static_cast<std::size_t>(voice)];
    if (slot.busy) slot.volume = fixed;
}

void startVoice(Voice voice) {
    if (!validVoice(voice)) return;
    AudioLock lock;
    VoiceSlot& slot = voices[static_cast<std::size_t>(voice)];
    if (slot.busy) slot.paused = false;
}

// Runs on the audio side with the device's lock held, so it takes no lock itself.
void mixAudio(std::int16_t* out, int frames) {
    if (out == nullptr) return;
    while (frames > 0) {
        const int n = frames < kMixBlockFrames ? frames : kMixBlockFrames;
        mixBlock(out, n);
        out += 2 * n;
        frames -= n;
    }
}

int activeVoices() {
    AudioLock lock;
    int count = 0;
    for (const VoiceSlot& slot : voices) {
        if (slot.busy) ++count;
    }
    return count;
}

// Also forgets the device, so the next sound opens it again on whatever
// platform is installed then.
void stopAllVoices() {
    {
        AudioLock lock;
        voices.fill(VoiceSlot{});
    }
    device = Device::Untried;
}
