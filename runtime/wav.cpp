// WAV files read into their format and samples.
#include "runtime/wav.h"

#include <cstdint>
#include <cstring>

#include "runtime/files.h"

namespace {

bool readTag(Stream& s, char tag[4]) { return readBytes(s, tag, 4) == 4; }

bool readU32(Stream& s, std::uint32_t& value) {
    unsigned char b[4];
    if (readBytes(s, b, 4) != 4) return false;
    value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return true;
}

bool readU16(Stream& s, std::uint16_t& value) {
    unsigned char b[2];
    if (readBytes(s, b, 2) != 2) return false;
    value = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool skip(Stream& s, std::uint32_t count) {
    unsigned char scratch[256];
    while (count > 0) {
        const std::uint32_t n = count < sizeof scratch ? count : sizeof scratch;
        if (readBytes(s, scratch, n) != n) return false;
        count -= n;
    }
    return true;
}

}  // namespace

bool readWav(Stream& s, WavData& out) {
    char tag[4];
    std::uint32_t length;
    if (!readTag(s, tag) || std::memcmp(tag, "RIFF", 4) != 0) return false;
    if (!readU32(s, length)) return false;
    if (!readTag(s, tag) || std::memcmp(tag, "WAVE", 4) != 0) return false;
    if (!readTag(s, tag) || std::memcmp(tag, "fmt ", 4) != 0) return false;

    std::uint32_t formatLength, rate, byteRate;
    std::uint16_t formatTag, channels, blockAlign, bits;
    if (!readU32(s, formatLength) || formatLength < 16) return false;
    if (!readU16(s, formatTag) || !readU16(s, channels) || !readU32(s, rate) ||
        !readU32(s, byteRate) || !readU16(s, blockAlign) || !readU16(s, bits)) {
        return false;
    }
    if (formatTag != 1) return false;
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2)) return false;
    if (rate == 0 || rate > 1000000) return false;
    if (!skip(s, formatLength - 16)) return false;

    for (;;) {
        if (!readTag(s, tag) || !readU32(s, length)) return false;
        if (std::memcmp(tag, "data", 4) != 0) {
            if (!skip(s, length)) return false;
            continue;
        }
        const std::uint32_t frameBytes = (bits / 8u) * channels;
        const std::uint32_t frames = length / frameBytes;
        if (static_cast<std::size_t>(frames) * frameBytes > bytesLeft(s)) return false;
        out.channels = channels;
        out.sampleRate = static_cast<int>(rate);
        out.bitsPerSample = bits;
        out.frames = static_cast<int>(frames);
        out.data.resize(static_cast<std::size_t>(frames) * frameBytes);
        return readBytes(s, out.data.data(), out.data.size()) == out.data.size();
    }
}
