// Numbered messages, their acknowledgements and their second sending; pings.
#include "netplay/protocol.h"

#include <algorithm>

#include "runtime/bytes.h"
#include "runtime/net/link.h"

namespace {

// A message longer than this is not one the game sends.
constexpr std::size_t kMaxMessage = kMaxDatagram - 8;

}  // namespace

char firstMessageTag(const std::string& datagram) {
    if (datagram.size() < 3 || static_cast<std::uint8_t>(datagram[0]) != DatagramReliable) return 0;
    ByteReader r(datagram, 1, "cut short");
    const std::uint32_t number = r.varint("damaged");
    if (!r.ok() || number != 1 || r.left() == 0) return 0;
    return datagram[datagram.size() - r.left()];
}

PeerProtocol::PeerProtocol(NetLink& link) : link_(link) {}

void PeerProtocol::send(const std::string& datagram) {
    bytesSent_ += datagram.size();
    datagramsSent_ += 1;
    link_.send(datagram);
}

void PeerProtocol::sendReliable(const std::string& message, int now) {
    if (message.size() > kMaxMessage) return;
    if (unacknowledged_.size() >= kMaxUnacknowledged) {
        failed_ = true;
        return;
    }
    unacknowledged_.push_back({nextNumber_++, message, now});
    ByteWriter d;
    d.u8(DatagramReliable);
    d.varint(unacknowledged_.back().number);
    send(d.bytes + message);
}

void PeerProtocol::sendUnreliable(const std::string& datagram) { send(datagram); }

bool PeerProtocol::nextReliable(std::string& out) {
    if (delivered_.empty()) return false;
    out = std::move(delivered_.front());
    delivered_.pop_front();
    return true;
}

void PeerProtocol::take(const std::string& datagram, int now) {
    if (datagram.empty()) return;
    ByteReader r(datagram, 1, "cut short");
    const char* damaged = "damaged";
    switch (static_cast<std::uint8_t>(datagram[0])) {
        case DatagramReliable: {
            const std::uint32_t number = r.varint(damaged);
            if (!r.ok() || number == 0) return;
            // Acknowledged every time, since the last acknowledgement may be lost.
            if (number > received_ && number - received_ <= kMaxAhead) {
                const std::size_t slot = number % kMaxAhead;
                if (!aheadHeld_[slot]) {
                    ahead_[slot] = r.take(r.left());
                    aheadHeld_[slot] = true;
                }
                while (aheadHeld_[(received_ + 1) % kMaxAhead]) {
                    const std::size_t next = (++received_) % kMaxAhead;
                    delivered_.push_back(std::move(ahead_[next]));
                    aheadHeld_[next] = false;
                }
            }
            ByteWriter ack;
            ack.u8(DatagramAck);
            ack.varint(received_);
            send(ack.bytes);
            break;
        }
        case DatagramAck: {
            const std::uint32_t upTo = r.varint(damaged);
            if (!r.ok() || r.left() != 0) return;
            // Only numbers this side sent, so a wild one cannot pass those to come.
            if (upTo >= nextNumber_) return;
            while (!unacknowledged_.empty() && unacknowledged_.front().number <= upTo)
                unacknowledged_.pop_front();
            if (upTo > acknowledged_) acknowledged_ = upTo;
            break;
        }
        case DatagramKeys:
            if (keys_.size() < kMaxKeysKept) keys_.push_back(datagram);
            break;
        case DatagramPing: {
            const std::uint32_t stamp = r.u32();
            if (!r.ok() || r.left() != 0) return;
            ByteWriter pong;
            pong.u8(DatagramPong);
            pong.u32(stamp);
            send(pong.bytes);
            break;
        }
        case DatagramPong: {
            const std::uint32_t stamp = r.u32();
            // Only a time this side sent and not long ago: anything else is noise.
            const std::uint32_t age = static_cast<std::uint32_t>(now) - stamp;
            if (r.ok() && r.left() == 0 && age < 60000u) roundTrip_ = static_cast<int>(age);
            break;
        }
        default:
            return;
    }
}

void PeerProtocol::poll(int now) {
    if (!started_) {
        started_ = true;
        heard_ = now;
        lastPing_ = now - kPingMillis;
    }
    arrived_.clear();
    if (!link_.receive(arrived_)) failed_ = true;
    for (const std::string& d : arrived_) {
        if (d.empty() || d.size() > kMaxDatagram) continue;
        heard_ = now;
        heardOnce_ = true;
        take(d, now);
    }
    const int resend = byRoundTrip_ && roundTrip_ > 0 ? std::max(kResendMillis, roundTrip_ * 3 / 2)
                                                      : kResendMillis;
    // Each on its own time: a stream of new messages must not hold back an old one.
    for (Unacknowledged& u : unacknowledged_) {
        if (now - u.sentAt < resend) continue;
        u.sentAt = now;
        ByteWriter d;
        d.u8(DatagramReliable);
        d.varint(u.number);
        send(d.bytes + u.message);
    }
    if (now - lastPing_ >= kPingMillis) {
        lastPing_ = now;
        ByteWriter ping;
        ping.u8(DatagramPing);
        ping.u32(static_cast<std::uint32_t>(now));
        send(ping.bytes);
    }
}
