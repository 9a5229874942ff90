// Writing and reading a room's letters, and telling fresh ones from old.
#include "netplay/room_letters.h"

#include "runtime/bytes.h"
#include "runtime/net/seal.h"

namespace {

constexpr const char* kCutShort = "cut short";

bool printable(char c) { return c >= ' ' && c <= '~'; }

}  // namespace

RoomLetter newLetter(LetterKind kind, std::int64_t nowSeconds) {
    RoomLetter letter;
    letter.kind = kind;
    letter.id = secureRandomBytes(kLetterIdBytes);
    letter.sentAt = nowSeconds;
    return letter;
}

std::string writeLetter(const RoomLetter& letter) {
    ByteWriter w;
    w.u8(static_cast<std::uint32_t>(letter.kind));
    w.bytes += letter.id;
    w.u64(static_cast<std::uint64_t>(letter.sentAt));
    w.u32(letter.versions.protocol);
    w.u64(letter.versions.simulation);
    if (letter.kind == LetterKind::Presence) {
        w.u64(static_cast<std::uint64_t>(letter.createdAt));
        w.u64(static_cast<std::uint64_t>(letter.expiresAt));
        w.u8(static_cast<std::uint32_t>(letter.players));
        w.u8(static_cast<std::uint32_t>(letter.watchers));
        return w.bytes;
    }
    w.bytes += letter.joiner;
    w.u8(letter.kind == LetterKind::Join ? static_cast<std::uint32_t>(letter.role)
                                         : static_cast<std::uint32_t>(letter.answer));
    w.u16(static_cast<std::uint32_t>(letter.text.size()));
    w.bytes += letter.text;
    return w.bytes;
}

std::optional<RoomLetter> readLetter(const std::string& bytes) {
    ByteReader r(bytes, 0, kCutShort);
    RoomLetter letter;
    const std::uint32_t kind = r.u8();
    letter.id = r.take(kLetterIdBytes);
    const std::uint64_t sentAt = r.u64();
    letter.versions.protocol = r.u32();
    letter.versions.simulation = r.u64();
    if (!r.ok() || sentAt >= kLatestSeconds) return std::nullopt;
    letter.sentAt = static_cast<std::int64_t>(sentAt);
    if (kind == static_cast<std::uint32_t>(LetterKind::Presence)) {
        letter.kind = LetterKind::Presence;
        const std::uint64_t createdAt = r.u64(), expiresAt = r.u64();
        letter.players = static_cast<int>(r.u8());
        letter.watchers = static_cast<int>(r.u8());
        if (!r.ok() || r.left() != 0 || createdAt >= kLatestSeconds || expiresAt >= kLatestSeconds)
            return std::nullopt;
        letter.createdAt = static_cast<std::int64_t>(createdAt);
        letter.expiresAt = static_cast<std::int64_t>(expiresAt);
        return letter;
    }
    letter.joiner = r.take(kLetterIdBytes);
    const std::uint32_t how = r.u8();
    const std::uint32_t size = r.u16();
    if (!r.ok() || size != r.left() || size > kMaxDescription) return std::nullopt;
    letter.text = r.take(size);
    if (kind == static_cast<std::uint32_t>(LetterKind::Join)) {
        letter.kind = LetterKind::Join;
        if (how != static_cast<std::uint32_t>(RoomRole::Player) &&
            how != static_cast<std::uint32_t>(RoomRole::Watcher))
            return std::nullopt;
        letter.role = static_cast<RoomRole>(how);
        return letter;
    }
    if (kind != static_cast<std::uint32_t>(LetterKind::Answer)) return std::nullopt;
    letter.kind = LetterKind::Answer;
    switch (how) {
        case static_cast<std::uint32_t>(AnswerKind::Accepted):
            letter.answer = AnswerKind::Accepted;
            return letter;
        case static_cast<std::uint32_t>(AnswerKind::Full):
            letter.answer = AnswerKind::Full;
            return letter;
        case static_cast<std::uint32_t>(AnswerKind::Refused):
            if (size > kMaxReason) return std::nullopt;
            // Shown to the player: only what the font can draw.
            for (char& c : letter.text) {
                if (!printable(c)) c = '?';
            }
            letter.answer = AnswerKind::Refused;
            return letter;
        default:
            return std::nullopt;
    }
}

Freshness LetterMemory::take(const RoomLetter& letter, std::int64_t nowSeconds) {
    if (letter.sentAt < nowSeconds - kWindowSeconds || letter.sentAt > nowSeconds + kWindowSeconds)
        return Freshness::OutOfTime;
    if (ids.count(letter.id) > 0) return Freshness::Heard;
    ids.insert(letter.id);
    order.push_back(letter.id);
    if (order.size() > kRemembered) {
        ids.erase(order.front());
        order.pop_front();
    }
    return Freshness::Fresh;
}
