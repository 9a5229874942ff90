// The real game in the real window with its clock running four times as fast:
// every screen and fight plays as the player's game does, only sooner. The
// whole-game window test plays its twenty levels through it.
#include <cstdint>

#include "app/gameapp.h"
#include "runtime/platform/sdl_platform.h"
#include "tools/forwarding_platform.h"

namespace {

constexpr int kSpeed = 4;

// Game time runs kSpeed times as fast as the real clock from the moment this
// platform is made; sleeps shrink to match, so the frame limiter asks for
// four times the frames and gets as many as the window can draw.
class FastClock : public ForwardingPlatform {
  public:
    explicit FastClock(Platform& real)
        : ForwardingPlatform(real),
          startMillis_(real.clockMillis()),
          startMicros_(real.clockMicros()) {}

    std::uint32_t clockMillis() override {
        return startMillis_ + (real_.clockMillis() - startMillis_) * kSpeed;
    }
    void sleepMillis(int ms) override { real_.sleepMillis(ms / kSpeed); }
    std::int64_t clockMicros() override {
        return startMicros_ + (real_.clockMicros() - startMicros_) * kSpeed;
    }
    void sleepUntilMicros(std::int64_t deadline) override {
        real_.sleepUntilMicros(startMicros_ + (deadline - startMicros_) / kSpeed);
    }

  private:
    std::uint32_t startMillis_;
    std::int64_t startMicros_;
};

}  // namespace

int main() {
    static FastClock fast(sdlPlatform());
    setPlatform(&fast);
    playFlailwick();
}
