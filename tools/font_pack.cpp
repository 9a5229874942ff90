// Packs the ASCII-art font into the bitmap the game embeds:
//   font_pack <font.txt> <out.bin>
// The output is 16 rows of 96 bytes; byte (row * 96 + code - 32) holds one
// pixel row of a glyph with the leftmost pixel in bit 0. Any deviation from
// the expected layout is an error, so a typo never reaches the game as a
// silently broken letter.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kFirst = 32;
constexpr int kLast = 127;
constexpr int kGlyphs = kLast - kFirst + 1;
constexpr int kWidth = 8;
constexpr int kHeight = 16;
constexpr std::size_t kOutSize = static_cast<std::size_t>(kGlyphs) * kHeight;

[[noreturn]] void fail(const std::string& path, int line, const std::string& message) {
    std::fprintf(stderr, "font_pack: %s:%d: %s\n", path.c_str(), line, message.c_str());
    std::exit(1);
}

bool isBlank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

// Returns the code named by a "char NN [c]" header, or -1 if the line is not one.
int parseHeader(const std::string& s, const std::string& path, int line) {
    if (s.rfind("char ", 0) != 0) return -1;
    std::size_t i = 5;
    int code = 0;
    const std::size_t digitsStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        code = code * 10 + (s[i] - '0');
        if (code > 999) fail(path, line, "character code too large");
        ++i;
    }
    if (i == digitsStart) fail(path, line, "expected a decimal code after 'char'");
    if (i == s.size()) return code;
    // The optional echo of the character is there for readers; if present it must agree.
    if (s[i] != ' ' || i + 2 != s.size())
        fail(path, line, "unexpected text after the character code");
    if (static_cast<unsigned char>(s[i + 1]) != code) {
        fail(path, line, "the character after the code does not match it");
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: font_pack <font.txt> <out.bin>\n");
        return 2;
    }
    const std::string path = argv[1];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "font_pack: cannot read %s\n", path.c_str());
        return 1;
    }

    std::vector<unsigned char> packed(kOutSize, 0);
    int expected = kFirst;
    int lineNo = 0;
    std::string s;
    while (std::getline(in, s)) {
        ++lineNo;
        if (!s.empty() && s.back() == '\r') s.pop_back();
        if (s.empty() || s[0] == ';' || isBlank(s)) continue;

        const int code = parseHeader(s, path, lineNo);
        if (code < 0) fail(path, lineNo, "expected 'char NN', a comment or a blank line");
        if (code > kLast)
            fail(path, lineNo,
                 "character " + std::to_string(code) + " is past the last glyph (127)");
        if (code != expected) {
            fail(path, lineNo,
                 "glyph " + std::to_string(code) + " found where " + std::to_string(expected) +
                     (code < expected ? " was expected (duplicate or out of order)"
                                      : " was expected (missing glyph)"));
        }

        for (int row = 0; row < kHeight; ++row) {
            ++lineNo;
            if (!std::getline(in, s))
                fail(path, lineNo, "file ends inside glyph " + std::to_string(code));
            if (!s.empty() && s.back() == '\r') s.pop_back();
            if (s.size() != static_cast<std::size_t>(kWidth)) {
                fail(path, lineNo,
                     "glyph " + std::to_string(code) + " row " + std::to_string(row) + " has " +
                         std::to_string(s.size()) + " cells instead of 8");
            }
            unsigned char bits = 0;
            for (std::size_t x = 0; x < kWidth; ++x) {
                if (s[x] == '#') {
                    bits = static_cast<unsigned char>(bits | (1u << x));
                } else if (s[x] != '.') {
                    fail(path, lineNo,
                         "glyph " + std::to_string(code) + " uses '" + std::string(1, s[x]) +
                             "'; only '#' and '.' are allowed");
                }
            }
            packed[static_cast<std::size_t>(row * kGlyphs + (code - kFirst))] = bits;
        }
        ++expected;
    }
    if (in.bad()) fail(path, lineNo, "read error");
    if (expected != kLast + 1) {
        fail(path, lineNo,
             "file ends after " + std::to_string(expected - kFirst) + " of 96 glyphs");
    }

    // Write beside the target and rename, so an interrupted build never leaves half a font.
    const std::string out = argv[2];
    const std::string temporary = out + ".partial";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "font_pack: cannot write %s\n", temporary.c_str());
        return 1;
    }
    const bool written = std::fwrite(packed.data(), 1, packed.size(), f) == packed.size();
    if (std::fclose(f) != 0 || !written) {
        std::fprintf(stderr, "font_pack: cannot write %s\n", temporary.c_str());
        std::remove(temporary.c_str());
        return 1;
    }
    std::ifstream check(temporary, std::ios::binary | std::ios::ate);
    if (!check || static_cast<std::size_t>(check.tellg()) != kOutSize) {
        std::fprintf(stderr, "font_pack: %s is not %zu bytes after writing\n", temporary.c_str(),
                     kOutSize);
        std::remove(temporary.c_str());
        return 1;
    }
    check.close();
    if (std::rename(temporary.c_str(), out.c_str()) != 0) {
        std::fprintf(stderr, "font_pack: cannot rename %s to %s\n", temporary.c_str(), out.c_str());
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
