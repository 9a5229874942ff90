// The network in memory: one queue of datagrams in flight each way.
#include "runtime/net/memory_link.h"

#include <deque>
#include <random>

namespace {

struct Direction {
    std::deque<std::pair<double, std::string>> inFlight;  // arrival time, datagram
};

struct Network {
    NetworkConditions conditions;
    std::mt19937 random;
    std::function<double()> now;
    Direction toA, toB;

    bool chance(int percent) { return static_cast<int>(random() % 100) < percent; }

    void carry(Direction& d, const std::string& datagram) {
        if (datagram.size() > kMaxDatagram) return;
        for (int copy = 0; copy < (chance(conditions.duplicatePercent) ? 2 : 1); ++copy) {
            if (chance(conditions.lossPercent)) continue;
            const int j =
                conditions.jitterMillis > 0
                    ? static_cast<int>(random() % static_cast<unsigned>(conditions.jitterMillis))
                    : 0;
            d.inFlight.emplace_back(now() + conditions.delayMillis + j, datagram);
        }
    }

    static void deliver(Direction& d, double t, std::vector<std::string>& out) {
        for (auto it = d.inFlight.begin(); it != d.inFlight.end();) {
            if (it->first <= t) {
                out.push_back(std::move(it->second));
                it = d.inFlight.erase(it);
            } else {
                ++it;
            }
        }
    }
};

class MemoryLink : public NetLink {
  public:
    MemoryLink(std::shared_ptr<Network> network, bool isA)
        : network_(std::move(network)), isA_(isA) {}
    void send(const std::string& datagram) override {
        network_->carry(isA_ ? network_->toB : network_->toA, datagram);
    }
    bool receive(std::vector<std::string>& datagrams) override {
        Network::deliver(isA_ ? network_->toA : network_->toB, network_->now(), datagrams);
        return true;
    }

  private:
    std::shared_ptr<Network> network_;
    bool isA_;
};

}  // namespace

MemoryLinks makeMemoryLinks(const NetworkConditions& conditions, unsigned seed,
                            std::function<double()> clockMillis) {
    auto network = std::make_shared<Network>();
    network->conditions = conditions;
    network->random.seed(seed);
    network->now = std::move(clockMillis);
    return {std::make_unique<MemoryLink>(network, true),
            std::make_unique<MemoryLink>(network, false)};
}
