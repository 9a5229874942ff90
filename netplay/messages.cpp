// Writing and reading the messages that must arrive.
#include "netplay/messages.h"

#include <algorithm>

#include "fight/simulation_version.h"
#include "netplay/keys_message.h"
#include "replay/format.h"
#include "runtime/bytes.h"
#include "runtime/net/link.h"

// The largest welcome, its table's names at their longest, fits one datagram
// with the protocol's header.
static_assert(1 + 4 + 8 + 4 * kSeriesSettings + 4 + 1 + kTableRows * (1 + kMaxTableName + 8) <=
              kMaxDatagram - 8);

namespace {

constexpr const char* kCutShort = "cut short";

ByteWriter tagged(MessageTag tag) {
    ByteWriter w;
    w.u8(static_cast<std::uint32_t>(tag));
    return w;
}

void writeVersions(ByteWriter& w, const Versions& v) {
    w.u32(v.protocol);
    w.u64(v.simulation);
}

void readVersions(ByteReader& r, Versions& v) {
    v.protocol = r.u32();
    v.simulation = r.u64();
}

bool opens(const std::string& m, MessageTag tag) {
    return !m.empty() && m[0] == static_cast<char>(tag);
}

bool printable(char c) { return c >= ' ' && c <= '~'; }

std::string versionText(const Versions& v) {
    return std::to_string(v.protocol) + "/" + hashText(v.simulation);
}

}  // namespace

std::string helloMessage(const Versions& v) {
    ByteWriter w = tagged(MessageHello);
    writeVersions(w, v);
    return w.bytes;
}

std::string welcomeMessage(const Versions& v, const SeriesStart& start) {
    ByteWriter w = tagged(MessageWelcome);
    writeVersions(w, v);
    for (int s : start.settings)
        w.i32(s);
    w.i32(start.seed);
    w.u8(start.coop ? 1 : 0);
    for (const TableRow& row : start.table) {
        const TableRow sent = travellingRow(row.name, row.score);
        w.varint(static_cast<std::uint32_t>(sent.name.size()));
        w.bytes += sent.name;
        w.u64(static_cast<std::uint64_t>(sent.score));
    }
    return w.bytes;
}

TableRow travellingRow(const std::string& name, std::int64_t score) {
    TableRow row{name.substr(0, kMaxTableName), score};
    for (char& c : row.name) {
        if (!printable(c)) c = '?';
    }
    return row;
}

std::string refusedMessage(const Refusal& r) {
    ByteWriter w = tagged(MessageRefused);
    writeVersions(w, r.versions);
    const std::string reason = r.reason.substr(0, kMaxReason);
    w.varint(static_cast<std::uint32_t>(reason.size()));
    return w.bytes + reason;
}

std::string readyMessage() { return std::string(1, MessageReady); }
std::string goodbyeMessage() { return std::string(1, MessageGoodbye); }

std::string pauseMessage(const PauseRequest& p) {
    ByteWriter w = tagged(MessagePause);
    w.u8(p.paused ? 1 : 0);
    w.varint(static_cast<std::uint32_t>(p.frame));
    w.varint(p.turn);
    w.u8(static_cast<std::uint32_t>(p.side));
    return w.bytes;
}

std::string partsMessage(int frame, const StateParts& parts) {
    ByteWriter w = tagged(MessageParts);
    w.varint(static_cast<std::uint32_t>(frame));
    for (std::uint64_t h : parts)
        w.u64(h);
    return w.bytes;
}

bool readHello(const std::string& m, Versions& out) {
    if (!opens(m, MessageHello)) return false;
    ByteReader r(m, 1, kCutShort);
    readVersions(r, out);
    return r.ok() && r.left() == 0;
}

bool readWelcome(const std::string& m, Versions& versions, SeriesStart& out) {
    if (!opens(m, MessageWelcome)) return false;
    ByteReader r(m, 1, kCutShort);
    readVersions(r, versions);
    for (int& s : out.settings)
        s = r.i32();
    out.seed = r.i32();
    const std::uint32_t coop = r.u8();
    if (!r.ok() || coop > 1) return false;
    out.coop = coop == 1;
    for (TableRow& row : out.table) {
        const std::uint32_t size = r.varint("damaged");
        if (!r.ok() || size > kMaxTableName || size > r.left()) return false;
        row.name = r.take(size);
        row.score = static_cast<std::int64_t>(r.u64());
        for (char c : row.name) {
            if (!printable(c)) return false;
        }
    }
    return r.ok() && r.left() == 0;
}

bool readRefused(const std::string& m, Refusal& out) {
    if (!opens(m, MessageRefused)) return false;
    ByteReader r(m, 1, kCutShort);
    readVersions(r, out.versions);
    const std::uint32_t size = r.varint("damaged");
    if (!r.ok() || size > kMaxReason || size != r.left()) return false;
    out.reason = r.take(size);
    // Shown in the window: only what the font can draw.
    for (char& c : out.reason) {
        if (!printable(c)) c = '?';
    }
    return r.ok();
}

bool readPause(const std::string& m, PauseRequest& out) {
    if (!opens(m, MessagePause)) return false;
    ByteReader r(m, 1, kCutShort);
    const std::uint32_t paused = r.u8();
    const std::uint32_t frame = r.varint("damaged");
    out.turn = r.varint("damaged");
    const std::uint32_t side = r.u8();
    if (!r.ok() || r.left() != 0 || paused > 1 || frame > static_cast<std::uint32_t>(kMaxFrame) ||
        (side != 1 && side != 2))
        return false;
    out.paused = paused == 1;
    out.frame = static_cast<int>(frame);
    out.side = static_cast<int>(side);
    return true;
}

bool readParts(const std::string& m, int& frame, StateParts& out) {
    if (!opens(m, MessageParts)) return false;
    ByteReader r(m, 1, kCutShort);
    const std::uint32_t f = r.varint("damaged");
    for (std::uint64_t& h : out)
        h = r.u64();
    if (!r.ok() || r.left() != 0 || f > static_cast<std::uint32_t>(kMaxFrame)) return false;
    frame = static_cast<int>(f);
    return true;
}

std::string watchMessage(const Versions& v) {
    ByteWriter w = tagged(MessageWatch);
    writeVersions(w, v);
    return w.bytes;
}

bool readWatch(const std::string& m, Versions& out) {
    if (!opens(m, MessageWatch)) return false;
    ByteReader r(m, 1, kCutShort);
    readVersions(r, out);
    return r.ok() && r.left() == 0;
}

// Two bytes a frame, and the typed characters only in a stretch that has any.
std::string framesMessage(const FeedFrames& f) {
    ByteWriter w = tagged(MessageFrames);
    const int count = std::clamp(f.count, 0, kFeedChunk);
    bool typed = false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i)
        typed = typed || typedIn(f.one[i]) != 0 || typedIn(f.two[i]) != 0;
    w.varint(static_cast<std::uint32_t>(f.first));
    w.varint(static_cast<std::uint32_t>(std::max(0, f.confirmed - f.first - count)));
    w.u8(static_cast<std::uint32_t>(count) | (typed ? 0x80u : 0u));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        w.u8(f.one[i] & kFrameKeyBits);
        w.u8(f.two[i] & kFrameKeyBits);
        if (typed) {
            w.u8(static_cast<std::uint32_t>(typedIn(f.one[i])));
            w.u8(static_cast<std::uint32_t>(typedIn(f.two[i])));
        }
    }
    return w.bytes;
}

bool readFrames(const std::string& m, FeedFrames& out) {
    if (!opens(m, MessageFrames)) return false;
    ByteReader r(m, 1, kCutShort);
    const std::uint32_t first = r.varint("damaged");
    const std::uint32_t beyond = r.varint("damaged");
    const std::uint32_t counted = r.u8();
    const std::uint32_t count = counted & 0x7Fu;
    const bool typed = (counted & 0x80u) != 0;
    const auto limit = static_cast<std::uint32_t>(kMaxFrame);
    if (!r.ok() || count > kFeedChunk || first > limit || beyond > limit ||
        first + count + beyond > limit)
        return false;
    FeedFrames f;
    f.first = static_cast<int>(first);
    f.count = static_cast<int>(count);
    f.confirmed = static_cast<int>(first + count + beyond);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t one = r.u8(), two = r.u8();
        const int typedOne = typed ? static_cast<int>(r.u8()) : 0;
        const int typedTwo = typed ? static_cast<int>(r.u8()) : 0;
        if (one > kFrameKeyBits || two > kFrameKeyBits || !typable(typedOne) || !typable(typedTwo))
            return false;
        f.one[i] = withTyped(static_cast<FrameKeys>(one), typedOne);
        f.two[i] = withTyped(static_cast<FrameKeys>(two), typedTwo);
    }
    if (!r.ok() || r.left() != 0) return false;
    out = f;
    return true;
}

std::string endedMessage(const FeedEnd& e) {
    ByteWriter w = tagged(MessageEnded);
    w.u8(static_cast<std::uint32_t>(e.how));
    w.varint(static_cast<std::uint32_t>(e.frame));
    return w.bytes;
}

bool readEnded(const std::string& m, FeedEnd& out) {
    if (!opens(m, MessageEnded)) return false;
    ByteReader r(m, 1, kCutShort);
    const std::uint32_t how = r.u8();
    const std::uint32_t frame = r.varint("damaged");
    if (!r.ok() || r.left() != 0 || how < 1 || how > 4 ||
        frame > static_cast<std::uint32_t>(kMaxFrame))
        return false;
    out = {static_cast<SeriesEnd>(how), static_cast<int>(frame)};
    return true;
}

std::string versionMismatch(const Versions& theirs) {
    const Versions ours{kOnlineProtocol, kSimulationVersion};
    if (theirs.protocol == ours.protocol && theirs.simulation == ours.simulation) return {};
    return "the other player's game is version " + versionText(theirs) + ", this one " +
           versionText(ours);
}
