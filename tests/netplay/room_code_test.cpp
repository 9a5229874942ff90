// Room codes as made, as typed, and told from a host's name.
#include <gtest/gtest.h>

#include <set>

#include "netplay/room_code.h"

namespace {

TEST(RoomCode, MadeCodesAreWrittenAlikeAndDiffer) {
    std::set<std::string> made;
    for (int i = 0; i < 100; ++i) {
        const std::string code = makeRoomCode();
        EXPECT_EQ(normalRoomCode(code), code);
        EXPECT_EQ(code.size(), 9u);
        EXPECT_EQ(code[4], '-');
        made.insert(code);
    }
    EXPECT_GT(made.size(), 95u);
}

TEST(RoomCode, TypedCodesAreReadOrTheProblemSaid) {
    EXPECT_EQ(normalRoomCode("k7qf m2xd"), "K7QF-M2XD");
    EXPECT_EQ(normalRoomCode(" k-7QF-m2x-d "), "K7QF-M2XD");
    EXPECT_FALSE(normalRoomCode("K7QF-M2X"));
    EXPECT_FALSE(normalRoomCode("K7QF-M2XDA"));
    EXPECT_FALSE(normalRoomCode("K7QF-M2XO"));
    EXPECT_EQ(roomCodeProblem("K7QF-M2XD"), "");
    EXPECT_EQ(roomCodeProblem("k7qf-m2x0"), "0 is not in room codes: they have no 0, O, 1, I or L");
    EXPECT_EQ(roomCodeProblem("k7qf-m2x"), "A room code has 8 letters and digits, like K7QF-M2XD");
    EXPECT_EQ(roomCodeProblem("k7qf_m2xd"),
              "A room code has only letters and digits, like K7QF-M2XD");
}

TEST(RoomCode, JoinTellsACodeFromAHost) {
    for (const char* code : {"K7QF-M2XD", "k7qfm2xd", "gamecube"})
        EXPECT_TRUE(looksLikeRoomCode(code)) << code;
    for (const char* host : {"flailwick-lan", "K7QF-M2XD:27960", "k7qf.m2xd", "K7-QFM2XD",
                             "gamecube:27960", "192.168.1.20", "::1", "hostname"})
        EXPECT_FALSE(looksLikeRoomCode(host)) << host;
}

}  // namespace
