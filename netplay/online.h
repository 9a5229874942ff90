// Online versus and co-op: the host waits for the other player, the joiner connects,
// the two agree on their versions and on the host's settings, and the
// game then runs on both machines in step until either leaves or it ends.
#pragma once

#include <memory>
#include <string>

#include "netplay/messages.h"

class gameapp;
class NetLink;
class WatcherFeed;

// The input delay chosen from the round trip the handshake measures.
constexpr int kAutoDelay = -1;

struct OnlineOptions {
    bool host = true;
    std::string address;  // the host to join
    int port = 0;
    int inputDelay = kAutoDelay;  // frames
    bool coop = false;            // the host's choice: the co-op game, else versus
};

// The exit status: 0 when the series ended with Esc on either side, or when
// this side closed its window.
int playOnline(const OnlineOptions& options);
// Over a link already made, with the window open and the keys fed
// (startKeyFeed): the handshake, then the game until either side leaves or
// it ends. peer names the other side in messages; coop is the host's choice,
// which the joiner learns. The host's watchers, when given, are offered the
// series and fed its confirmed frames every display frame, and its end.
// The exit status, as playOnline's.
int playOverLink(std::unique_ptr<gameapp> game, NetLink& link, bool host, int inputDelay,
                 const std::string& peer = "the other player", bool coop = false,
                 WatcherFeed* watchers = nullptr);
// The host's high-score table, as the handshake brought it, made the game's:
// a co-op game over asks for a name by it on both sides alike.
void useHostTable(gameapp& game, const SeriesStart& start);
