// Little-endian numbers and seven-bit varints written into a string and read
// back with every read bounded by the bytes left: the layout of recorded
// fights and of the messages of online play.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

class ByteWriter {
  public:
    std::string bytes;

    void u8(std::uint32_t v) { bytes.push_back(static_cast<char>(v & 0xFFu)); }
    void u16(std::uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    // Seven bits a byte, the low ones first: small numbers take one byte.
    void varint(std::uint32_t v) {
        for (; v >= 0x80u; v >>= 7)
            u8((v & 0x7Fu) | 0x80u);
        u8(v);
    }
    // Small numbers of either sign take one byte too.
    void signedVarint(std::int32_t v) {
        varint((static_cast<std::uint32_t>(v) << 1) ^ static_cast<std::uint32_t>(v >> 31));
    }
};

// The first failure sticks and says what could not be read; reads after it
// give 0.
class ByteReader {
  public:
    // cutShort: the failure of a read past the end.
    ByteReader(const std::uint8_t* data, std::size_t size, const char* cutShort)
        : data_(data), size_(size), cutShort_(cutShort) {}
    // The bytes of `s` from `from` on.
    ByteReader(const std::string& s, std::size_t from, const char* cutShort)
        : ByteReader(
              reinterpret_cast<const std::uint8_t*>(s.data()) + (from < s.size() ? from : s.size()),
              from < s.size() ? s.size() - from : 0, cutShort) {}

    std::string error;
    bool ok() const { return error.empty(); }
    std::size_t left() const { return size_ - at_; }
    void fail(const std::string& why) {
        if (error.empty()) error = why;
    }

    std::uint32_t u8() {
        if (at_ >= size_) {
            fail(cutShort_);
            return 0;
        }
        return data_[at_++];
    }
    std::uint32_t u16() {
        const std::uint32_t lo = u8();
        return lo | (u8() << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        return lo | (u16() << 16);
    }
    std::uint64_t u64() {
        const std::uint64_t lo = u32();
        return lo | (static_cast<std::uint64_t>(u32()) << 32);
    }
    int i32() { return static_cast<int>(u32()); }
    // damaged: the failure of a varint longer than any 32-bit number.
    std::uint32_t varint(const char* damaged) {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint32_t b = u8();
            v |= (b & 0x7Fu) << shift;
            if ((b & 0x80u) == 0) return v;
        }
        fail(damaged);
        return 0;
    }
    std::int32_t signedVarint(const char* damaged) {
        const std::uint32_t v = varint(damaged);
        return static_cast<std::int32_t>((v >> 1) ^ (0u - (v & 1u)));
    }
    // The next n bytes, or none when fewer are left.
    std::string take(std::size_t n) {
        if (n > left()) {
            fail(cutShort_);
            return {};
        }
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    const char* cutShort_;
    std::size_t at_ = 0;
};
