// What the runtime shows, sounds and waits for. A fight played for the player
// has all three; a fight re-run to check a replay has none, and reaches the
// same state because the game's own code runs exactly the same either way:
// only the drawing primitives, the sounds and the waits are left out.
#pragma once

struct Presentation {
    bool drawing = true;  // primitives and presented frames reach the platform
    bool sound = true;    // new sounds start
    bool waiting = true;  // sleeps and the frame limiter wait
    // The frame limiter holds the rate even when nothing else waits: a frame
    // drawn again while online play waits must not repeat the game's pauses,
    // nor run the loop unpaced.
    bool pacing = false;
};

void setPresentation(const Presentation& presentation);
const Presentation& presentation();

// The whole of it off, for the length of a scope.
class Unseen {
  public:
    Unseen();
    ~Unseen();
    Unseen(const Unseen&) = delete;
    Unseen& operator=(const Unseen&) = delete;

  private:
    Presentation saved_;
};
