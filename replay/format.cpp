// The byte layout of a recorded fight: little-endian fields, key events as
// variable-length poll steps, a CRC-32 of everything at the end.
#include "replay/format.h"
#include "app/game_texts.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

#include "fight/simulation_version.h"
#include "runtime/bytes.h"

namespace {

constexpr char kMagic[4] = {'F', 'W', 'R', 'P'};
constexpr int kNameLetters = 15;
constexpr std::size_t kMaxScoreRows = 20;
constexpr std::uint32_t kMaxFrames = (kMaxCheckpoints + 1) * kCheckpointFrames - 1;

class Writer : public ByteWriter {
  public:
    void text(const std::string& s) {
        const std::size_t n = s.size() < 255 ? s.size() : 255;
        u8(static_cast<std::uint32_t>(n));
        bytes.append(s, 0, n);
    }
};

class Reader : public ByteReader {
  public:
    Reader(const std::uint8_t* data, std::size_t size)
        : ByteReader(data, size, "the file is cut short") {}

    float f32(const char* what) {
        const std::uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) fail(std::string("its ") + what + " is not a number");
        return v;
    }
    std::string text() { return take(u8()); }
    // A count read from the file, refused when its items cannot all be there.
    std::uint32_t count(std::uint32_t max, std::size_t bytesEach) {
        const std::uint32_t n = u32();
        if (n > max || n > left() / bytesEach) fail("a count is larger than the file");
        return ok() ? n : 0;
    }
    int ranged(const char* what, int min, int max) {
        const int v = i32();
        if (v < min || v > max) fail(std::string("its ") + what + " is out of range");
        return v;
    }
};

int modeCode(const std::string& mode) {
    if (mode == kModeVersus) return 2;
    if (mode == kModeCoop) return 3;
    return 1;
}

bool keyEvent(InputEventKind kind) {
    return kind == InputEventKind::KeyDown || kind == InputEventKind::KeyUp ||
           kind == InputEventKind::PadDown || kind == InputEventKind::PadUp;
}

void writeStart(Writer& w, const FightStart& s) {
    w.u8(static_cast<std::uint32_t>(modeCode(s.mode)));
    w.i32(s.level);
    for (int v : s.settings)
        w.i32(v);
    w.i32(s.randomState);
    w.u64(static_cast<std::uint64_t>(s.totalScore));
    w.i32(s.wins[1]);
    w.i32(s.wins[2]);
    for (int v : {s.stateStartFrame, s.nameCursor, s.burstSlot, s.paletteRows, s.messageTimer})
        w.i32(v);
    for (float v : {s.cameraX, s.cameraY, s.zoom, s.slowMotionTimer})
        w.f32(v);
    for (const auto& matrix : s.cooldowns)
        for (const auto& row : matrix)
            for (std::int8_t v : row)
                w.u8(static_cast<std::uint8_t>(v));
    for (int r = 1; r <= 6; ++r) {
        for (int c = 1; c <= 3; ++c) {
            w.u16(static_cast<std::uint16_t>(s.palette[r][c]));
            w.u8(static_cast<std::uint8_t>(s.paletteStep[r][c]));
        }
    }
    w.text(s.message);
    w.text(s.playerName);
    for (int i = 1; i <= kNameLetters; ++i)
        w.text(s.nameChars[i]);
    const std::size_t rows =
        s.highScores.size() < kMaxScoreRows ? s.highScores.size() : kMaxScoreRows;
    w.u8(static_cast<std::uint32_t>(rows));
    for (std::size_t i = 0; i < rows; ++i) {
        w.u64(static_cast<std::uint64_t>(s.highScores[i].score));
        w.text(s.highScores[i].name);
    }
}

void readStart(Reader& r, FightStart& s) {
    const std::uint32_t mode = r.u8();
    if (mode < 1 || mode > 3) r.fail("its mode is unknown");
    s.mode = mode == 2 ? kModeVersus : (mode == 3 ? kModeCoop : kModeOnePlayer);
    s.level = r.i32();
    for (int& v : s.settings)
        v = r.i32();
    s.randomState = r.ranged("random state", 1, 0x7FFFFFFE);
    s.totalScore = static_cast<std::int64_t>(r.u64());
    s.wins[1] = r.i32();
    s.wins[2] = r.i32();
    s.stateStartFrame = r.i32();
    s.nameCursor = r.ranged("name cursor", 1, kNameLetters + 1);
    s.burstSlot = r.ranged("burst slot", 1, 14);
    s.paletteRows = r.ranged("palette", 0, 6);
    s.messageTimer = r.i32();
    s.cameraX = r.f32("camera");
    s.cameraY = r.f32("camera");
    s.zoom = r.f32("zoom");
    s.slowMotionTimer = r.f32("slow motion");
    for (auto& matrix : s.cooldowns)
        for (auto& row : matrix)
            for (std::int8_t& v : row)
                v = static_cast<std::int8_t>(r.u8());
    for (int row = 1; row <= 6; ++row) {
        for (int c = 1; c <= 3; ++c) {
            s.palette[row][c] = static_cast<std::int16_t>(r.u16());
            s.paletteStep[row][c] = static_cast<std::int8_t>(r.u8());
        }
    }
    s.message = r.text();
    s.playerName = r.text();
    for (int i = 1; i <= kNameLetters; ++i)
        s.nameChars[i] = r.text();
    const std::uint32_t rows = r.u8();
    if (rows > kMaxScoreRows) r.fail("its score table is too long");
    for (std::uint32_t i = 0; i < rows && r.ok(); ++i) {
        ScoreEntry e;
        e.score = static_cast<std::int64_t>(r.u64());
        e.name = r.text();
        s.highScores.push_back(std::move(e));
    }
}

void writeInput(Writer& w, const InputLog& log) {
    const InputSnapshot& s = log.start;
    w.u8(static_cast<std::uint32_t>(s.held.size()));
    for (std::uint8_t c : s.held)
        w.u8(c);
    for (const auto* pairs : {&s.padHolds, &s.presses}) {
        w.u8(static_cast<std::uint32_t>(pairs->size()));
        for (const auto& [code, n] : *pairs) {
            w.u8(code);
            w.u8(n);
        }
    }
    w.u16(static_cast<std::uint32_t>(s.typed.size()));
    for (std::uint16_t c : s.typed)
        w.u16(c);
    w.u32(log.polls);
    w.u32(static_cast<std::uint32_t>(log.events.size()));
    std::uint32_t poll = 0;
    for (const InputEvent& e : log.events) {
        w.varint(e.poll - poll);
        poll = e.poll;
        w.u8(static_cast<std::uint32_t>(e.kind));
        if (keyEvent(e.kind)) w.u8(e.value);
        if (e.kind == InputEventKind::Char) w.u16(e.value);
    }
}

std::uint8_t readCode(Reader& r) {
    const std::uint32_t c = r.u8();
    if (c == 0) r.fail("a key code is out of range");
    return static_cast<std::uint8_t>(c);
}

void readInput(Reader& r, InputLog& log) {
    InputSnapshot& s = log.start;
    const std::uint32_t held = r.u8();
    for (std::uint32_t i = 0; i < held && r.ok(); ++i)
        s.held.push_back(readCode(r));
    for (auto* pairs : {&s.padHolds, &s.presses}) {
        const std::uint32_t n = r.u8();
        for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
            const std::uint8_t code = readCode(r);
            pairs->push_back({code, static_cast<std::uint8_t>(r.u8())});
        }
    }
    const std::uint32_t typed = r.u16();
    if (typed > 256) r.fail("too many typed characters");
    for (std::uint32_t i = 0; i < typed && r.ok(); ++i)
        s.typed.push_back(static_cast<std::uint16_t>(r.u16()));
    log.polls = r.u32();
    const std::uint32_t events = r.count(kMaxRecordedEvents, 2);
    log.events.reserve(events);
    std::uint32_t poll = 0;
    for (std::uint32_t i = 0; i < events && r.ok(); ++i) {
        const std::uint32_t step = r.varint("a key event is damaged");
        if (step > log.polls - poll) r.fail("a key event comes after the end");
        poll += step;
        const std::uint32_t kind = r.u8();
        InputEvent e{poll, static_cast<InputEventKind>(kind), 0};
        if (kind < 1 || kind > static_cast<std::uint32_t>(InputEventKind::FocusLost)) {
            r.fail("a key event is of an unknown kind");
        } else if (keyEvent(e.kind)) {
            e.value = readCode(r);
        } else if (e.kind == InputEventKind::Char) {
            e.value = static_cast<std::uint16_t>(r.u16());
        }
        log.events.push_back(e);
    }
}

std::uint32_t checksum(const std::uint8_t* bytes, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(0L, bytes, static_cast<uInt>(size)));
}

}  // namespace

std::string hashText(std::uint64_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4)
        s[static_cast<std::size_t>(i)] = digits[v & 0xFu];
    return s;
}

std::string encodeReplay(const Replay& replay) {
    Writer w;
    w.bytes.append(kMagic, sizeof kMagic);
    w.u16(kReplayFormat);
    w.u64(replay.simulation);
    writeStart(w, replay.start);
    writeInput(w, replay.input);
    w.u32(static_cast<std::uint32_t>(replay.frames));
    w.u32(static_cast<std::uint32_t>(replay.checkpoints.size()));
    for (std::uint64_t h : replay.checkpoints)
        w.u64(h);
    w.i32(replay.result);
    w.i32(replay.roundState);
    w.u64(replay.finalHash);
    w.u32(checksum(reinterpret_cast<const std::uint8_t*>(w.bytes.data()), w.bytes.size()));
    return w.bytes;
}

std::string decodeReplay(const std::uint8_t* bytes, std::size_t size, Replay& out) {
    out = Replay{};
    if (size > kMaxReplayBytes) return "it is far too large to be a replay";
    if (size < sizeof kMagic || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        return "it is not a Flailwick replay";
    Reader header(bytes + sizeof kMagic, size - sizeof kMagic);
    const std::uint32_t format = header.u16();
    const std::uint64_t simulation = header.u64();
    if (!header.ok()) return "the file is cut short";
    if (format != kReplayFormat) {
        return "it is of replay format " + std::to_string(format) + ", this game reads format " +
               std::to_string(kReplayFormat);
    }
    if (simulation != kSimulationVersion) {
        return "it was recorded by simulation " + hashText(simulation) +
               ", this game is simulation " + hashText(kSimulationVersion);
    }
    if (size < sizeof kMagic + 14 + 4) return "the file is cut short";
    Reader tail(bytes + size - 4, 4);
    if (tail.u32() != checksum(bytes, size - 4))
        return "it is damaged (its checksum does not match)";

    Reader r(bytes + sizeof kMagic + 10, size - sizeof kMagic - 10 - 4);
    out.simulation = simulation;
    readStart(r, out.start);
    readInput(r, out.input);
    const std::uint32_t frames = r.u32();
    if (frames > kMaxFrames) r.fail("its length is out of range");
    out.frames = static_cast<int>(frames);
    const std::uint32_t checkpoints = r.count(kMaxCheckpoints, 8);
    if (r.ok() && checkpoints != frames / kCheckpointFrames)
        r.fail("its checkpoints do not match its length");
    out.checkpoints.reserve(checkpoints);
    for (std::uint32_t i = 0; i < checkpoints && r.ok(); ++i)
        out.checkpoints.push_back(r.u64());
    out.result = r.ranged("result", kResultCut, 3);
    out.roundState = r.ranged("outcome", 0, 2);
    out.finalHash = r.u64();
    if (r.ok() && r.left() != 0) r.fail("it has bytes after its end");
    if (!r.ok()) {
        out = Replay{};
        return "it is damaged (" + r.error + ")";
    }
    return {};
}
