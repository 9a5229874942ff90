// libFuzzer harness for the keys message: whatever the bytes, decoding
// refuses them or gives a message that encodes and decodes to itself, and a
// rollback session that takes it keeps its arithmetic defined for as many
// display frames as the other side could make it wait. tools/fuzz.sh builds
// and runs it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "netplay/keys_message.h"
#include "netplay/rollback.h"

namespace {

// A fight that is nothing but its frame count: the session's own arithmetic
// is what is fuzzed.
class CountedGame : public SteppedGame {
  public:
    void save(int slot) override { kept_[static_cast<std::size_t>(slot)] = frames_; }
    void load(int slot) override { frames_ = kept_[static_cast<std::size_t>(slot)]; }
    void advance(FrameKeys one, FrameKeys two, bool) override {
        frames_ = frames_ * 31 + one + two;
    }
    std::uint64_t hash() override { return frames_; }
    StateParts parts() override { return {frames_}; }

  private:
    std::uint64_t frames_ = 0;
    std::uint64_t kept_[kSnapshotSlots] = {};
};

bool same(const KeysMessage& a, const KeysMessage& b) {
    return a.firstFrame == b.firstFrame && a.count == b.count && a.keys == b.keys &&
           a.received == b.received && a.frame == b.frame && a.advantage == b.advantage &&
           a.hashFrame == b.hashFrame && a.hash == b.hash;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    KeysMessage m;
    if (!decodeKeysMessage(bytes, m)) return 0;
    KeysMessage again;
    if (!decodeKeysMessage(encodeKeysMessage(m), again) || !same(m, again)) std::abort();
    CountedGame game;
    RollbackSession session(2, 2, game);
    for (int tick = 0; tick < 40; ++tick) {
        session.receive(m);
        session.setLocalKeys(static_cast<std::uint8_t>(tick));
        session.tick();
        session.outgoing();
    }
    return 0;
}
