// Where two sides parted, written beside the recorded fights: each side's
// hash of every part of the state after the frame, and the first that differs.
#pragma once

class OnlineSession;

// Sends this side's parts, waits a moment for the other side's and writes
// desync-frame-N.txt. clock: milliseconds now.
void reportDesync(OnlineSession& session, int (*clock)());
