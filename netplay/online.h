// Online versus: the host waits for the other player, the joiner connects,
// the two agree on their versions and on the host's settings, and the
// versus series then runs on both machines in step until either leaves.
#pragma once

#include <memory>
#include <string>

#include "netplay/messages.h"

class gameapp;
class NetLink;

// The input delay chosen from the round trip the handshake measures.
constexpr int kAutoDelay = -1;

struct OnlineOptions {
    bool host = true;
    std::string address;  // the host to join
    int port = 0;
    int inputDelay = kAutoDelay;  // frames
};

// The exit status: 0 when the series ended with Esc on either side, or when
// this side closed its window.
int playOnline(const OnlineOptions& options);
// Over a link already made, with the window open and the keys fed
// (startKeyFeed): the handshake, then the series until either side leaves.
// peer names the other side in messages. The exit status, as playOnline's.
int playOverLink(std::unique_ptr<gameapp> game, NetLink& link, bool host, int inputDelay,
                 const std::string& peer = "the other player");
