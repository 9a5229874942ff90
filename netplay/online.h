// Online versus and co-op: the host waits for the other player, the joiner connects,
// the two agree on their versions and on the host's settings, and the
// game then runs on both machines in step until either leaves or it ends.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "netplay/messages.h"

class gameapp;
class NetLink;
class PortMapping;
class WatcherFeed;

// The input delay chosen from the round trip the handshake measures.
constexpr int kAutoDelay = -1;

struct OnlineOptions {
    bool host = true;
    bool watch = false;   // a watcher of the host's series, not its player 2
    std::string address;  // the host to join
    int port = 0;
    int inputDelay = kAutoDelay;  // frames
    bool coop = false;            // the host's choice: the co-op game, else versus
    bool askRouter = true;        // a direct host asks the router to open its port
    std::string roomCode;         // the joiner's room; empty with no address: typed in the window
    std::string lobbyHost;        // where rooms meet; empty: none, the host hosts directly
    int lobbyPort = 0;
};

// The exit status: 0 when the series ended with Esc on either side, or when
// this side closed its window.
int playOnline(const OnlineOptions& options);
// What playOverLink is told besides the link.
struct LinkDetails {
    std::string peer = "the other player";  // names the other side in messages
    bool coop = false;                      // the host's choice, which the joiner learns
    const PortMapping* mapping = nullptr;   // what the host's router was asked
    std::string path;                       // "Direct" or "Relayed" when ICE found it
    // Called each display frame: a room kept open for watchers while the series runs.
    std::function<void(int now)> eachFrame;
    // The host's watchers: offered the series, fed its confirmed frames every
    // display frame, and told its end.
    WatcherFeed* watchers = nullptr;
};

// Over a link already made, with the window open and the keys fed
// (startKeyFeed): the handshake, then the game until either side leaves or
// it ends. The exit status, as playOnline's.
int playOverLink(std::unique_ptr<gameapp> game, NetLink& link, bool host, int inputDelay,
                 const LinkDetails& details = {});
// The host's high-score table, as the handshake brought it, made the game's:
// a co-op game over asks for a name by it on both sides alike.
void useHostTable(gameapp& game, const SeriesStart& start);
// The room code typed in the window, for a player who started from the
// desktop with no terminal to type it in: the code in its normal form, or
// empty when the player gave up.
std::string enterRoomCode(gameapp& game, const std::string& lobby);
