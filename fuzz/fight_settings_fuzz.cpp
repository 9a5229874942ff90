// libFuzzer harness for a fight played from a settings block and keys, as a
// recording or the other side of an online fight may bring them: whatever the
// settings, every frame's arithmetic stays defined (the sanitizers abort on
// anything undefined) and the fight stops within its frames. Input: 12 settings
// (little-endian int32, prefs.fwk's order without full screen), a mode byte,
// a level byte, then two bytes of held keys per frame, used round and round.
// tools/fuzz.sh builds and runs it.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "app/match_loop.h"
#include "persist/settings_table.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/pads.h"
#include "runtime/platform/headless.h"
#include "runtime/presentation.h"

namespace {

constexpr int kFrames = 300;
constexpr std::size_t kHeader = 4 * (kSettingCount - 1) + 2;

// The first byte of a frame's two holds the players' keys, one a bit. The
// second holds Enter and Space in its low bits; the keys that end a fight or
// go limp take several bits together, so that most inputs fight on.
constexpr int kPlayerKeys[] = {KeyUp, KeyDown, KeyLeft, KeyRight, KeyW, KeyS, KeyA, KeyD};

void holdFrameKeys(std::uint8_t players, std::uint8_t others) {
    for (std::size_t k = 0; k < std::size(kPlayerKeys); ++k)
        holdKey(kPlayerKeys[k], ((players >> k) & 1u) != 0);
    holdKey(KeyEnter, (others & 0x01u) != 0);
    holdKey(KeySpace, (others & 0x02u) != 0);
    const bool limp = (others & 0x0Cu) == 0x0Cu;  // every body's constraints off
    holdKey(Key2, limp);
    holdKey(Key5, limp);
    const bool knockout = (others & 0x70u) == 0x70u;  // all but player 1 fall
    holdKey(Key7, knockout);
    holdKey(Key9, knockout);
    holdKey(KeyEscape, others == 0xFFu);
}

int readInt32(const std::uint8_t* p) {
    const std::uint32_t u = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                            std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    return static_cast<int>(u);
}

void openHeadless() {
    static HeadlessPlatform platform;
    setPlatform(&platform);
    openDisplay(1024, 768, 0, 60);
    allowSaving(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    static const bool opened = (openHeadless(), true);
    (void)opened;
    const Unseen unseen;
    resetInput();
    seedRandom(7);

    auto game = std::make_unique<gameapp>();
    gameapp& g = *game;
    g.setDefaultSettings();
    g.fillDefaultScores();
    const std::uint8_t* p = data;
    for (const Setting& s : kSettings) {
        if (s.field == &gameapp::fullscreen) continue;
        g.*s.field = readInt32(p);
        p += 4;
    }
    const char* modes[] = {kModeOnePlayer, kModeVersus, kModeCoop};
    g.mode = modes[p[0] % 3];
    g.level = p[1] % 22;  // 0 and 21 lie outside the table, and are held to it
    const std::uint8_t* keys = data + kHeader;
    const std::size_t keyBytes = (size - kHeader) / 2 * 2;

    g.setUpFight();
    setFightKeys(true);
    int frame = 0;
    for (; frame < kFrames && g.matchState != kStateEnd; ++frame) {
        if (keyBytes > 0) {
            const std::size_t at = static_cast<std::size_t>(frame) * 2 % keyBytes;
            holdFrameKeys(keys[at], keys[at + 1]);
        }
        playFightFrame(g);
    }
    setFightKeys(false);
    return 0;
}
