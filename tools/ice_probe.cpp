// One side of an ICE connection for the network namespace tests and for
// measuring: the two sides trade descriptions through files, connect, then
// ping each other at the game's 60 a second and print the path found, the
// time from start to connected and the round trip's median and 99th
// percentile. Exits 0 when connected and answered, 1 with the reason if not.
//   flailwick_ice_probe --controlling|--controlled --mine FILE --theirs FILE
//                       [--relay HOST:PORT:USER:PASS] [--pings N] [--local ADDRESS]...
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "runtime/net/ice_link.h"

namespace {

// How long the other side's description may take to appear.
constexpr std::int64_t kWaitTheirsMillis = 30000;
// After the last ping, how long its answer may take.
constexpr std::int64_t kLastAnswerMillis = 1000;
// How long a side that is done keeps answering while the other finishes.
constexpr std::int64_t kLingerMillis = 3000;
constexpr std::size_t kPingSize = 48;

using Clock = std::chrono::steady_clock;

std::int64_t micros(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - since).count();
}

// Short, so that the round trip measured is the path's more than the polling's.
void nap() { std::this_thread::sleep_for(std::chrono::microseconds(250)); }

int fail(const std::string& why) {
    std::fprintf(stderr, "ice_probe: %s\n", why.c_str());
    return 1;
}

// HOST:PORT:USER:PASS, where the user may itself hold colons (expiry:name)
// and the password, in base64, holds none.
bool parseRelay(const std::string& text, RelayServer& relay) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    const std::size_t last = text.rfind(':');
    if (second == std::string::npos || last <= second) return false;
    relay.host = text.substr(0, first);
    relay.port = std::atoi(text.substr(first + 1, second - first - 1).c_str());
    relay.username = text.substr(second + 1, last - second - 1);
    relay.password = text.substr(last + 1);
    return !relay.host.empty() && relay.port > 0 && relay.port <= 65535;
}

bool writeAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool readBounded(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(kMaxIceDescription + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

std::string ping(char kind, std::uint64_t sequence, std::int64_t sentMicros) {
    std::string message(kPingSize, '\0');
    message[0] = kind;
    std::memcpy(&message[1], &sequence, sizeof sequence);
    std::memcpy(&message[9], &sentMicros, sizeof sentMicros);
    return message;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    int role = -1;
    std::string mine, theirs;
    RelayServer relay;
    IceOptions options;
    int pings = 200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--controlling" || arg == "--controlled")
            role = arg == "--controlling" ? 1 : 0;
        else if (arg == "--mine" && hasValue)
            mine = argv[++i];
        else if (arg == "--theirs" && hasValue)
            theirs = argv[++i];
        else if (arg == "--relay" && hasValue) {
            if (!parseRelay(argv[++i], relay)) return fail("--relay wants HOST:PORT:USER:PASS");
        } else if (arg == "--pings" && hasValue)
            pings = std::clamp(std::atoi(argv[++i]), 1, 100000);
        else if (arg == "--local" && hasValue)
            options.localAddresses.emplace_back(argv[++i]);
        else
            return fail(
                "usage: --controlling|--controlled --mine FILE --theirs FILE "
                "[--relay HOST:PORT:USER:PASS] [--pings N] [--local ADDRESS]...");
    }
    if (role < 0 || mine.empty() || theirs.empty())
        return fail("a role, --mine and --theirs are needed");

    const Clock::time_point started = Clock::now();
    std::string error;
    std::unique_ptr<IceAgent> agent = IceAgent::start(role == 1, relay, error, options);
    if (!agent) return fail(error);
    while (!agent->gathered()) {
        agent->pump();
        nap();
    }
    if (!writeAtomically(mine, agent->localDescription())) return fail("cannot write " + mine);

    std::string description;
    while (!readBounded(theirs, description)) {
        if (micros(started) / 1000 > kWaitTheirsMillis)
            return fail("the other side never described itself");
        agent->pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!agent->setRemoteDescription(description))
        return fail("the other side's description is refused");

    while (agent->path() == IcePath::Checking) {
        agent->pump();
        nap();
    }
    if (agent->path() == IcePath::Failed) return fail(agent->error());
    std::printf("path %s\npair %s\nconnected_ms %.1f\n", icePathName(agent->path()),
                agent->pairText().c_str(), static_cast<double>(micros(started)) / 1000.0);
    std::fflush(stdout);

    // Both sides ping and answer; each says goodbye once its own pings are
    // answered or given up on, and lingers to answer the other's.
    const Clock::time_point pingStart = Clock::now();
    std::vector<double> rtts;
    std::vector<std::string> arrived;
    int sent = 0;
    std::int64_t lastSent = 0, doneAt = -1;
    bool theyAreDone = false;
    while (true) {
        const std::int64_t now = micros(pingStart);
        if (sent < pings && now >= sent * 1000000LL / 60) {
            agent->send(ping('P', static_cast<std::uint64_t>(sent), now));
            lastSent = now;
            ++sent;
        }
        arrived.clear();
        if (!agent->receive(arrived)) return fail(agent->error());
        for (std::string& message : arrived) {
            if (message.size() != kPingSize) continue;
            if (message[0] == 'P') {
                message[0] = 'R';
                agent->send(message);
            } else if (message[0] == 'R') {
                std::int64_t sentMicros = 0;
                std::memcpy(&sentMicros, &message[9], sizeof sentMicros);
                if (sentMicros >= 0 && sentMicros <= now)
                    rtts.push_back(static_cast<double>(micros(pingStart) - sentMicros) / 1000.0);
            } else if (message[0] == 'B') {
                theyAreDone = true;
            }
        }
        const bool answered = static_cast<int>(rtts.size()) >= pings;
        if (doneAt < 0 && sent == pings && (answered || now - lastSent > kLastAnswerMillis * 1000))
            doneAt = now;
        if (doneAt >= 0) {
            agent->send(ping('B', 0, 0));
            if (theyAreDone || now - doneAt > kLingerMillis * 1000) break;
        }
        nap();
    }
    std::printf("rtt_ms p50 %.2f p99 %.2f (%zu of %d answered)\n", percentile(rtts, 0.5),
                percentile(rtts, 0.99), rtts.size(), pings);
    if (rtts.size() * 10 < static_cast<std::size_t>(pings) * 9)
        return fail("too many pings went unanswered");
    return 0;
}
