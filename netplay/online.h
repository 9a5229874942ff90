// Online versus: the host waits for the other player, the joiner connects,
// the two agree on their versions and on the host's settings, and the
// versus series then runs on both machines in step until either leaves.
#pragma once

#include <memory>
#include <string>

class gameapp;
class NetLink;

// Two sides speak Flailwick alike only with the same protocol and simulation.
constexpr int kOnlineProtocol = 2;

struct OnlineOptions {
    bool host = true;
    std::string address;  // the host to join
    int port = 0;
    int inputDelay = 2;  // frames
};

// The exit status: 0 when the series ended with Esc on either side.
int playOnline(const OnlineOptions& options);
// Over a link already made, with the window open and the keys fed
// (startKeyFeed): the handshake, then the series until either side leaves.
// The exit status, as playOnline's.
int playOverLink(std::unique_ptr<gameapp> game, NetLink& link, bool host, int inputDelay);
