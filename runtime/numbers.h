// Random numbers and numeric conversions. The generator and the conversions
// are fixed bit for bit: scores, the simulation and the computer opponent
// depend on them.
#pragma once

#include <cstdint>
#include <string>

// --- The generator (minimal standard, multiplier 48271, Schrage's method) ---
void seedRandom(int seed);
int randomState();  // for tests and determinism checks
float randomFloat();
double randomDouble();
double randomReal(double min, double max);
int randomInt(int min, int max);

// Truncation toward zero; NaN and infinities give 0 and values beyond the
// 32-bit range saturate, so no conversion is ever undefined.
int toInt(double x);

// --- Degree trigonometry and helpers ---
double sinDeg(double degrees);
double cosDeg(double degrees);
double atanDeg(double x);
double atan2Deg(double y, double x);
double sqrtOf(double x);
double floorOf(double x);
double ceilOf(double x);
double absOf(double x);
int minInt(int a, int b);
int maxInt(int a, int b);
// Inline: the body simulation calls them tens of thousands of times a frame.
inline double minReal(double a, double b) { return a < b ? a : b; }
inline double maxReal(double a, double b) { return a > b ? a : b; }
double modReal(double a, double b);
double power(double x, double y);

// --- Number texts ---
std::string intToText(int n);
std::string longToText(std::int64_t n);
std::int64_t textToLong(const std::string& text);
int textToInt(const std::string& text);

// Wrap-around arithmetic for counters and scores: unsigned, never signed overflow.
inline std::int64_t wrapAdd64(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
inline std::int64_t wrapMul64(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}
inline int wrapMul32(int a, int b) {
    return static_cast<int>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
inline int low32(std::int64_t n) { return static_cast<int>(static_cast<std::uint32_t>(n)); }
