// Room codes: eight letters and digits a host reads out to the other player,
// "K7QF-M2XD", drawn from characters no one mistakes for another.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// No 0, O, 1, I or L: 31 characters, so a code is about 40 bits.
constexpr std::string_view kRoomCodeAlphabet = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";
constexpr std::size_t kRoomCodeLength = 8;

// A fresh code in its written form, "K7QF-M2XD".
std::string makeRoomCode();
// The written form of a code as typed: small letters, spaces and dashes
// anywhere are fine. Nothing when it is no code.
std::optional<std::string> normalRoomCode(const std::string& typed);
// What is wrong with a typed code, in words for the player; empty when nothing.
std::string roomCodeProblem(const std::string& typed);
// Whether what follows --join is a code rather than a host: a code as
// normalRoomCode reads it, with no '.' or ':', written as eight characters,
// as two groups of four around one dash, or with spaces anywhere. A host name that looks
// just like a code ("gamecube") can be given with its port, "gamecube:27960".
bool looksLikeRoomCode(const std::string& text);
