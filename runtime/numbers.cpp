// Numbers: the random generator, conversions, degrees and text from and to numbers.
#include "runtime/numbers.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kStartState = 4660;
constexpr double kDegPerRad = 57.29577951308232;
constexpr double kPi = 3.14159265358979323846;

std::int32_t state = kStartState;

void step() {
    // Schrage's method keeps every intermediate inside 32 bits.
    std::int32_t next = (state % 44488) * 48271 - (state / 44488) * 3399;
    if (next < 0) next += 2147483647;
    state = next;
}

template <typename T>
T parseNumber(const std::string& text) {
    using U = std::make_unsigned_t<T>;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' ||
                     text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < n && text[i] == '%') {
        base = 2;
        ++i;
    } else if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    }
    U value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) break;
        value = static_cast<U>(value * base + digit);
    }
    if (negative) value = static_cast<U>(U{0} - value);
    return static_cast<T>(value);
}

template <typename T>
std::string formatNumber(T n) {
    using U = std::make_unsigned_t<T>;
    // Work on the magnitude as unsigned so the most negative value needs no special case.
    U magnitude = n < 0 ? static_cast<U>(U{0} - static_cast<U>(n)) : static_cast<U>(n);
    char buffer[24];
    int pos = 24;
    do {
        buffer[--pos] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (n < 0) buffer[--pos] = '-';
    return std::string(buffer + pos, buffer + 24);
}

}  // namespace

void seedRandom(int seed) {
    state = seed & 0x7FFFFFFF;
    if (state == 0 || state == 0x7FFFFFFF) state = kStartState;
}

int randomState() { return state; }

float randomFloat() {
    step();
    return static_cast<float>((state & 0x0FFFFFF0) / 268435456.0);
}

double randomDouble() {
    step();
    const double a = state & 0x1FFFFFFC;
    step();
    const double b = state & 0x1FFFFFF8;
    return (a + b / 134217728.0) / 536870912.0;
}

double randomReal(double min, double max) {
    if (max > min) return randomDouble() * (max - min) + min;
    return randomDouble() * (min - max) + max;
}

int randomInt(int min, int max) {
    const double range = static_cast<double>(max) - static_cast<double>(min);
    if (range > 0) return toInt(randomDouble() * (1 + range) + min);
    return toInt(randomDouble() * (1 - range) + max);
}

int toInt(double x) {
    if (!std::isfinite(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int>::min();
    // Round to nearest even, then step back toward zero: this is truncation,
    // written the way the game has always computed it.
    double r = std::nearbyint(x);
    if (x >= 0) {
        if (r > x) r -= 1.0;
    } else {
        if (r < x) r += 1.0;
    }
    return static_cast<int>(r);
}

double sinDeg(double degrees) { return std::sin(degrees * (kPi / 180.0)); }
double cosDeg(double degrees) { return std::cos(degrees * (kPi / 180.0)); }
double atanDeg(double x) { return std::atan(x) * kDegPerRad; }
double atan2Deg(double y, double x) { return std::atan2(y, x) * kDegPerRad; }
double sqrtOf(double x) { return std::sqrt(x); }
double floorOf(double x) { return std::floor(x); }
double ceilOf(double x) { return std::ceil(x); }
double absOf(double x) { return std::fabs(x); }
int minInt(int a, int b) { return a < b ? a : b; }
int maxInt(int a, int b) { return a > b ? a : b; }
double modReal(double a, double b) { return std::fmod(a, b); }
double power(double x, double y) { return std::pow(x, y); }

std::string intToText(int n) { return formatNumber<std::int32_t>(n); }
std::string longToText(std::int64_t n) { return formatNumber<std::int64_t>(n); }
std::int64_t textToLong(const std::string& text) { return parseNumber<std::int64_t>(text); }
int textToInt(const std::string& text) { return parseNumber<std::int32_t>(text); }
