// Watching an online series: the watcher connects to the host, is sent the
// players' confirmed frames and plays them a few frames behind, records the
// fights as the players do, and shows how the series ended.
#pragma once

#include <memory>
#include <string>

class gameapp;
class NetLink;

// Over a link already made, with the window open and the keys fed
// (startKeyFeed): the handshake, then the series until it ends, the host
// drops this watcher or Esc or the close button leaves. peer names the host
// in messages. The exit status: 0 when the series was watched to its end or
// left, 1 when it could not be.
int watchOverLink(std::unique_ptr<gameapp> game, NetLink& link,
                  const std::string& peer = "the host");
