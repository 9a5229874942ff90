// A host without a lobby asks the router to pass its UDP port in, through
// NAT-PMP or UPnP, and shows the public address the router reports. The
// asking runs beside the game, so no frame waits on the router, and the
// mapping is taken away again when this goes.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class PortMapping {
  public:
    enum class State { Asking, Mapped, Failed };
    struct Routers {
        std::string gateway;  // NAT-PMP's router, IPv4; empty: the default route's
        bool upnp = true;     // also look for a UPnP router on the local network
    };

    PortMapping(int port, const Routers& routers);
    ~PortMapping();
    PortMapping(const PortMapping&) = delete;
    PortMapping& operator=(const PortMapping&) = delete;

    State state() const;
    // "203.0.113.7:27960" once mapped: what the other player joins.
    std::string publicAddress() const;
    // "NAT-PMP" or "UPnP" once mapped.
    std::string how() const;

  private:
    void ask();
    bool askNatPmp();
    bool askUpnp();
    void removeMapping();
    void settle(State state, const std::string& address, const std::string& how);

    const int port_;
    const Routers routers_;
    mutable std::mutex mutex_;
    State state_ = State::Asking;
    std::string address_;
    std::string how_;
    std::atomic<bool> leaving_{false};
    // What removing the mapping needs again.
    std::string upnpControl_, upnpService_;
    int publicPort_ = 0;
    std::thread asker_;
};
