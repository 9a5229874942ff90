// A link over the path ICE finds between two games behind their routers: the
// two sides trade descriptions (addresses and credentials) some other way,
// then check every pair of addresses and keep the best that answers, or go
// through the relay when nothing else does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/net/link.h"

// A TURN relay and the time-limited credentials it was given for this game.
struct RelayServer {
    std::string host;  // empty: no relay
    int port = 0;
    std::string username, password;
};

enum class IcePath { Gathering, Checking, Direct, Relayed, Failed };

// Gathering stops waiting for the relay after this and describes what it has.
constexpr int kIceGatherMillis = 3000;
// The checks give up this long after both descriptions are known.
constexpr int kIceCheckMillis = 10000;
// Longer descriptions are neither made nor accepted.
constexpr std::size_t kMaxIceDescription = 4096;

struct IceOptions {
    // The addresses host candidates are gathered on; empty: every interface
    // but loopback.
    std::vector<std::string> localAddresses;
    int gatherMillis = kIceGatherMillis;
    int checkMillis = kIceCheckMillis;
};

// Driven from the game's frames: pump() does the network work of the moment
// without blocking, and send() and receive() pump as well.
class IceAgent : public NetLink {
  public:
    // The controlling side picks the pair; the other side must be started
    // controlled. Null with the reason in `error` when no agent can be made.
    static std::unique_ptr<IceAgent> start(bool controlling, const RelayServer& relay,
                                           std::string& error, const IceOptions& options = {});

    virtual void pump() = 0;
    virtual bool gathered() const = 0;
    // This side's description for the other, once gathered; empty before.
    virtual std::string localDescription() const = 0;
    // The other side's description; false when it is malformed, holds no
    // address or one was already given.
    virtual bool setRemoteDescription(const std::string& description) = 0;
    virtual IcePath path() const = 0;
    // Why the path failed, in words for the player; empty until it has.
    virtual const std::string& error() const = 0;
    // The chosen pair's two ends, for a log line; empty until connected.
    virtual std::string pairText() const = 0;
};

// One word for the window: "Direct", "Relayed" and so on.
const char* icePathName(IcePath path);
