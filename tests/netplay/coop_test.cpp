// An online co-op game between two sides in one process over a lossy network
// in memory: levels, summaries, the game over with the host's name typed and
// the table, confirmed alike on both sides and on one machine.
#include <gtest/gtest.h>

#include <memory>

#include "app/gameapp.h"
#include "runtime/files.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/online_pair.h"
#include "tests/support/pair_checks.h"
#include "tests/support/temp_dir.h"

namespace {

class Coop : public HeadlessTest {
  protected:
    // Online play writes nothing but what the confirmed copy lets through.
    Coop() { allowSaving(false); }
    ~Coop() override { allowSaving(true); }
    static PairRun coopRun() {
        PairRun run;
        run.network = {50, 8, 5};  // 100 ms there and back, 5 % lost
        run.coop = true;
        run.frames = 1300;
        return run;
    }
    TempDir dir_;
};

TEST_F(Coop, TwoLevelsAndAGameOverWithTheHostsNameAreConfirmedAsOneMachinePlaysThem) {
    const PairRun run = coopRun();
    const auto [host, joiner, displayed] = playPair(run);
    ASSERT_TRUE(sidesAgree(host, joiner, 600));
    EXPECT_GT(std::max(host.deepest, joiner.deepest), 0);

    // The joiner's confirmed copy leaves scores.txt alone; the host's writes the entry.
    PairRun joinerRun = run;
    joinerRun.joinersCopy = true;
    int levels = 0;
    allowSaving(true);
    EXPECT_EQ(playConfirmedKeys(joiner, joinerRun, levels), host.hash);
    EXPECT_FALSE(fileExists("scores.txt"));
    std::unique_ptr<gameapp> alone;
    EXPECT_EQ(playConfirmedKeys(host, run, levels, nullptr, &alone), host.hash);
    allowSaving(false);
    EXPECT_EQ(
        fileBytes("scores.txt").rfind(run.name + "\r\n" + std::to_string(alone->totalScore), 0),
        0u);
    // Levels 1 and 2 won, the third lost: the game is over and the table shown.
    EXPECT_EQ(levels, run.loseAt);
    EXPECT_EQ(alone->matchState, std::string(kStateEnd));
    EXPECT_EQ(alone->fightResult, 0);
    EXPECT_GE(alone->totalScore, 200000);
    const ScoreRow named{run.name, alone->totalScore};
    ASSERT_FALSE(host.table.empty());
    EXPECT_EQ(host.table.front(), named);
    EXPECT_EQ(joiner.table, host.table);
}

TEST_F(Coop, TheJoinerPlaysByTheHostsTableNotItsOwn) {
    PairRun run = coopRun();
    // A table no game over of this run beats: no name is asked, none entered.
    for (TableRow& row : run.table) {
        row.name = "HOSTS";
        row.score = 900000000;
    }
    run.table[0].name = "TOP";
    const auto [host, joiner, displayed] = playPair(run);
    EXPECT_EQ(joiner.desync, -1);
    EXPECT_EQ(host.hash, joiner.hash);
    ASSERT_EQ(joiner.table.size(), static_cast<std::size_t>(kTableRows));
    EXPECT_EQ(joiner.table, host.table);
    EXPECT_EQ(joiner.table.front(), (ScoreRow{"TOP", 900000000}));
    for (const ScoreRow& row : joiner.table)
        EXPECT_NE(row.name, run.name);
}

}  // namespace
