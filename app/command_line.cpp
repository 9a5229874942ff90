// Reading the options, and the help that lists them.
#include "app/command_line.h"

#include <string>
#include <vector>

#include "fight/simulation_version.h"
#include "netplay/messages.h"
#include "netplay/online.h"
#include "netplay/rollback.h"
#include "netplay/room_code.h"
#include "replay/format.h"
#include "runtime/files.h"
#include "runtime/net/broker.h"
#include "runtime/net/link.h"

namespace {

CommandLine wrong(const std::string& why) {
    CommandLine c;
    c.action = CommandLine::Wrong;
    c.error = why;
    return c;
}

// Plain decimal digits and nothing else, from 0 to most: no sign, spaces, hex
// or trailing letters, and never a large number wrapped into range.
bool readCount(const std::string& text, int most, int& out) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        value = value * 10 + (ch - '0');
    }
    if (value > most) return false;
    out = static_cast<int>(value);
    return true;
}

// HOST[:PORT], the port kept as it was when none is given.
std::string readAddress(const std::string& text, std::string& host, int& port) {
    host = text;
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos) {
        if (!readCount(host.substr(colon + 1), 65535, port) || port < 1)
            return "a PORT is a number from 1 to 65535";
        host.erase(colon);
    }
    if (host.empty()) return "a HOST is needed before the :PORT";
    return "";
}

bool isOption(const std::string& arg) {
    return (arg.size() > 2 && arg.rfind("--", 0) == 0) || arg == "-h";
}

struct Action {
    const char* name;
    CommandLine::Action action;
};
constexpr Action kActions[] = {
    {"--help", CommandLine::Help},         {"-h", CommandLine::Help},
    {"--version", CommandLine::Version},   {"--replay", CommandLine::Replay},
    {"--verify", CommandLine::Verify},     {"--synctest", CommandLine::Synctest},
    {"--timedemo", CommandLine::Timedemo}, {"--host", CommandLine::Host},
    {"--join", CommandLine::Join},         {"--watch", CommandLine::Watch},
};

// Checks what followed the action's option and fills it in; empty when right.
std::string takeOperands(const std::string& option, const std::vector<std::string>& operands,
                         CommandLine& c) {
    switch (c.action) {
        case CommandLine::Help:
        case CommandLine::Version:
            if (!operands.empty()) return option + " takes nothing after it";
            return "";
        case CommandLine::Host:
            if (operands.size() > 1) return "--host takes one PORT at most";
            c.port = kDefaultPort;
            c.portGiven = !operands.empty();
            if (c.portGiven && !readCount(operands[0], 65535, c.port)) c.port = 0;
            break;
        case CommandLine::Join:
        case CommandLine::Watch:
            if (operands.size() > 1) return option + " takes one CODE or HOST[:PORT]";
            c.port = kDefaultPort;
            if (operands.empty()) break;
            if (looksLikeRoomCode(operands[0])) {
                c.roomCode = *normalRoomCode(operands[0]);
                break;
            }
            if (const std::string why = readAddress(operands[0], c.address, c.port); !why.empty())
                return why;
            break;
        case CommandLine::Replay:
            if (operands.size() > 1) return "--replay takes one FILE at most";
            break;
        case CommandLine::Verify:
        case CommandLine::Synctest:
            if (operands.empty()) return option + " needs at least one FILE";
            break;
        case CommandLine::Timedemo:
            if (operands.size() != 1) return "--timedemo needs one FILE";
            break;
        default:
            break;
    }
    const bool online = c.action == CommandLine::Host || c.action == CommandLine::Join ||
                        c.action == CommandLine::Watch;
    if (online && c.port < 1) return "a PORT is a number from 1 to 65535";
    // A fight that cannot be watched stops here; checking goes on past a missing
    // one and reports it among the others.
    if (c.action == CommandLine::Replay || c.action == CommandLine::Timedemo) {
        for (const std::string& file : operands)
            if (!fileExists(file)) return "there is no file '" + file + "'";
    }
    if (!online) c.files = operands;
    return "";
}

}  // namespace

std::string builtInLobby() { return FLAILWICK_LOBBY; }

std::string readLobby(const std::string& text, std::string& host, int& port) {
    port = kDefaultLobbyPort;
    return readAddress(text, host, port);
}

std::string versionText() {
    return std::string("Flailwick ") + FLAILWICK_VERSION + "\nsimulation " +
           hashText(kSimulationVersion) + ", online protocol " + std::to_string(kOnlineProtocol) +
           "\n";
}

std::string helpText() {
    return std::string(
               "Usage: flailwick [OPTION]\n"
               "Flailwick ") +
           FLAILWICK_VERSION +
           ", a fighting game of stick figures. Without an option the game starts.\n"
           "\n"
           "  --replay [FILE]    watch a recorded fight (without FILE, the newest one);\n"
           "                     Space pauses, Left and Right seek 5 s, Up and Down\n"
           "                     change the speed, Esc leaves\n"
           "  --verify FILE...   play recorded fights unseen, without a window or sound,\n"
           "                     and check that each plays exactly as it was recorded\n"
           "  --synctest FILE... as --verify, and after every frame go back 1 to 8 frames\n"
           "                     and play them again, as online play does\n"
           "  --timedemo FILE    play a recorded fight as fast as the display allows and\n"
           "                     print its frame times\n"
           "  --host [PORT]      host an online versus series; the host is player 1.\n"
           "                     With a lobby and no PORT: open a room and show its code.\n"
           "                     Otherwise wait for the other player on UDP PORT (27960\n"
           "                     when not given), asking the router to open it\n"
           "  --coop             with --host: the co-op game of twenty levels instead,\n"
           "                     with the host's high-score table; player 1 types the name\n"
           "  --join [CODE]      join the room with CODE through the lobby, versus or\n"
           "                     co-op; without CODE, type it in the window\n"
           "  --join HOST[:PORT] join the game hosted at HOST directly\n"
           "  --lobby HOST[:PORT] the lobby where rooms meet, for --host, --join and --watch\n"
           "                     (port 1883 when not given);\n"
           "                     else $FLAILWICK_LOBBY, else " +
           (builtInLobby().empty() ? std::string("none") : builtInLobby()) +
           "\n"
           "  --delay N|auto     with --host or --join: your keys act N frames later\n"
           "                     (0 to 8; auto, the default, chooses from the round trip)\n"
           "  --watch [CODE|HOST[:PORT]]\n"
           "                     watch the online game in the room with CODE, or hosted\n"
           "                     at HOST, a moment behind the players (a host takes up\n"
           "                     to 8 watchers); without either, type the code; Esc leaves\n"
           "  --version          show the version, and the simulation and online protocol\n"
           "                     versions that recordings and the other player must share\n"
           "  --help             show this help\n"
           "\n"
           "Every fight is recorded in $XDG_DATA_HOME/flailwick/replays (by default\n"
           "~/.local/share/flailwick/replays); the newest 100 are kept.\n"
           "Exit status: 0 when all went well, 1 when a recorded fight was refused,\n"
           "missing or played differently, 2 for a wrong option or a missing file.\n"
           "See also: man 6 flailwick\n";
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine c;
    std::string actionOption;  // as written, for the messages
    bool delayGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--coop") {
            c.coop = true;
            continue;
        }
        if (arg == "--lobby") {
            if (i + 1 >= argc || isOption(argv[i + 1])) return wrong("--lobby needs a HOST[:PORT]");
            c.lobby = argv[++i];
            std::string host;
            int port = 0;
            if (const std::string why = readLobby(c.lobby, host, port); !why.empty())
                return wrong("--lobby: " + why);
            continue;
        }
        if (arg == "--delay") {
            if (i + 1 >= argc || isOption(argv[i + 1]))
                return wrong("--delay needs a number of frames");
            const std::string delay = argv[++i];
            if (delay == "auto") {
                c.inputDelay = kAutoDelay;
            } else if (!readCount(delay.c_str(), kMaxInputDelay, c.inputDelay)) {
                return wrong("--delay takes 0 to 8 frames, or auto");
            }
            delayGiven = true;
            continue;
        }
        const Action* found = nullptr;
        for (const Action& a : kActions)
            if (arg == a.name) found = &a;
        if (!found) {
            return wrong("unknown option '" + arg + "'" +
                         (actionOption.empty() ? " (flailwick --help lists the options)" : ""));
        }
        if (!actionOption.empty())
            return wrong(actionOption + " and " + arg + " cannot be used together");
        actionOption = arg;
        c.action = found->action;
        std::vector<std::string> operands;
        while (i + 1 < argc && !isOption(argv[i + 1]))
            operands.emplace_back(argv[++i]);
        const std::string why = takeOperands(arg, operands, c);
        if (!why.empty()) return wrong(why);
    }
    if (delayGiven && c.action != CommandLine::Host && c.action != CommandLine::Join)
        return wrong("--delay needs --host or --join");
    if (!c.lobby.empty()) {
        if (c.action != CommandLine::Host && c.action != CommandLine::Join &&
            c.action != CommandLine::Watch)
            return wrong("--lobby needs --host, --join or --watch");
        if (c.portGiven) return wrong("--host PORT hosts directly: leave out the PORT for a room");
        if (!c.address.empty())
            return wrong(actionOption + " HOST connects directly: give a room code");
    }
    // The joiner plays what the host chose.
    if (c.coop && c.action != CommandLine::Host) return wrong("--coop needs --host");
    return c;
}
