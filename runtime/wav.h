// The WAV reader: uncompressed PCM, 8 or 16 bits, mono or stereo.
#pragma once

#include <vector>

class Stream;

struct WavData {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    int frames = 0;
    std::vector<unsigned char> data;  // frames x channels samples, as stored
};

// False when the data is not a WAV this reader accepts, or ends too soon.
bool readWav(Stream& stream, WavData& out);
