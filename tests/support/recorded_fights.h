// Two scripted fights recorded on the headless platform, for the replay
// benchmarks and the stored recordings: the largest co-op fight and a versus
// fight, each about a minute long with keys changing all along.
#pragma once

#include "replay/format.h"

Replay recordedCoopFight();
Replay recordedVersusFight();
