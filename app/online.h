// Online versus: the host waits for the other player, the joiner connects,
// the two agree on their versions and on the host's settings, and the
// versus series then runs on both machines in step until either leaves.
#pragma once

#include <string>

struct OnlineOptions {
    bool host = true;
    std::string address;  // the host to join
    int port = 0;
    int inputDelay = 2;  // frames
};

// The exit status: 0 when the series ended with Esc on either side.
int playOnline(const OnlineOptions& options);
