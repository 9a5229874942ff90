// Sounds loaded and mixed.
#include "runtime/sound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/wav.h"
#include "tests/support/headless_fixture.h"

namespace {

class SoundTest : public HeadlessTest {
  protected:
    // Stereo frames at the given rate; rights default to the lefts.
    static Sound makeStereo(int rate, const std::vector<int>& left, std::vector<int> right = {}) {
        if (right.empty()) right = left;
        Sound s;
        s.rate = rate;
        s.frames = static_cast<int>(left.size());
        for (std::size_t i = 0; i < left.size(); ++i) {
            s.samples.push_back(static_cast<std::int16_t>(left[i]));
            s.samples.push_back(static_cast<std::int16_t>(right[i]));
        }
        return s;
    }

    Voice play(Sound& sound, float volume) {
        const Voice v = prepareSound(&sound);
        setVoiceVolume(v, volume);
        startVoice(v);
        return v;
    }

    // Left channel of `frames` mixed frames.
    std::vector<int> mixLeft(int frames) {
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2, 1234);
        headless.mix(out.data(), frames);
        lastMix = out;
        std::vector<int> left;
        for (int i = 0; i < frames; ++i)
            left.push_back(out[2 * i]);
        return left;
    }

    static void addSounds() { addEmbeddedResources(); }

    std::vector<std::int16_t> lastMix;
};

using SoundLoad = SoundTest;
using SoundMixer = SoundTest;

TEST_F(SoundLoad, TheGamesTwoSounds) {
    addSounds();
    Sound* blow = loadSound("incbin::blow.wav", 0);
    Sound* block = loadSound("incbin::block.wav", 0);
    ASSERT_NE(blow, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(blow->frames, 3328);
    EXPECT_EQ(blow->rate, 11025);
    EXPECT_EQ(block->frames, 2801);
    EXPECT_EQ(block->rate, 8000);
    ASSERT_EQ(blow->samples.size(), 2u * 3328);
    ASSERT_EQ(block->samples.size(), 2u * 2801);
    for (int f = 0; f < 2801; ++f)
        ASSERT_EQ(block->samples[2 * f], block->samples[2 * f + 1]);
    EXPECT_EQ(loadSound("incbin::205275.png", 0), nullptr);
    EXPECT_EQ(loadSound("incbin::missing.wav", 0), nullptr);
}

TEST_F(SoundLoad, EightBitSamplesSpanTheSixteenBitRange) {
    WavData wav;
    wav.channels = 1;
    wav.sampleRate = 8000;
    wav.bitsPerSample = 8;
    wav.frames = 3;
    wav.data = {0, 128, 255};
    const Sound s = makeSound(wav);
    EXPECT_EQ(s.frames, 3);
    EXPECT_EQ(s.rate, 8000);
    EXPECT_EQ(s.samples, (std::vector<std::int16_t>{-32768, -32768, 128, 128, 32767, 32767}));
}

TEST_F(SoundLoad, SixteenBitStereoKeepsItsSides) {
    WavData wav;
    wav.channels = 2;
    wav.sampleRate = 22050;
    wav.bitsPerSample = 16;
    wav.frames = 2;
    wav.data = {0x01, 0x80, 0xFF, 0x7F, 0x34, 0x12, 0xFE, 0xFF};
    const Sound s = makeSound(wav);
    EXPECT_EQ(s.samples, (std::vector<std::int16_t>{-32767, 32767, 0x1234, -2}));
}

TEST_F(SoundLoad, ShortDataShortensTheSound) {
    WavData wav;
    wav.channels = 1;
    wav.sampleRate = 8000;
    wav.bitsPerSample = 16;
    wav.frames = 10;
    wav.data = {1, 0, 2, 0, 3};
    const Sound s = makeSound(wav);
    EXPECT_EQ(s.frames, 2);
    EXPECT_EQ(s.samples.size(), 4u);
}

TEST_F(SoundLoad, NoDeviceMeansSilenceAndOneMessage) {
    addSounds();
    headless.setAudioAvailable(false);
    testing::internal::CaptureStderr();
    Sound* blow = loadSound("incbin::blow.wav", 0);
    Sound* block = loadSound("incbin::block.wav", 0);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(blow, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(err, "Flailwick: no audio device, running without sound\n");
    const Voice v = prepareSound(blow);
    EXPECT_EQ(v, -1);
    setVoiceVolume(v, 1.0f);
    startVoice(v);
    EXPECT_EQ(activeVoices(), 0);
}

TEST_F(SoundLoad, TheDeviceOpensOnFirstUse) {
    addSounds();
    headless.setAudioOpenMillis(40);
    const int start = clockMillis();
    ASSERT_NE(loadSound("incbin::blow.wav", 0), nullptr);
    ASSERT_NE(loadSound("incbin::block.wav", 0), nullptr);
    EXPECT_EQ(clockMillis() - start, 40);
}

TEST_F(SoundMixer, VolumeIsFixedPointTruncated) {
    Sound s = makeStereo(kMixRate, {4096, 4096});
    play(s, 0.5f);
    EXPECT_EQ(mixLeft(1), std::vector<int>{2048});
    stopAllVoices();
    play(s, 0.3f);  // 1228.8 becomes 1228
    EXPECT_EQ(mixLeft(1), std::vector<int>{1228});
}

TEST_F(SoundMixer, TwoOverlappingVoicesAtHalfVolume) {
    Sound flat = makeStereo(kMixRate, {1000, 1000, 1000, 1000, 1000, 1000});
    Sound ramp = makeStereo(kMixRate, {0, 100, 200, 300}, {0, -100, -200, -300});
    play(flat, 0.5f);
    play(ramp, 0.5f);
    EXPECT_EQ(activeVoices(), 2);
    EXPECT_EQ(mixLeft(8), (std::vector<int>{500, 550, 600, 650, 500, 500, 0, 0}));
    const std::vector<int> right = {500, 450, 400, 350, 500, 500, 0, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(lastMix[2 * i + 1], right[i]) << i;
    EXPECT_EQ(activeVoices(), 0);
}

TEST_F(SoundMixer, OutputIsClipped) {
    Sound loud = makeStereo(kMixRate, {30000}, {-30000});
    for (int i = 0; i < 3; ++i)
        play(loud, 1.0f);
    EXPECT_EQ(mixLeft(1), std::vector<int>{32767});
    EXPECT_EQ(lastMix[1], -32768);
}

TEST_F(SoundMixer, ManyLoudVoicesDoNotOverflow) {
    Sound loud = makeStereo(kMixRate, {-32768});
    for (int i = 0; i < kMaxVoices; ++i)
        play(loud, 100.0f);  // gain held at about 8
    EXPECT_EQ(mixLeft(1), std::vector<int>{-32768});
}

TEST_F(SoundMixer, AVoiceEndsAfterItsLastFrame) {
    Sound s = makeStereo(kMixRate, std::vector<int>(10, 4096));
    play(s, 1.0f);
    const std::vector<int> left = mixLeft(16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(left[i], i < 10 ? 4096 : 0) << i;
    EXPECT_EQ(activeVoices(), 0);

    // Ending exactly at the end of a block still releases it there.
    Sound exact = makeStereo(kMixRate, std::vector<int>(16, 1));
    play(exact, 1.0f);
    mixLeft(16);
    EXPECT_EQ(activeVoices(), 0);
}

TEST_F(SoundMixer, APreparedVoiceIsSilentUntilStarted) {
    Sound s = makeStereo(kMixRate, {4096, 4096, 4096});
    const Voice v = prepareSound(&s);
    ASSERT_GE(v, 0);
    EXPECT_EQ(mixLeft(2), (std::vector<int>{0, 0}));
    EXPECT_EQ(activeVoices(), 1);
    startVoice(v);
    EXPECT_EQ(mixLeft(2), (std::vector<int>{4096, 4096}));  // from the start, at unit gain
}

TEST_F(SoundMixer, LowerRatesAreInterpolated) {
    Sound s = makeStereo(kMixRate / 2, {0, 1000, 2000, 3000});
    play(s, 1.0f);
    EXPECT_EQ(mixLeft(10), (std::vector<int>{0, 500, 1000, 1500, 2000, 2500, 3000, 3000, 0, 0}));
}

TEST_F(SoundMixer, TheGameSoundsLastTheirLength) {
    addSounds();
    Sound* blow = loadSound("incbin::blow.wav", 0);
    Sound* block = loadSound("incbin::block.wav", 0);
    ASSERT_NE(blow, nullptr);
    ASSERT_NE(block, nullptr);
    // 3328 frames at 11025 Hz are 13312 output frames; 2801 at 8000 Hz about 15441.
    play(*blow, 1.0f);
    mixLeft(13311);
    EXPECT_EQ(activeVoices(), 1);
    mixLeft(1);
    EXPECT_EQ(activeVoices(), 0);
    play(*block, 1.0f);
    mixLeft(15440);
    EXPECT_EQ(activeVoices(), 1);
    mixLeft(1);
    EXPECT_EQ(activeVoices(), 0);
}

TEST_F(SoundMixer, AFullPoolGivesTheVoiceNearestItsEndToTheNewSound) {
    Sound s = makeStereo(kMixRate, std::vector<int>(100, 1));
    const Voice first = play(s, 1.0f);
    const Voice second = play(s, 1.0f);
    mixLeft(60);
    for (int i = 2; i < kMaxVoices; ++i)
        play(s, 1.0f);
    EXPECT_EQ(activeVoices(), kMaxVoices);
    // Both early voices have 40 frames left; the first of them gives way.
    EXPECT_EQ(play(s, 1.0f), first);
    EXPECT_EQ(play(s, 1.0f), second);
    EXPECT_EQ(activeVoices(), kMaxVoices);

    EXPECT_EQ(prepareSound(nullptr), -1);
    setVoiceVolume(-1, 1.0f);
    startVoice(-1);
    setVoiceVolume(kMaxVoices, 1.0f);
    startVoice(kMaxVoices);
}

}  // namespace
