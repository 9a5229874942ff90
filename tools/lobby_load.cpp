// Many players at once against one lobby, to see how many rooms and relayed
// matches its broker, issuer and relay hold. One process plays every host
// (or every guest) in one loop that never blocks: rooms open, pairs meet
// through the rooms, then each pair trades the game's 60 keys messages a
// second both ways while the host times the round trips.
//   flailwick_lobby_load --hosts N --matches M --codes FILE --lobby IP:PORT --seconds S
//   flailwick_lobby_load --guests M --codes FILE --lobby IP:PORT
// The host writes the first M codes to FILE once all N rooms are open, prints
// "steady" when its matches start counting and "steady over" when they stop,
// then writes FILE.done, at which the guests leave.
#include <dirent.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "netplay/room.h"
#include "netplay/room_code.h"
#include "netplay/room_connect.h"
#include "runtime/net/broker.h"
#include "runtime/net/seal.h"

namespace {

constexpr std::int64_t kFrameMicros = 16667;  // the game's 60 frames a second
constexpr std::size_t kMessageBytes = 40;     // about a keys message
// A link silent this long counts as a lost session.
constexpr std::int64_t kSilentMicros = 3'000'000;
// How long every match may take to connect once the codes are out.
constexpr std::int64_t kConnectMicros = 90'000'000;
// Rooms and joins are started this many per millisecond, so the lobby sees
// players arrive quickly but not in one instant.
constexpr int kStartsPerTick = 2;
// Rooms are polled once a frame, as the game does, until every match has
// connected; then four times a second, which keeps the same traffic with the
// lobby (keep-alives, presence, the spare agent's refreshes) while leaving
// the clients' CPU to the matches.
constexpr std::uint64_t kRoomTicks = 16, kSteadyRoomTicks = 250;

using Clock = std::chrono::steady_clock;

std::int64_t micros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

int clockMillis() { return static_cast<int>(micros() / 1000); }

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// Hundreds of agents and broker connections each hold sockets.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

std::set<int> openDescriptors() {
    std::set<int> found;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') found.insert(std::atoi(entry->d_name));
        closedir(dir);
    }
    return found;
}

// libnice makes an agent's sockets while it starts (the relay's candidate
// shares the host candidate's socket), so the descriptors that appear across
// start() are the agent's: the loop sleeps on them and pumps only the agents
// that have something, instead of every agent every millisecond.
struct Starter {
    std::map<const IceAgent*, std::vector<int>> descriptors;

    IceStarter make() {
        return [this](bool controlling, const RelayServer& relay, std::string& error) {
            const std::set<int> before = openDescriptors();
            std::unique_ptr<IceAgent> agent = IceAgent::start(controlling, relay, error);
            if (agent) {
                std::vector<int>& mine = descriptors[agent.get()];
                for (int fd : openDescriptors())
                    if (!before.contains(fd)) mine.push_back(fd);
            }
            return agent;
        };
    }
};

// The wire format: sequence, send time, the latest peer send time heard and
// how long it was held before this went, padded to a keys message's size.
struct Message {
    std::uint32_t sequence = 0;
    std::int64_t sentMicros = 0;
    std::int64_t echoMicros = 0;  // 0: nothing heard yet
    std::int64_t heldMicros = 0;
};

std::string encode(const Message& m) {
    std::string bytes(kMessageBytes, '\0');
    bytes[0] = 'L';
    std::memcpy(&bytes[4], &m.sequence, 4);
    std::memcpy(&bytes[8], &m.sentMicros, 8);
    std::memcpy(&bytes[16], &m.echoMicros, 8);
    std::memcpy(&bytes[24], &m.heldMicros, 8);
    return bytes;
}

bool decode(const std::string& bytes, Message& m) {
    if (bytes.size() != kMessageBytes || bytes[0] != 'L') return false;
    std::memcpy(&m.sequence, &bytes[4], 4);
    std::memcpy(&m.sentMicros, &bytes[8], 8);
    std::memcpy(&m.echoMicros, &bytes[16], 8);
    std::memcpy(&m.heldMicros, &bytes[24], 8);
    return true;
}

struct Tally {
    std::vector<std::int64_t> roundTrips;  // microseconds
    int sessionsLost = 0;
    // The loop's own pace: from the end of one turn to the start of the next
    // (the rooms' polls and the rest), and the time spent waiting on sockets.
    std::vector<std::int64_t> turns;
    std::int64_t waited = 0;
};

// One side of a connected match.
struct Match {
    std::unique_ptr<IceAgent> link;
    std::int64_t nextSend = 0;
    std::uint32_t sequence = 0;
    std::int64_t peerSent = 0, peerHeardAt = 0;  // the latest peer message
    std::int64_t lastHeard = 0;
    std::int64_t lastEchoed = 0;  // the newest own send time already timed
    std::uint32_t firstCounted = 0, highest = 0;
    std::uint64_t counted = 0;
    std::uint32_t sentAtSteady = 0;
    bool counting = false, lost = false;
    std::vector<std::string> inbox;

    void drain(std::int64_t steadyFrom, Tally& tally) {
        inbox.clear();
        if (!link->receive(inbox) && !lost) {
            lost = true;
            if (steadyFrom != 0) ++tally.sessionsLost;
        }
        const std::int64_t now = micros();
        for (const std::string& bytes : inbox) {
            Message m;
            if (!decode(bytes, m)) continue;
            lastHeard = now;
            if (m.sentMicros > peerSent) {
                peerSent = m.sentMicros;
                peerHeardAt = now;
            }
            // Only what the other side sent inside the steady phase counts.
            if (steadyFrom != 0 && !counting) {
                counting = true;
                sentAtSteady = sequence;
                firstCounted = highest = m.sequence;
            }
            if (counting && m.sequence >= firstCounted) {
                ++counted;
                highest = std::max(highest, m.sequence);
            }
            if (steadyFrom != 0 && m.echoMicros > lastEchoed && m.echoMicros >= steadyFrom) {
                lastEchoed = m.echoMicros;
                tally.roundTrips.push_back(now - m.echoMicros - m.heldMicros);
            }
        }
    }

    void sendDue(std::int64_t now) {
        if (now < nextSend || lost) return;
        while (nextSend <= now)
            nextSend += kFrameMicros;
        Message m;
        m.sequence = ++sequence;
        m.echoMicros = peerSent;
        m.sentMicros = micros();
        m.heldMicros = peerSent != 0 ? m.sentMicros - peerHeardAt : 0;
        link->send(encode(m));
    }
};

struct Options {
    int hosts = 0, matches = 0, guests = 0;
    std::string codes, lobbyHost;
    int lobbyPort = kDefaultLobbyPort;
    int seconds = 30;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--hosts") {
            o.hosts = std::atoi(value.c_str());
        } else if (name == "--matches") {
            o.matches = std::atoi(value.c_str());
        } else if (name == "--guests") {
            o.guests = std::atoi(value.c_str());
        } else if (name == "--codes") {
            o.codes = value;
        } else if (name == "--seconds") {
            o.seconds = std::atoi(value.c_str());
        } else if (name == "--lobby") {
            const std::size_t colon = value.rfind(':');
            if (colon == std::string::npos) return false;
            o.lobbyHost = value.substr(0, colon);
            o.lobbyPort = std::atoi(value.c_str() + colon + 1);
        } else {
            return false;
        }
    }
    const bool host = o.hosts > 0 && o.matches >= 0 && o.matches <= o.hosts && o.guests == 0;
    const bool guest = o.guests > 0 && o.hosts == 0;
    return argc % 2 == 1 && (host || guest) && !o.codes.empty() && !o.lobbyHost.empty() &&
           o.lobbyPort > 0 && o.lobbyPort <= 65535 && o.seconds > 0;
}

bool writeAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

std::vector<std::pair<std::string, CodeKeys>> derive(const std::vector<std::string>& codes) {
    std::vector<std::pair<std::string, CodeKeys>> keyed;
    for (const std::string& code : codes)
        keyed.emplace_back(code, deriveCodeKeys(code));
    return keyed;
}

// The loop's one wait: until a match's socket has something or the next
// thing is due, at most a millisecond.
class Waiter {
  public:
    Waiter() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}
    ~Waiter() { close(epoll_); }
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    void watch(const std::vector<int>& fds, std::uint32_t match) {
        for (int fd : fds) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u32 = match;
            epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
        }
    }

    // The matches with something to read.
    const std::vector<std::uint32_t>& wait(int millis) {
        ready_.clear();
        epoll_event events[256];
        const int n = epoll_wait(epoll_, events, 256, millis);
        for (int i = 0; i < n; ++i)
            ready_.push_back(events[i].data.u32);
        std::sort(ready_.begin(), ready_.end());
        ready_.erase(std::unique(ready_.begin(), ready_.end()), ready_.end());
        return ready_;
    }

  private:
    int epoll_;
    std::vector<std::uint32_t> ready_;
};

std::int64_t percentile(std::vector<std::int64_t>& sorted, double share) {
    if (sorted.empty()) return 0;
    const std::size_t at = std::min(
        sorted.size() - 1, static_cast<std::size_t>(share * static_cast<double>(sorted.size())));
    return sorted[at];
}

struct PathCount {
    int direct = 0, relayed = 0, relayBoth = 0;
};

void countPath(const IceAgent& link, PathCount& paths) {
    if (link.path() == IcePath::Direct) {
        ++paths.direct;
        return;
    }
    ++paths.relayed;
    // Through two allocations, the relay carries every datagram twice.
    const std::string pair = link.pairText();
    const std::size_t first = pair.find(" relay");
    if (first != std::string::npos && pair.find(" relay", first + 1) != std::string::npos)
        ++paths.relayBoth;
}

// Runs the steady phase's loop over the matches, and everything else that
// must be polled meanwhile, until `until` says so.
class Loop {
  public:
    Loop(std::vector<Match>& matches, Starter& starter) : matches_(matches), starter_(starter) {}

    void connect(std::size_t index) {
        Match& m = matches_[index];
        m.nextSend = micros() + kFrameMicros * static_cast<std::int64_t>(index % 64) / 64;
        m.lastHeard = micros();
        waiter_.watch(starter_.descriptors[m.link.get()], static_cast<std::uint32_t>(index));
    }

    // One turn: what is readable, what is due to be sent, and silence.
    void turn(std::int64_t steadyFrom, Tally& tally) {
        const std::int64_t waitFrom = micros();
        if (steadyFrom != 0 && lastTurnEnd_ != 0) tally.turns.push_back(waitFrom - lastTurnEnd_);
        const std::vector<std::uint32_t>& ready = waiter_.wait(1);
        const std::int64_t now = micros();
        if (steadyFrom != 0) tally.waited += now - waitFrom;
        for (std::uint32_t i : ready)
            matches_[i].drain(steadyFrom, tally);
        for (Match& m : matches_) {
            if (!m.link) continue;
            if (now >= m.nextSend) {
                m.sendDue(now);
                // Sending pumped the agent: whatever came meanwhile is read now.
                m.drain(steadyFrom, tally);
            }
            if (!m.lost && now - m.lastHeard > kSilentMicros) {
                m.lost = true;
                if (steadyFrom != 0) ++tally.sessionsLost;
            }
        }
        lastTurnEnd_ = micros();
    }

  private:
    std::vector<Match>& matches_;
    Starter& starter_;
    Waiter waiter_;
    std::int64_t lastTurnEnd_ = 0;
};

void reportTally(const char* who, Tally& tally, const std::vector<Match>& matches, double seconds) {
    std::uint64_t expected = 0, received = 0, sent = 0;
    int counting = 0;
    for (const Match& m : matches) {
        if (!m.counting) continue;
        ++counting;
        expected += m.highest - m.firstCounted + 1;
        received += m.counted;
        sent += m.sequence - m.sentAtSteady;
    }
    // Below 60 the loop fell behind: the clients, not the lobby, were short of CPU.
    say("%s sent %.1f datagrams a second per match\n", who,
        counting ? static_cast<double>(sent) / counting / seconds : 0.0);
    const std::uint64_t lost = expected > received ? expected - received : 0;
    say("%s datagrams: %llu expected, %llu received, %llu lost (%.4f%%)\n", who,
        static_cast<unsigned long long>(expected), static_cast<unsigned long long>(received),
        static_cast<unsigned long long>(lost),
        expected ? 100.0 * static_cast<double>(lost) / static_cast<double>(expected) : 0.0);
    say("%s sessions lost: %d\n", who, tally.sessionsLost);
    std::sort(tally.turns.begin(), tally.turns.end());
    if (!tally.turns.empty())
        say("%s loop: between turns p50 %.3f ms, p99 %.3f ms, max %.3f ms; %.0f%% of the time "
            "waiting\n",
            who, static_cast<double>(percentile(tally.turns, 0.5)) / 1000.0,
            static_cast<double>(percentile(tally.turns, 0.99)) / 1000.0,
            static_cast<double>(tally.turns.back()) / 1000.0,
            100.0 * static_cast<double>(tally.waited) / (seconds * 1e6));
    std::vector<std::int64_t>& rt = tally.roundTrips;
    if (rt.empty()) return;
    std::sort(rt.begin(), rt.end());
    say("round trip over all matches: %zu samples, p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
        rt.size(), static_cast<double>(percentile(rt, 0.5)) / 1000.0,
        static_cast<double>(percentile(rt, 0.99)) / 1000.0,
        static_cast<double>(rt.back()) / 1000.0);
}

// Closing hundreds of agents and broker clients one by one takes minutes of
// round trips to a lobby about to be torn down: the figures are out, so go.
[[noreturn]] void leave(int status) {
    std::fflush(stdout);
    std::_Exit(status);
}

int runHosts(const Options& o) {
    std::vector<std::string> codes;
    for (int i = 0; i < o.hosts; ++i)
        codes.push_back(makeRoomCode());
    say("deriving %d rooms' keys\n", o.hosts);
    const auto keyed = derive(codes);

    Starter starter;
    std::vector<std::unique_ptr<HostMeeting>> meetings(static_cast<std::size_t>(o.matches));
    std::vector<std::unique_ptr<RoomHost>> bare(static_cast<std::size_t>(o.hosts - o.matches));
    std::vector<Match> matches(static_cast<std::size_t>(o.matches));
    Loop loop(matches, starter);
    Tally tally;
    PathCount paths;
    const std::int64_t began = micros();
    int started = 0, failedRooms = 0, failedMatches = 0, connected = 0;
    bool codesOut = false;
    std::int64_t codesAt = 0, allConnectedAt = 0, steadyFrom = 0, steadyUntil = 0;
    double cpuAtSteady = 0;
    std::uint64_t tick = 0;
    std::vector<bool> roomFailed(static_cast<std::size_t>(o.hosts), false);

    while (true) {
        ++tick;
        for (int n = 0; n < kStartsPerTick && started < o.hosts; ++n, ++started) {
            const auto& [code, keys] = keyed[static_cast<std::size_t>(started)];
            std::string error;
            std::unique_ptr<Broker> broker =
                connectBroker(o.lobbyHost, o.lobbyPort, roomWill(keys), error);
            if (!broker) {
                say("no broker client: %s\n", error.c_str());
                return 1;
            }
            if (started < o.matches)
                meetings[static_cast<std::size_t>(started)] =
                    std::make_unique<HostMeeting>(std::move(broker), code, keys, starter.make());
            else
                bare[static_cast<std::size_t>(started - o.matches)] =
                    std::make_unique<RoomHost>(std::move(broker), code, keys);
        }
        // Each room is polled once a frame, as the game does, spread over the ticks.
        const int now = clockMillis();
        int open = 0;
        for (int i = 0; i < started; ++i) {
            const bool due = (tick + static_cast<std::uint64_t>(i)) %
                                 (steadyFrom != 0 ? kSteadyRoomTicks : kRoomTicks) ==
                             0;
            const std::size_t at = static_cast<std::size_t>(i);
            bool isOpen = false;
            if (i < o.matches) {
                HostMeeting& meeting = *meetings[at];
                if (due) meeting.poll(now);
                isOpen =
                    meeting.stage() != MeetStage::Lobby && meeting.stage() != MeetStage::Failed;
                if (meeting.stage() == MeetStage::Connected && !matches[at].link) {
                    matches[at].link = meeting.takePlayer();
                    countPath(*matches[at].link, paths);
                    loop.connect(at);
                    if (++connected == o.matches) allConnectedAt = micros();
                }
                if (meeting.stage() == MeetStage::Failed && !roomFailed[at]) {
                    roomFailed[at] = true;
                    if (!matches[at].link) ++failedMatches;
                    say("room %s failed: %s\n", meeting.code().c_str(), meeting.failure().c_str());
                }
            } else {
                RoomHost& room = *bare[at - static_cast<std::size_t>(o.matches)];
                if (due) room.poll(now);
                isOpen = room.state() == RoomState::Open;
                if ((room.state() == RoomState::Failed || room.state() == RoomState::Closed) &&
                    !roomFailed[at]) {
                    roomFailed[at] = true;
                    say("room %s failed: %s\n", room.code().c_str(), room.failure().c_str());
                }
            }
            open += isOpen ? 1 : 0;
        }
        failedRooms = static_cast<int>(std::count(roomFailed.begin(), roomFailed.end(), true));
        if (!codesOut && open == o.hosts) {
            std::string text;
            for (int i = 0; i < o.matches; ++i)
                text += codes[static_cast<std::size_t>(i)] + "\n";
            if (!writeAtomically(o.codes, text)) {
                say("cannot write %s\n", o.codes.c_str());
                return 1;
            }
            codesOut = true;
            codesAt = micros();
            say("rooms open: %d of %d, %.1f s after the first was started\n", open, o.hosts,
                static_cast<double>(codesAt - began) / 1e6);
        }
        if (!codesOut && micros() - began > kConnectMicros) {
            say("rooms open: only %d of %d after %lld s\n", open, o.hosts,
                static_cast<long long>(kConnectMicros / 1'000'000));
            return 1;
        }
        if (codesOut && steadyFrom == 0 &&
            (connected + failedMatches == o.matches || micros() - codesAt > kConnectMicros)) {
            say("matches connected: %d of %d, all in %.1f s after the codes went out\n", connected,
                o.matches,
                static_cast<double>((allConnectedAt ? allConnectedAt : micros()) - codesAt) / 1e6);
            say("paths: %d Direct, %d Relayed (%d through two allocations)\n", paths.direct,
                paths.relayed, paths.relayBoth);
            // The first frames after connecting are not the steady state.
            steadyFrom = micros() + 2'000'000;
            steadyUntil = steadyFrom + static_cast<std::int64_t>(o.seconds) * 1'000'000;
        }
        if (steadyFrom != 0 && cpuAtSteady == 0 && micros() >= steadyFrom) {
            cpuAtSteady = cpuSeconds();
            say("steady\n");
        }
        loop.turn(steadyFrom != 0 && micros() >= steadyFrom ? steadyFrom : 0, tally);
        if (steadyUntil != 0 && micros() >= steadyUntil) break;
    }
    const double cpu = cpuSeconds() - cpuAtSteady;
    say("steady over\n");
    int open = 0;
    for (int i = 0; i < o.hosts; ++i)
        open += roomFailed[static_cast<std::size_t>(i)] ? 0 : 1;
    say("rooms still open at the end: %d of %d (%d failed)\n", open, o.hosts, failedRooms);
    reportTally("host", tally, matches, o.seconds);
    say("host process CPU over the steady phase: %.1f%% of one core\n",
        100.0 * cpu / static_cast<double>(o.seconds));
    writeAtomically(o.codes + ".done", "done\n");
    leave(failedMatches == 0 && tally.sessionsLost == 0 ? 0 : 1);
}

int runGuests(const Options& o) {
    say("waiting for %s\n", o.codes.c_str());
    std::vector<std::string> codes;
    for (const std::int64_t deadline = micros() + 3 * kConnectMicros;;) {
        std::ifstream in(o.codes);
        std::string line;
        while (in && std::getline(in, line) && codes.size() < static_cast<std::size_t>(o.guests))
            if (normalRoomCode(line)) codes.push_back(*normalRoomCode(line));
        if (codes.size() == static_cast<std::size_t>(o.guests)) break;
        codes.clear();
        if (micros() > deadline) {
            say("no %d codes in %s\n", o.guests, o.codes.c_str());
            return 1;
        }
        usleep(100'000);
    }
    say("deriving %d rooms' keys\n", o.guests);
    const auto keyed = derive(codes);

    Starter starter;
    std::vector<std::unique_ptr<GuestMeeting>> meetings(codes.size());
    std::vector<Match> matches(codes.size());
    Loop loop(matches, starter);
    Tally tally;
    PathCount paths;
    const std::int64_t began = micros();
    std::size_t started = 0;
    int connected = 0, failed = 0;
    std::int64_t allConnectedAt = 0, steadyFrom = 0;
    double cpuAtSteady = 0;
    std::uint64_t tick = 0;
    const std::string done = o.codes + ".done";
    while (true) {
        ++tick;
        for (int n = 0; n < kStartsPerTick && started < keyed.size(); ++n, ++started) {
            std::string error;
            std::unique_ptr<Broker> broker = connectBroker(o.lobbyHost, o.lobbyPort, {}, error);
            if (!broker) {
                say("no broker client: %s\n", error.c_str());
                return 1;
            }
            meetings[started] = std::make_unique<GuestMeeting>(
                std::move(broker), keyed[started].first, keyed[started].second, RoomRole::Player,
                starter.make());
        }
        const int now = clockMillis();
        for (std::size_t i = 0; i < started; ++i) {
            if (!meetings[i] || (tick + i) % kRoomTicks != 0) continue;
            GuestMeeting& meeting = *meetings[i];
            meeting.poll(now);
            if (meeting.stage() == MeetStage::Connected) {
                matches[i].link = meeting.takeLink();
                countPath(*matches[i].link, paths);
                loop.connect(i);
                // The broker is no longer needed once the path is found.
                meetings[i].reset();
                if (++connected == static_cast<int>(keyed.size())) allConnectedAt = micros();
            } else if (meeting.stage() == MeetStage::Failed) {
                say("joining %s failed: %s\n", keyed[i].first.c_str(), meeting.failure().c_str());
                meetings[i].reset();
                ++failed;
            }
        }
        if (steadyFrom == 0 && (connected + failed == static_cast<int>(keyed.size()) ||
                                micros() - began > kConnectMicros)) {
            say("matches connected: %d of %d, all in %.1f s after the first join\n", connected,
                o.guests,
                static_cast<double>((allConnectedAt ? allConnectedAt : micros()) - began) / 1e6);
            say("paths: %d Direct, %d Relayed (%d through two allocations)\n", paths.direct,
                paths.relayed, paths.relayBoth);
            steadyFrom = micros() + 2'000'000;
        }
        if (steadyFrom != 0 && cpuAtSteady == 0 && micros() >= steadyFrom)
            cpuAtSteady = cpuSeconds();
        loop.turn(steadyFrom != 0 && micros() >= steadyFrom ? steadyFrom : 0, tally);
        if (tick % 100 == 0 && access(done.c_str(), F_OK) == 0) break;
        if (micros() - began > 3 * kConnectMicros + o.seconds * 1'000'000LL) {
            say("the host never finished\n");
            break;
        }
    }
    const double seconds = static_cast<double>(micros() - steadyFrom) / 1e6;
    reportTally("guest", tally, matches, seconds);
    say("guest process CPU over its steady phase: %.1f%% of one core\n",
        100.0 * (cpuSeconds() - cpuAtSteady) / seconds);
    leave(failed == 0 && tally.sessionsLost == 0 ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "Usage: flailwick_lobby_load --hosts N --matches M --codes FILE "
                     "--lobby IP:PORT [--seconds S]\n"
                     "       flailwick_lobby_load --guests M --codes FILE --lobby IP:PORT\n");
        return 2;
    }
    raiseDescriptorLimit();
    return o.hosts > 0 ? runHosts(o) : runGuests(o);
}
