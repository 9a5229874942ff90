// WAV files read and refused.
#include "runtime/wav.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/files.h"

namespace {

void put16(std::string& s, int v) {
    s.push_back(static_cast<char>(v & 255));
    s.push_back(static_cast<char>((v >> 8) & 255));
}
void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

struct WavSpec {
    int tag = 1, channels = 1, rate = 11025, bits = 8;
    int fmtExtra = 0;         // bytes after the 16 of the format
    std::string chunkBefore;  // whole chunks placed before "data"
    std::string data = "abcd";
    int dataLengthField = -1;  // -1: the real length
};

std::string makeWav(const WavSpec& w) {
    std::string s = "RIFF";
    put32(s, 0);  // ignored
    s += "WAVEfmt ";
    put32(s, 16 + w.fmtExtra);
    put16(s, w.tag);
    put16(s, w.channels);
    put32(s, w.rate);
    put32(s, w.rate * w.channels * w.bits / 8);
    put16(s, w.channels * w.bits / 8);
    put16(s, w.bits);
    s += std::string(w.fmtExtra, 'z');
    s += w.chunkBefore;
    s += "data";
    put32(s, w.dataLengthField < 0 ? static_cast<std::uint32_t>(w.data.size())
                                   : static_cast<std::uint32_t>(w.dataLengthField));
    s += w.data;
    return s;
}

bool load(const std::string& bytes, WavData& out) {
    clearResources();
    addResource("t.wav", reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    StreamPtr s = openForReading("incbin::t.wav");
    const bool ok = readWav(*s, out);
    clearResources();
    return ok;
}

}  // namespace

TEST(WavReader, ReadsTheFormatFieldsAndData) {
    WavSpec spec;
    spec.channels = 2;
    spec.bits = 16;
    spec.rate = 8000;
    spec.data = std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    const std::string bytes = makeWav(spec);
    WavData wav;
    ASSERT_TRUE(load(bytes, wav));
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 8000);
    EXPECT_EQ(wav.bitsPerSample, 16);
    EXPECT_EQ(wav.frames, 2);
    EXPECT_EQ(std::string(wav.data.begin(), wav.data.end()), spec.data);
}

TEST(WavReader, SkipsOtherChunksAndLongFormats) {
    WavSpec spec;
    std::string list = "LIST";
    put32(list, 5);
    list += "hello";  // odd length, no pad byte
    std::string fact = "fact";
    put32(fact, 4);
    put32(fact, 99);
    spec.chunkBefore = list + fact;
    spec.fmtExtra = 2;
    WavData wav;
    ASSERT_TRUE(load(makeWav(spec), wav));
    EXPECT_EQ(wav.frames, 4);
    EXPECT_EQ(std::string(wav.data.begin(), wav.data.end()), "abcd");
}

TEST(WavReader, RefusesWhatItCannotPlay) {
    WavData wav;
    for (auto change : std::initializer_list<void (*)(WavSpec&)>{
             [](WavSpec& w) { w.tag = 3; },       // float samples
             [](WavSpec& w) { w.bits = 24; },     // unsupported depth
             [](WavSpec& w) { w.channels = 3; },  // unsupported layout
             [](WavSpec& w) { w.channels = 0; },
             [](WavSpec& w) { w.dataLengthField = 400; },  // data runs past the end
             [](WavSpec& w) { w.dataLengthField = 0x7FFFFFF0; },
         }) {
        WavSpec spec;
        change(spec);
        EXPECT_FALSE(load(makeWav(spec), wav));
    }
    std::string bytes = makeWav(WavSpec{});
    EXPECT_FALSE(load("RIFX" + bytes.substr(4), wav));
    EXPECT_FALSE(load(bytes.substr(0, 8) + "WAVX" + bytes.substr(12), wav));
    EXPECT_FALSE(load(bytes.substr(0, 12) + "fmt_" + bytes.substr(16), wav));
    EXPECT_FALSE(load(bytes.substr(0, 30), wav));  // cut inside the format
    EXPECT_FALSE(load("", wav));
    // A chunk that claims more bytes than remain is not skipped into thin air.
    WavSpec lying;
    std::string huge = "junk";
    put32(huge, 0xFFFFFFF0u);
    lying.chunkBefore = huge;
    EXPECT_FALSE(load(makeWav(lying), wav));
}
