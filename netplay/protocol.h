// The peer protocol over a link of datagrams. What must arrive (the
// handshake, the settings, ready, pause, goodbye, desync parts) travels as
// numbered messages that the other side acknowledges and this side sends
// again until it does; keys travel as they are, since each keys message
// repeats what the last ones said. Pings measure the round trip, and
// anything heard tells that the other side is still there.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class NetLink;

// The datagram kinds, each the first byte.
enum Datagram : std::uint8_t {
    DatagramReliable = 'R',
    DatagramAck = 'A',
    DatagramKeys = 'K',
    DatagramPing = 'Q',
    DatagramPong = 'Y',
};

// The tag of the first message a datagram carries when it is the sender's
// first numbered message, else 0: what a new address wants, before it has a
// protocol of its own.
char firstMessageTag(const std::string& datagram);

class PeerProtocol {
  public:
    // Messages waiting for their acknowledgement: past this the other side
    // is not listening, and the protocol says the link failed.
    static constexpr std::size_t kMaxUnacknowledged = 64;
    // Messages that came ahead of one that was lost, kept until it comes.
    static constexpr std::uint32_t kMaxAhead = 64;
    // Keys messages kept until the session takes them: while the handshake
    // runs nobody does, and each message repeats the last ones anyway.
    static constexpr std::size_t kMaxKeysKept = 256;
    static constexpr int kResendMillis = 100;
    static constexpr int kPingMillis = 250;

    explicit PeerProtocol(NetLink& link);

    // Messages go again only once a round trip and a half has passed
    // (kResendMillis at least): for a stream of them, where sooner would
    // only send each twice.
    void resendByRoundTrip() { byRoundTrip_ = true; }

    // Reads what arrived and sends again what waits for an acknowledgement.
    // now: milliseconds on this side's clock.
    void poll(int now);
    void sendReliable(const std::string& message, int now);
    // A keys message, tagged DatagramKeys by its encoder.
    void sendUnreliable(const std::string& datagram);
    // The next message that had to arrive, in the order it was sent.
    bool nextReliable(std::string& out);
    // Keys messages that arrived since the last call, oldest first.
    std::vector<std::string>& keys() { return keys_; }

    // Milliseconds since anything was heard; since the start while nothing was.
    int silentMillis(int now) const { return now - heard_; }
    bool heardAnything() const { return heardOnce_; }
    // The last round trip measured, -1 before the first.
    int roundTripMillis() const { return roundTrip_; }
    // The link cannot carry more, or the other side acknowledges nothing.
    bool failed() const { return failed_; }
    // Bytes this side has sent, datagrams whole.
    std::uint64_t bytesSent() const { return bytesSent_; }
    std::uint64_t datagramsSent() const { return datagramsSent_; }
    // The number of the last message sent, and the newest the other side has
    // acknowledged with all before it: 0 for none.
    std::uint32_t lastSent() const { return nextNumber_ - 1; }
    std::uint32_t acknowledged() const { return acknowledged_; }

  private:
    void send(const std::string& datagram);
    void take(const std::string& datagram, int now);

    NetLink& link_;
    struct Unacknowledged {
        std::uint32_t number;
        std::string message;
        int sentAt;  // last sent, on this side's clock
    };
    std::deque<Unacknowledged> unacknowledged_;
    std::uint32_t nextNumber_ = 1;
    std::uint32_t acknowledged_ = 0;
    std::uint32_t received_ = 0;  // every message up to this one has arrived
    std::array<std::string, kMaxAhead> ahead_;
    std::array<bool, kMaxAhead> aheadHeld_{};
    std::deque<std::string> delivered_;
    std::vector<std::string> keys_;
    std::vector<std::string> arrived_;
    int lastPing_ = 0;
    int heard_ = 0;
    bool heardOnce_ = false;
    bool started_ = false;
    int roundTrip_ = -1;  // milliseconds; -1 before the first pong
    bool failed_ = false;
    bool byRoundTrip_ = false;
    std::uint64_t bytesSent_ = 0;
    std::uint64_t datagramsSent_ = 0;
};
