// Sound: samples loaded once, played as voices through a software mixer at
// 44100 Hz stereo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Stream;
struct WavData;

struct Sound {
    int frames = 0;
    int rate = 0;
    std::vector<std::int16_t> samples;  // stereo frames, left then right
};

using Voice = int;  // a slot of the mixer's fixed voice pool; -1 for none

constexpr int kMixRate = 44100;
constexpr int kMixBlockFrames = 2048;
// Enough for the busiest fight the contact rules allow. Two players against
// four opponents make 8 pairs on opposing sides; a pair has at most one contact
// event every second frame (its contact cooldown) and each event starts at most
// one sound. The longer sound lasts 350 ms (21 frames at 60 a second) and may
// wait up to a mixing block for its first samples and a block for its last
// (93 ms, 6 frames): 27 frames, so at most 14 sounds of a pair at once, and
// 8 x 14 = 112 of the whole fight.
constexpr int kMaxVoices = 128;

// Null when the data cannot be read. Sounds live until the program ends.
Sound* loadSound(const std::string& path, int flags);
Sound makeSound(const WavData& wav);

// Paused, at the start, volume 1.0. When every voice is busy, the one nearest
// its end gives way. -1 only when there is no sound or no device.
Voice prepareSound(Sound* sound);
void setVoiceVolume(Voice voice, float volume);
void startVoice(Voice voice);

// Mixes `frames` stereo frames into out; called from the audio callback.
void mixAudio(std::int16_t* out, int frames);
int activeVoices();
void stopAllVoices();  // tests
