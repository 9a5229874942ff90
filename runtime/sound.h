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
constexpr int kMaxVoices = 32;

// Null when the data cannot be read. Sounds live until the program ends.
Sound* loadSound(const std::string& path, int flags);
Sound makeSound(const WavData& wav);

// Paused, at the start, volume 1.0. -1 when every voice is busy.
Voice prepareSound(Sound* sound);
void setVoiceVolume(Voice voice, float volume);
void startVoice(Voice voice);

// Mixes `frames` stereo frames into out; called from the audio callback.
void mixAudio(std::int16_t* out, int frames);
int activeVoices();
void stopAllVoices();  // tests
