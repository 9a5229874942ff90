// Making, reading and explaining room codes.
#include "netplay/room_code.h"

#include "runtime/net/seal.h"

namespace {

// Longer input is no code, and is not read further.
constexpr std::size_t kMaxTyped = 64;
constexpr std::size_t kGroup = kRoomCodeLength / 2;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool inAlphabet(char c) { return kRoomCodeAlphabet.find(upper(c)) != std::string_view::npos; }
bool separator(char c) { return c == '-' || c == ' '; }

std::string grouped(const std::string& bare) {
    return bare.substr(0, kGroup) + "-" + bare.substr(kGroup);
}

}  // namespace

std::string makeRoomCode() {
    std::string bare;
    for (std::size_t i = 0; i < kRoomCodeLength; ++i) {
        bare += kRoomCodeAlphabet[secureRandomBelow(kRoomCodeAlphabet.size())];
    }
    return grouped(bare);
}

std::optional<std::string> normalRoomCode(const std::string& typed) {
    if (typed.size() > kMaxTyped) return std::nullopt;
    std::string bare;
    for (char c : typed) {
        if (separator(c)) continue;
        if (!inAlphabet(c) || bare.size() == kRoomCodeLength) return std::nullopt;
        bare += upper(c);
    }
    if (bare.size() != kRoomCodeLength) return std::nullopt;
    return grouped(bare);
}

std::string roomCodeProblem(const std::string& typed) {
    if (normalRoomCode(typed)) return {};
    for (char c : typed.substr(0, kMaxTyped)) {
        if (separator(c) || inAlphabet(c)) continue;
        if (std::string_view("0Oo1IiLl").find(c) != std::string_view::npos) {
            return std::string(1, c) + " is not in room codes: they have no 0, O, 1, I or L";
        }
        return "A room code has only letters and digits, like K7QF-M2XD";
    }
    return "A room code has 8 letters and digits, like K7QF-M2XD";
}

bool looksLikeRoomCode(const std::string& text) {
    if (!normalRoomCode(text) || text.find_first_of(".:") != std::string::npos) return false;
    // No host name has a space in it.
    if (text.size() == kRoomCodeLength || text.find(' ') != std::string::npos) return true;
    return text.size() == kRoomCodeLength + 1 && text[kGroup] == '-';
}
