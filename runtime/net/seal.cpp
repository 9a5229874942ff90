// Sealing and key derivation with libsodium, the only file that includes it.
#include "runtime/net/seal.h"

#include <sodium.h>

#include <cstdlib>

namespace {

// Fixed for ever: changing any of these gives every code other keys, so
// games before and after the change could no longer meet.
constexpr char kCodeSalt[crypto_pwhash_SALTBYTES + 1] = "flailwick rooms1";
constexpr unsigned long long kCodeHashPasses = 2;
constexpr std::size_t kCodeHashMemory = std::size_t{16} << 20;
constexpr char kKeyContext[crypto_kdf_CONTEXTBYTES + 1] = "FWROOM01";
constexpr std::uint64_t kTopicSubkey = 1;
constexpr std::uint64_t kSealSubkey = 2;
constexpr std::size_t kTopicBytes = 16;

static_assert(kSealOverhead == crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES);
static_assert(sizeof(SealKey) == crypto_secretbox_KEYBYTES);

void ensureSodium() {
    static const bool ready = sodium_init() >= 0;
    // Without it nothing can be sealed safely; it fails only when the system
    // has no source of randomness at all.
    if (!ready) std::abort();
}

std::string hexText(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

}  // namespace

CodeKeys deriveCodeKeys(const std::string& code) {
    ensureSodium();
    unsigned char master[crypto_kdf_KEYBYTES];
    if (crypto_pwhash(master, sizeof master, code.data(), code.size(),
                      reinterpret_cast<const unsigned char*>(kCodeSalt), kCodeHashPasses,
                      kCodeHashMemory, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        // Only when 64 MiB cannot be had; the game could not run a room either.
        std::abort();
    }
    CodeKeys keys;
    unsigned char topic[kTopicBytes];
    crypto_kdf_derive_from_key(topic, sizeof topic, kTopicSubkey, kKeyContext, master);
    crypto_kdf_derive_from_key(keys.key.data(), keys.key.size(), kSealSubkey, kKeyContext, master);
    keys.topic = hexText(topic, sizeof topic);
    sodium_memzero(master, sizeof master);
    return keys;
}

std::string seal(const SealKey& key, const std::string& plaintext) {
    ensureSodium();
    std::string sealed(kSealOverhead + plaintext.size(), '\0');
    auto* out = reinterpret_cast<unsigned char*>(sealed.data());
    randombytes_buf(out, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(out + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(plaintext.data()),
                          plaintext.size(), out, key.data());
    return sealed;
}

std::optional<std::string> openSealed(const SealKey& key, const std::string& sealed) {
    if (sealed.size() < kSealOverhead || sealed.size() > kMaxSealed) return std::nullopt;
    ensureSodium();
    const auto* in = reinterpret_cast<const unsigned char*>(sealed.data());
    std::string plaintext(sealed.size() - kSealOverhead, '\0');
    if (crypto_secretbox_open_easy(
            reinterpret_cast<unsigned char*>(plaintext.data()), in + crypto_secretbox_NONCEBYTES,
            sealed.size() - crypto_secretbox_NONCEBYTES, in, key.data()) != 0) {
        return std::nullopt;
    }
    return plaintext;
}

std::uint32_t secureRandomBelow(std::uint32_t upperBound) {
    if (upperBound < 2) return 0;
    ensureSodium();
    return randombytes_uniform(upperBound);
}

std::string secureRandomBytes(std::size_t count) {
    ensureSodium();
    std::string bytes(count, '\0');
    randombytes_buf(bytes.data(), count);
    return bytes;
}
