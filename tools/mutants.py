#!/usr/bin/env python3
"""Applies small faults to the contact, outcome and high-score code one at a
time, rebuilds the unit tests and records which faults they catch.

    tools/mutants.py <source-tree> <report.tsv> [first [last]]

The source tree is changed and restored in place, so give it a copy (for
example `git archive HEAD | tar -x -C /tmp/mut`), never the tree you work in.
It is built in <source-tree>/build/mut without sanitizers, and only the
unit-test binary runs, with a time limit per fault.
"""
import os
import subprocess
import sys
import time

# (file, text as it is, text with the fault, what the fault does)
MUTANTS = [
    # combat/contacts.cpp
    ("combat/contacts.cpp", "if (cooldown >= 0) cooldown -= 1;", "if (cooldown > 0) cooldown -= 1;",
     "cooldowns stop counting at 0"),
    ("combat/contacts.cpp", "for (int j = i + 1; j <= n; ++j) {", "for (int j = i + 1; j < n; ++j) {",
     "the last fighter takes part in no pair"),
    ("combat/contacts.cpp", "bool expired(int cooldown) { return cooldown < 1; }",
     "bool expired(int cooldown) { return cooldown < 0; }", "a cooldown runs out a frame late"),
    ("combat/contacts.cpp", "return dx * dx + dy * dy < reach * reach;",
     "return dx * dx + dy * dy <= reach * reach;", "points just touching count as touching"),
    ("combat/contacts.cpp", "b.radius - d + 0.1;", "b.radius - d;", "pushed apart without the 0.1 gap"),
    ("combat/contacts.cpp", "game.burstSlot = game.burstSlot >= kBurstSlots ? 1 : game.burstSlot + 1;",
     "game.burstSlot = game.burstSlot >= kBurstSlots - 1 ? 1 : game.burstSlot + 1;",
     "the burst slots wrap one early"),
    ("combat/contacts.cpp", "        contact = kContactFrames;\n", "",
     "no contact cooldown after a contact"),
    ("combat/contacts.cpp", "first.dead == 0 && second.dead == 0;", "first.dead == 0;",
     "a dead second fighter still takes blows"),
    ("combat/contacts.cpp", "if (plasmaEffects == 1 && expired(spark)) {",
     "if (plasmaEffects == 0 && expired(spark)) {", "sparks when plasma effects are off"),
    ("combat/contacts.cpp", "            spark = kSparkFrames;\n", "", "no spark cooldown"),
    ("combat/contacts.cpp", "if (frameCount > kBlowsCountAfter && roundState == 0) {",
     "if (frameCount >= kBlowsCountAfter && roundState == 0) {", "blows count from frame 100"),
    ("combat/contacts.cpp", "if (frameCount > kBlowsCountAfter && roundState == 0) {",
     "if (frameCount > kBlowsCountAfter) {", "blows count after the fight is decided"),
    ("combat/contacts.cpp", "if (bHits && !aHits && expired(onFirst))", "if (bHits && expired(onFirst))",
     "two damaging points make a body blow"),
    ("combat/contacts.cpp", "if (a.index == kHead && bHits && expired(onFirst))",
     "if (a.index != kHead && bHits && expired(onFirst))", "head blows on the wrong points"),
    ("combat/contacts.cpp", "hitCode == 0 && soundsVolume > 0 && sparkReady)",
     "hitCode == 0 && soundsVolume > 0)", "the block sound ignores the spark cooldown"),
    ("combat/contacts.cpp", "if (hitCode > 0 && soundsVolume > 0) {", "if (hitCode > 0 && soundsVolume >= 0) {",
     "the blow sound plays at volume 0"),
    ("combat/contacts.cpp", "        if (slowMotion > 0) slowMotionTimer = kSlowMotionFrames;\n", "",
     "contacts never start slow motion"),
    ("combat/contacts.cpp", "if (comboCounter >= 2) comboMessage(comboCounter);",
     "if (comboCounter > 2) comboMessage(comboCounter);", "no message at the second hit of a run"),
    ("combat/contacts.cpp", "comboCounter = comboCounter >= 0 ? comboCounter + 1 : 1;",
     "comboCounter = comboCounter > 0 ? comboCounter + 1 : 1;", "a run never starts from 0"),
    ("combat/contacts.cpp", "        maxCombo = maxInt(maxCombo, comboCounter);\n", "",
     "the longest run is never kept"),
    # app/outcome.cpp
    ("app/outcome.cpp", "if (!(fighter.energy > 0.0f)) {", "if (!(fighter.energy >= 0.0f)) {",
     "a fighter at 0 energy lives on"),
    ("app/outcome.cpp", "for (int i = first; i <= last; ++i) {", "for (int i = first; i < last; ++i) {",
     "the last fighter of a side is not counted"),
    ("app/outcome.cpp", "if (isDead(g.fighters[2])) setResult(g, 1, \"PLAYER 1 WINS!\");", "",
     "player 1 never wins a 2vs fight"),
    ("app/outcome.cpp", "if (allDead(g, 2, n)) {", "if (allDead(g, 3, n)) {",
     "one player wins with an opponent standing"),
    ("app/outcome.cpp", "if (allDead(g, 3, n)) {", "if (allDead(g, 2, n)) {",
     "co-op is won only with player 2 down too"),
    ("app/outcome.cpp", "if (isDead(g.fighters[1]) && isDead(g.fighters[2])) setResult",
     "if (isDead(g.fighters[1]) || isDead(g.fighters[2])) setResult", "co-op is lost with one player down"),
    ("app/outcome.cpp", "stageFrames(g) >= kVersusResultFrames)", "stageFrames(g) > kVersusResultFrames)",
     "the 2vs result stays a frame longer"),
    ("app/outcome.cpp", "g.roundState == 1 &&\n        stageFrames(g) >= kResultFrames)",
     "g.roundState == 1 &&\n        stageFrames(g) > kResultFrames)", "the summary comes a frame late"),
    ("app/outcome.cpp", "g.level >= kLastLevel ? kStateGameOver : kStateEnd",
     "g.level > kLastLevel ? kStateGameOver : kStateEnd", "the game goes on past the last level"),
    ("app/outcome.cpp", "if (isKeyDown(KeyEnter) != 0 && stageFrames(g) > kStageDelay) {",
     "if (isKeyDown(KeyEnter) != 0 && stageFrames(g) >= kStageDelay) {",
     "game-over Enter is taken at frame 20"),
    ("app/outcome.cpp", "if (stageFrames(g) > kStageDelay && confirmHeld()) g.matchState",
     "if (stageFrames(g) >= kStageDelay && confirmHeld()) g.matchState", "the table is left at frame 20"),
    ("app/outcome.cpp", "            g.saveScores();\n", "", "the new score is not saved"),
    ("app/outcome.cpp", "if (level >= kLastLevel) result = 2;", "if (level > kLastLevel) result = 2;",
     "a 21st level is played"),
    ("app/outcome.cpp", "if (result == 1) wins[1] += 1;", "", "player 1's wins are not counted"),
    ("app/outcome.cpp", "power(share, 2.0) * 100000.0", "power(share, 1.0) * 100000.0",
     "the bonus is not squared"),
    # persist/high_scores.cpp
    ("persist/high_scores.cpp", "compare(highScores[current + 1]) < 0)", "compare(highScores[current + 1]) > 0)",
     "the table sorts lowest first"),
    ("persist/high_scores.cpp", "        passEnd = current;\n", "", "every pass runs to the end"),
    ("persist/high_scores.cpp", "if (highScores.size() < kScoreRows) return 0;",
     "if (highScores.size() <= kScoreRows) return 0;", "a full table reads as short"),
    ("persist/high_scores.cpp", "return low32(highScores[kScoreRows - 1].score);",
     "return low32(highScores[kScoreRows - 2].score);", "the 19th row taken for the lowest"),
    ("persist/high_scores.cpp", "if (highScores.size() > kScoreRows) highScores.pop_back();",
     "if (highScores.size() >= kScoreRows) highScores.pop_back();", "a table short of 20 rows loses one"),
    ("persist/high_scores.cpp", "if (c < 32 || c > 125 || c == '\"') return kRefused;",
     "if (c <= 32 || c > 125 || c == '\"') return kRefused;", "a space is refused"),
    ("persist/high_scores.cpp", "if (c < 32 || c > 125 || c == '\"') return kRefused;",
     "if (c < 32 || c > 126 || c == '\"') return kRefused;", "a tilde is taken"),
    ("persist/high_scores.cpp", "(ch >= 'a' && ch <= 'z')", "(ch >= 'a' && ch < 'z')", "z stays lower case"),
    ("persist/high_scores.cpp", "if (nameCursor > 1) --nameCursor;", "if (nameCursor >= 1) --nameCursor;",
     "Backspace on an empty name moves the cursor to 0"),
    ("persist/high_scores.cpp", "    if (frame < 3) drainKeys();\n", "",
     "keys typed in the fight reach the name"),
    ("persist/high_scores.cpp", "} else if (nameCursor <= kNameLength) {", "} else if (nameCursor < kNameLength) {",
     "names of 14 characters at most"),
    ("persist/high_scores.cpp", "if (frame >= 60) drawCentred(\"SCORE: \"", "if (frame > 60) drawCentred(\"SCORE: \"",
     "SCORE: appears a frame late"),
    ("persist/high_scores.cpp", "totalScore > lowestTableScore() && frame >= 120",
     "totalScore >= lowestTableScore() && frame >= 120", "a score equal to the lowest is asked for a name"),
    ("persist/high_scores.cpp", "if (frame <= 5 * i) break;", "if (frame < 5 * i) break;",
     "table rows appear a frame early"),
    ("persist/high_scores.cpp", "if (c == kBackspace || c == kDelete) {", "if (c == kBackspace) {",
     "Delete is typed as a letter"),
]


def run(cmd, cwd, timeout, env=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, env=env, capture_output=True, text=True, timeout=timeout)
        return p.returncode, p.stdout + p.stderr
    except subprocess.TimeoutExpired as e:
        out = (e.stdout or b"") + (e.stderr or b"")
        return "timeout", out.decode(errors="replace") if isinstance(out, bytes) else out


def failed_tests(output):
    names = []
    for line in output.splitlines():
        if line.startswith("[  FAILED  ]") and "," not in line and " ms)" in line:
            names.append(line.split()[3])
    return names


def main():
    tree, report = os.path.abspath(sys.argv[1]), sys.argv[2]
    first = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    last = int(sys.argv[4]) if len(sys.argv) > 4 else len(MUTANTS)
    build = os.path.join(tree, "build", "mut")
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        run(["cmake", "-S", ".", "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DFLAILWICK_TESTS=ON",
             "-DFLAILWICK_BENCH=OFF"], tree, 600)
    target = ["cmake", "--build", build, "--target", "flailwick_tests", "-j2"]
    code, out = run(target, tree, 3600)
    if code != 0:
        sys.exit("the unmutated tree does not build:\n" + out[-3000:])
    env = dict(os.environ, FLAILWICK_SOURCE_DIR=tree)
    tests = [os.path.join(build, "flailwick_tests"), "--gtest_brief=1"]
    code, out = run(tests, build, 900, env)
    if code != 0:
        sys.exit("the unmutated tree fails its tests:\n" + out[-3000:])

    with open(report, "a") as log:
        for number in range(first, last + 1):
            path, before, after, what = MUTANTS[number - 1]
            source = os.path.join(tree, path)
            with open(source) as f:
                original = f.read()
            if original.count(before) != 1:
                sys.exit(f"mutant {number}: its text is not once in {path}")
            started = time.time()
            try:
                with open(source, "w") as f:
                    f.write(original.replace(before, after))
                code, out = run(target, tree, 1200)
                if code != 0:
                    verdict, detail = "unbuilt", ""
                else:
                    code, out = run(tests, build, 60, env)
                    verdict = "survived" if code == 0 else "killed"
                    detail = "timeout" if code == "timeout" else " ".join(failed_tests(out)[:6])
                    if code not in (0, 1, "timeout"):
                        detail = f"exit {code} {detail}"
            finally:
                with open(source, "w") as f:
                    f.write(original)
            line = f"{number}\t{verdict}\t{path}\t{what}\t{detail}\t{time.time() - started:.0f}s"
            print(line, flush=True)
            log.write(line + "\n")
            log.flush()


if __name__ == "__main__":
    main()
