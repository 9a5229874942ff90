// The ICE link through libnice, the one file that sees it and GLib. The agent
// lives on a main context of its own that the game's frames pump, so there
// is no thread and nothing happens between frames.
#include "runtime/net/ice_link.h"

#include <netdb.h>
#include <nice/agent.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

namespace {

// Datagrams that wait for receive(); a game that stops reading loses the rest.
constexpr std::size_t kMaxQueued = 256;
// Closing waits this long for the relay to let the allocation go.
constexpr int kCloseMillis = 1000;
// One pump handles at most this many events, so a flood cannot hold a frame.
constexpr int kMaxEventsPerPump = 512;

std::int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* candidateTypeName(NiceCandidateType type) {
    switch (type) {
        case NICE_CANDIDATE_TYPE_HOST:
            return "host";
        case NICE_CANDIDATE_TYPE_SERVER_REFLEXIVE:
            return "srflx";
        case NICE_CANDIDATE_TYPE_PEER_REFLEXIVE:
            return "prflx";
        case NICE_CANDIDATE_TYPE_RELAYED:
            return "relay";
    }
    return "?";
}

std::string candidateText(const NiceCandidate* candidate) {
    char address[NICE_ADDRESS_STRING_LEN] = {};
    nice_address_to_string(&candidate->addr, address);
    return std::string(address) + ":" + std::to_string(nice_address_get_port(&candidate->addr)) +
           " " + candidateTypeName(candidate->type);
}

// libnice takes the relay by its numeric address only.
bool resolveHost(const std::string& host, std::string& numeric) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    char text[NI_MAXHOST] = {};
    const int status = getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr, 0,
                                   NI_NUMERICHOST);
    freeaddrinfo(found);
    if (status != 0) return false;
    numeric = text;
    return true;
}

// Only printable text in lines: whatever else a description holds is not ours.
bool plainText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '\n' || c == '\r' || (c >= 0x20 && c <= 0x7e); });
}

class NiceIceAgent : public IceAgent {
  public:
    NiceIceAgent(bool controlling, const IceOptions& options, bool relayed)
        : options_(options), relayed_(relayed), started_(nowMillis()) {
        context_ = g_main_context_new();
        agent_ = nice_agent_new_full(context_, NICE_COMPATIBILITY_RFC5245, NICE_AGENT_OPTION_NONE);
        g_object_set(agent_, "controlling-mode", controlling ? TRUE : FALSE, "ice-tcp", FALSE,
                     "ice-udp", TRUE, nullptr);
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(agent_), "upnp") != nullptr)
            g_object_set(agent_, "upnp", FALSE, nullptr);
        g_signal_connect(agent_, "candidate-gathering-done", G_CALLBACK(onGatheringDone), this);
        g_signal_connect(agent_, "component-state-changed", G_CALLBACK(onStateChanged), this);
        g_signal_connect(agent_, "new-selected-pair-full", G_CALLBACK(onSelectedPair), this);
    }

    ~NiceIceAgent() override {
        g_signal_handlers_disconnect_by_data(agent_, this);
        if (stream_ != 0) nice_agent_attach_recv(agent_, stream_, 1, context_, nullptr, nullptr);
        // The close's completion comes back on the thread's default context
        // of the moment, so ours must be it while closing.
        g_main_context_push_thread_default(context_);
        bool closed = false;
        nice_agent_close_async(agent_, onClosed, &closed);
        const std::int64_t deadline = nowMillis() + kCloseMillis;
        while (!closed && nowMillis() < deadline) {
            iterate();
            if (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        g_main_context_pop_thread_default(context_);
        g_object_unref(agent_);
        // Whatever the agent left on the context goes with it.
        iterate();
        g_main_context_unref(context_);
    }

    NiceIceAgent(const NiceIceAgent&) = delete;
    NiceIceAgent& operator=(const NiceIceAgent&) = delete;

    bool begin(const RelayServer& relay, std::string& error) {
        for (const std::string& text : options_.localAddresses) {
            NiceAddress address;
            nice_address_init(&address);
            if (!nice_address_set_from_string(&address, text.c_str()) ||
                !nice_agent_add_local_address(agent_, &address)) {
                error = "Not a local address: " + text;
                return false;
            }
        }
        stream_ = nice_agent_add_stream(agent_, 1);
        if (stream_ == 0 || !nice_agent_set_stream_name(agent_, stream_, "application")) {
            error = "The network agent could not be set up";
            return false;
        }
        if (!relay.host.empty()) {
            std::string numeric;
            if (relay.port <= 0 || relay.port > 65535 || !resolveHost(relay.host, numeric)) {
                error = "The relay's address is not known: " + relay.host;
                return false;
            }
            if (!nice_agent_set_relay_info(agent_, stream_, 1, numeric.c_str(),
                                           static_cast<guint>(relay.port), relay.username.c_str(),
                                           relay.password.c_str(), NICE_RELAY_TYPE_TURN_UDP)) {
                error = "The relay was refused by the network agent";
                return false;
            }
        }
        nice_agent_attach_recv(agent_, stream_, 1, context_, onReceived, this);
        if (!nice_agent_gather_candidates(agent_, stream_)) {
            error = "This machine has no network address to play from";
            return false;
        }
        return true;
    }

    void pump() override {
        iterate();
        const std::int64_t now = nowMillis();
        if (!gathered_ && now - started_ >= options_.gatherMillis) {
            gathered_ = true;
            relayMissing_ = relayed_ && !hasRelayedCandidate();
            relaySilent_ = relayMissing_;
        }
        if (remoteAt_ != 0 && !connected() && path_ != IcePath::Failed &&
            now - remoteAt_ >= options_.checkMillis)
            fail(false);
    }

    bool gathered() const override { return gathered_; }

    std::string localDescription() const override {
        if (!gathered_) return {};
        gchar* generated = nice_agent_generate_local_sdp(agent_);
        if (generated == nullptr) return {};
        const std::string whole = generated;
        g_free(generated);
        return bounded(whole);
    }

    bool setRemoteDescription(const std::string& description) override {
        if (remoteAt_ != 0 || path_ == IcePath::Failed || description.empty() ||
            description.size() > kMaxIceDescription || !plainText(description))
            return false;
        if (nice_agent_parse_remote_sdp(agent_, description.c_str()) <= 0) return false;
        remoteAt_ = nowMillis();
        pump();
        return true;
    }

    IcePath path() const override {
        if (path_ == IcePath::Failed) return path_;
        if (connected()) return relayedPair_ ? IcePath::Relayed : IcePath::Direct;
        return gathered_ ? IcePath::Checking : IcePath::Gathering;
    }

    const std::string& error() const override { return error_; }
    std::string pairText() const override { return connected() ? pairText_ : std::string(); }

    void send(const std::string& datagram) override {
        if (datagram.size() <= kMaxDatagram && connected())
            nice_agent_send(agent_, stream_, 1, static_cast<guint>(datagram.size()),
                            datagram.data());
        pump();
    }

    bool receive(std::vector<std::string>& datagrams) override {
        pump();
        for (std::string& datagram : inbox_)
            datagrams.push_back(std::move(datagram));
        inbox_.clear();
        return path_ != IcePath::Failed;
    }

  private:
    bool connected() const { return path_ != IcePath::Failed && ready_ && !pairText_.empty(); }

    void iterate() {
        for (int i = 0; i < kMaxEventsPerPump && g_main_context_iteration(context_, FALSE); ++i) {
        }
    }

    bool hasRelayedCandidate() const {
        GSList* candidates = nice_agent_get_local_candidates(agent_, stream_, 1);
        bool found = false;
        for (GSList* item = candidates; item != nullptr; item = item->next) {
            auto* candidate = static_cast<NiceCandidate*>(item->data);
            found = found || candidate->type == NICE_CANDIDATE_TYPE_RELAYED;
            nice_candidate_free(candidate);
        }
        g_slist_free(candidates);
        return found;
    }

    // The relayed candidates first, then the rest, as many as fit: a machine
    // with many interfaces still makes a description the other side accepts.
    static std::string bounded(const std::string& whole) {
        if (whole.size() <= kMaxIceDescription) return whole;
        std::string head, relays, others;
        std::size_t start = 0;
        while (start < whole.size()) {
            std::size_t end = whole.find('\n', start);
            end = end == std::string::npos ? whole.size() : end + 1;
            std::string line = whole.substr(start, end - start);
            if (line.back() != '\n') line += '\n';
            start = end;
            if (line.rfind("a=candidate:", 0) != 0)
                head += line;
            else if (line.find(" typ host") == std::string::npos)
                relays += line;
            else
                others += line;
        }
        std::string result = head;
        for (const std::string* group : {&relays, &others}) {
            std::size_t at = 0;
            while (at < group->size()) {
                const std::size_t end = group->find('\n', at) + 1;
                if (result.size() + (end - at) <= kMaxIceDescription)
                    result += group->substr(at, end - at);
                at = end;
            }
        }
        return result;
    }

    // libnice shows a relay that refused the credentials and one whose port
    // is closed alike, by a relayed address missing at once: one message.
    void fail(bool lost) {
        path_ = IcePath::Failed;
        if (lost)
            error_ = "The connection to the other player was lost";
        else if (relaySilent_)
            error_ = "No path to the other player was found, and the relay did not answer";
        else if (relayMissing_)
            error_ =
                "No path to the other player was found: the relay could not be reached or "
                "refused this game's credentials";
        else
            error_ = "No path to the other player was found";
    }

    static void onGatheringDone(NiceAgent*, guint, gpointer data) {
        auto* self = static_cast<NiceIceAgent*>(data);
        if (self->gathered_) return;
        self->gathered_ = true;
        self->relayMissing_ = self->relayed_ && !self->hasRelayedCandidate();
    }

    static void onStateChanged(NiceAgent*, guint, guint, guint state, gpointer data) {
        auto* self = static_cast<NiceIceAgent*>(data);
        if (state == NICE_COMPONENT_STATE_FAILED) {
            if (self->path_ != IcePath::Failed) self->fail(self->connected());
        } else if (state == NICE_COMPONENT_STATE_CONNECTED || state == NICE_COMPONENT_STATE_READY) {
            self->ready_ = true;
        }
    }

    static void onSelectedPair(NiceAgent*, guint, guint, NiceCandidate* local,
                               NiceCandidate* remote, gpointer data) {
        auto* self = static_cast<NiceIceAgent*>(data);
        self->relayedPair_ = local->type == NICE_CANDIDATE_TYPE_RELAYED ||
                             remote->type == NICE_CANDIDATE_TYPE_RELAYED;
        self->pairText_ = candidateText(local) + " -> " + candidateText(remote);
    }

    static void onReceived(NiceAgent*, guint, guint, guint size, gchar* bytes, gpointer data) {
        auto* self = static_cast<NiceIceAgent*>(data);
        if (size > kMaxDatagram || self->inbox_.size() >= kMaxQueued) return;
        self->inbox_.emplace_back(bytes, size);
    }

    static void onClosed(GObject*, GAsyncResult*, gpointer data) {
        *static_cast<bool*>(data) = true;
    }

    IceOptions options_;
    bool relayed_;
    std::int64_t started_;
    GMainContext* context_ = nullptr;
    NiceAgent* agent_ = nullptr;
    guint stream_ = 0;
    bool gathered_ = false;
    bool relayMissing_ = false;  // a relay was named and gave no address
    bool relaySilent_ = false;   // ... because it never answered
    std::int64_t remoteAt_ = 0;
    bool ready_ = false;
    bool relayedPair_ = false;
    std::string pairText_;
    IcePath path_ = IcePath::Gathering;
    std::string error_;
    std::deque<std::string> inbox_;
};

}  // namespace

std::unique_ptr<IceAgent> IceAgent::start(bool controlling, const RelayServer& relay,
                                          std::string& error, const IceOptions& options) {
    auto agent = std::make_unique<NiceIceAgent>(controlling, options, !relay.host.empty());
    if (!agent->begin(relay, error)) return nullptr;
    agent->pump();
    return agent;
}

const char* icePathName(IcePath path) {
    switch (path) {
        case IcePath::Gathering:
            return "Gathering";
        case IcePath::Checking:
            return "Checking";
        case IcePath::Direct:
            return "Direct";
        case IcePath::Relayed:
            return "Relayed";
        case IcePath::Failed:
            return "Failed";
    }
    return "";
}
