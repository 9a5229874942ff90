// Messages sealed with a key that two players derive from a room's code, so
// that the lobby and anyone else on it learn nothing of what they say and
// cannot forge it; and the randomness the codes and seals are drawn from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

using SealKey = std::array<unsigned char, 32>;

// What a code gives: the name its room goes by on the lobby, and the key.
// Neither says anything of the other.
struct CodeKeys {
    std::string topic;  // 32 hexadecimal digits
    SealKey key{};
};

// Deliberately slow (a memory-hard hash), since a code has only about 40
// bits: whoever sees the topic must pay that much for every code they try.
// The same code always gives the same keys, on every machine.
CodeKeys deriveCodeKeys(const std::string& code);

// Larger sealed messages are refused unopened.
constexpr std::size_t kMaxSealed = 8192;
// What sealing adds to a message: a random nonce and the authenticator.
constexpr std::size_t kSealOverhead = 24 + 16;

std::string seal(const SealKey& key, const std::string& plaintext);
// Nothing for anything not sealed with this key, altered, cut short or too long.
std::optional<std::string> openSealed(const SealKey& key, const std::string& sealed);

// Uniform in [0, upperBound), unbiased; 0 when upperBound is 0 or 1.
std::uint32_t secureRandomBelow(std::uint32_t upperBound);
std::string secureRandomBytes(std::size_t count);
