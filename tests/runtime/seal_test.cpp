// Keys from a room's code and the seals made with them.
#include <gtest/gtest.h>

#include "runtime/net/seal.h"

namespace {

std::string bytes(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

TEST(Seal, ACodeGivesTheSameKeysOnEveryMachineAndAnotherCodeOthers) {
    const CodeKeys keys = deriveCodeKeys("K7QF-M2XD");
    // Games that derive other keys from a code never meet: these may not change.
    EXPECT_EQ(keys.topic, "abcf41fdb5fe6e1d769ff514243a987e");
    EXPECT_EQ(openSealed(keys.key, bytes("24dcf3d01e9be093b542e0da5739c8b6b4db4055019dbeb3"
                                         "3d011bb6f18e694053b4e3d44278f68414f6d113")),
              "K7QF");
    const CodeKeys other = deriveCodeKeys("K7QF-M2XE");
    EXPECT_NE(other.topic, keys.topic);
    EXPECT_NE(other.key, keys.key);
}

TEST(Seal, OnlyTheKeyOpensAWholeSealOfABoundedSize) {
    const SealKey key = deriveCodeKeys("K7QF-M2XD").key;
    const SealKey other = deriveCodeKeys("K7QF-M2XE").key;
    const std::string sealed = seal(key, "details");
    EXPECT_NE(sealed, seal(key, "details"));
    EXPECT_EQ(openSealed(key, sealed), "details");
    EXPECT_FALSE(openSealed(other, sealed));
    EXPECT_FALSE(openSealed(key, sealed.substr(0, sealed.size() - 1)));
    EXPECT_FALSE(openSealed(key, sealed.substr(0, kSealOverhead - 1)));
    std::string flipped = sealed;
    flipped[kSealOverhead] ^= 1;
    EXPECT_FALSE(openSealed(key, flipped));
    const std::string largest(kMaxSealed - kSealOverhead, 'a');
    EXPECT_TRUE(openSealed(key, seal(key, largest)));
    EXPECT_FALSE(openSealed(key, seal(key, largest + "a")));
}

}  // namespace
