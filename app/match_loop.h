// One frame of a fight, the body of playFight's loop, for tests and
// benchmarks that step a fight frame by frame.
#pragma once

class gameapp;

void playFightFrame(gameapp& game);
