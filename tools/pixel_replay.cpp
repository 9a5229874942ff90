// The pixel test of batched drawing. Records frames of the game on the headless
// platform (the title, the main menu, the controls screen, and fights of six
// and of three with blood and sparks), then draws each through the real OpenGL
// drawing twice: as the game drew before batching (one call per primitive,
// mipmaps built by the driver) and batched. The pixels read back must be the
// same, byte for byte. Needs a display; Xvfb will do.
//   flailwick_pixel_replay [dir]   also writes each batched frame to dir/<name>.ppm
//   flailwick_pixel_replay --time  instead times drawing each frame both ways,
//                                  in CPU milliseconds (the renderer's threads included)
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "app/match_loop.h"
#include "body/man.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/platform/sdl_platform.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

struct Recorded {
    std::string name;
    std::vector<Primitive> primitives;
    std::vector<float> coords;
};

// Keeps the frames presented under the numbers asked for.
class Recorder {
  public:
    explicit Recorder(HeadlessPlatform& headless) : headless_(headless) {
        headless_.onPresent([this](int frame) {
            const auto wanted = names_.find(frame);
            if (wanted == names_.end()) return;
            const std::vector<Primitive>& last = headless_.lastFrame();
            frames.push_back(Recorded{wanted->second, last, headless_.coords(last)});
        });
    }
    void keep(int frame, const std::string& name) { names_[frame] = name; }

    std::vector<Recorded> frames;

  private:
    HeadlessPlatform& headless_;
    std::map<int, std::string> names_;
};

// The title, the menu and the controls screen, as a player meets them.
void recordScreens(HeadlessPlatform& headless, Recorder& recorder) {
    // The display opens with two black frames and three in step.
    recorder.keep(8, "title");
    headless.pressAt(12, KeySpace);
    recorder.keep(40, "menu");
    headless.pressAt(45, KeyDown);
    headless.pressAt(50, KeyDown);
    headless.pressAt(55, KeyEnter);
    recorder.keep(80, "controls");
    headless.closeWindowAt(85);
    try {
        runFlailwick();
    } catch (const HeadlessExit&) {
        // The window closed as scripted.
    }
}

// A fight of six at `level` in co-op, with both players pushing, then bursts
// of blood and sparks thrown from fighters' heads a few frames before the
// recorded frame.
void recordFight(HeadlessPlatform& headless, Recorder& recorder, int level,
                 const std::string& name) {
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    game->media.spark = loadImage("incbin::spark.png");
    game->mode = kModeCoop;
    game->level = level;
    game->setUpFight();
    onKeyDown(KeyRight, false);
    onKeyDown(KeyW, false);
    for (int i = 0; i < 150; ++i)
        playFightFrame(*game);
    // Blood from every head and sparks from every first point, two frames
    // apart, so that bursts of one colour are drawn at different opacities.
    for (int i = 1; i <= game->fighterCount; ++i) {
        const man& f = game->fighters[i];
        const ball& head = f.points[kHead];
        game->bursts[i].spawn(head.x, head.y, 0.0f, -2.0f, 51, 0, 6.0f, game.get(), f.robot);
        game->bursts[i + 6].spawn(f.points[1].x, f.points[1].y, 2.0f, -1.0f, 6, 1, 3.0f, game.get(),
                                  0);
        playFightFrame(*game);
        playFightFrame(*game);
    }
    for (int i = 0; i < 6; ++i)
        playFightFrame(*game);
    recorder.keep(headless.framesPresented() + 1, name);
    playFightFrame(*game);
    onKeyUp(KeyRight);
    onKeyUp(KeyW);
}

// The headless textures uploaded to the real display, in the current way.
std::vector<TextureId> uploadTextures(const HeadlessPlatform& headless) {
    std::vector<TextureId> ids(1, 0);
    for (TextureId id = 1; headless.texture(id).width > 0; ++id) {
        const HeadlessPlatform::Texture& t = headless.texture(id);
        ids.push_back(sdlPlatform().uploadTexture(t.width, t.height, t.rgba.data(), t.smooth));
    }
    return ids;
}

// Draws the frame and presents it as the frame limiter does; the pixels are
// read back first when asked for.
std::vector<std::uint8_t> draw(const Recorded& frame, const std::vector<TextureId>& textures,
                               bool readBack = true) {
    Platform& gl = sdlPlatform();
    float lineWidth = -1.0f;
    for (const Primitive& p : frame.primitives) {
        if (p.lineWidth != lineWidth) {
            lineWidth = p.lineWidth;
            gl.setLineWidth(lineWidth);
        }
        const float* v = frame.coords.data() + 2 * p.first;
        switch (p.kind) {
            case Primitive::Clear:
                gl.clear(p.paint.r, p.paint.g, p.paint.b);
                break;
            case Primitive::Point:
                gl.drawPoint(v[0], v[1], p.paint);
                break;
            case Primitive::Line:
                gl.drawLine(v[0], v[1], v[2], v[3], p.paint);
                break;
            case Primitive::Polygon:
                gl.drawPolygon(v, p.count, p.paint);
                break;
            case Primitive::Texture:
                gl.drawTexturedQuad(textures[static_cast<std::size_t>(p.texture)], p.x, p.y, p.w,
                                    p.h, p.paint);
                break;
        }
    }
    std::vector<std::uint8_t> pixels;
    if (readBack) pixels = readSdlPixels(kWidth, kHeight);
    gl.finishDrawing();
    gl.swapBuffers();
    return pixels;
}

void writePpm(const std::string& path, const std::vector<std::uint8_t>& rgba) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x)
            std::fwrite(&rgba[(static_cast<std::size_t>(y) * kWidth + x) * 4], 1, 3, f);
    }
    std::fclose(f);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Rounds of each way in turn, so that load from elsewhere falls on both; the
// quickest round is the least disturbed.
void timeFrames(const std::vector<Recorded>& frames, const std::vector<TextureId>& before,
                const std::vector<TextureId>& batched) {
    constexpr int kRounds = 10;
    constexpr int kDraws = 60;
    for (const Recorded& frame : frames) {
        double best[2] = {1e9, 1e9};
        for (int round = 0; round < kRounds; ++round) {
            for (int way = 0; way < 2; ++way) {
                setSdlReferenceDrawing(way == 0);
                const double start = cpuSeconds();
                for (int i = 0; i < kDraws; ++i)
                    draw(frame, way == 0 ? before : batched, false);
                best[way] = std::min(best[way], (cpuSeconds() - start) * 1000.0 / kDraws);
            }
        }
        std::printf("%s: %.2f ms of CPU a frame one call per primitive, %.2f ms batched\n",
                    frame.name.c_str(), best[0], best[1]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    seedRandom(1);
    Recorder recorder(headless);
    recordScreens(headless, recorder);
    recordFight(headless, recorder, 9, "fight");
    recordFight(headless, recorder, 19, "robots");
    recordFight(headless, recorder, 1, "co-op");
    if (recorder.frames.size() != 6) {
        std::fprintf(stderr, "recorded %zu frames instead of 6\n", recorder.frames.size());
        return 1;
    }

    setPlatform(&sdlPlatform());
    if (!sdlPlatform().openWindow(kWidth, kHeight, 0, 60)) return 1;
    sdlPlatform().setSwapInterval(0);
    setSdlReferenceDrawing(true);
    const std::vector<TextureId> before = uploadTextures(headless);
    setSdlReferenceDrawing(false);
    const std::vector<TextureId> batched = uploadTextures(headless);
    if (argc > 1 && std::string(argv[1]) == "--time") {
        timeFrames(recorder.frames, before, batched);
        sdlPlatform().exitProcess(0);
    }

    int differing = 0;
    for (const Recorded& frame : recorder.frames) {
        setSdlReferenceDrawing(true);
        const std::vector<std::uint8_t> want = draw(frame, before);
        setSdlReferenceDrawing(false);
        const std::vector<std::uint8_t> got = draw(frame, batched);
        if (want.size() != got.size() || want.empty()) return 1;
        int pixels = 0;
        int worst = 0;
        for (std::size_t i = 0; i < want.size(); i += 4) {
            int most = 0;
            for (std::size_t c = 0; c < 3; ++c)
                most = maxInt(most, want[i + c] > got[i + c] ? want[i + c] - got[i + c]
                                                             : got[i + c] - want[i + c]);
            if (most > 0) ++pixels;
            worst = maxInt(worst, most);
        }
        std::printf("%s: %zu primitives, ", frame.name.c_str(), frame.primitives.size());
        if (pixels == 0) {
            std::printf("the same pixels\n");
        } else {
            std::printf("%d pixels differ, by up to %d\n", pixels, worst);
            ++differing;
        }
        if (argc > 1) writePpm(std::string(argv[1]) + "/" + frame.name + ".ppm", got);
    }
    std::fflush(stdout);
    sdlPlatform().exitProcess(differing == 0 ? 0 : 1);
}
