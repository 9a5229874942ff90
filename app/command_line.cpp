// Reading the options, and the help that lists them.
#include "app/command_line.h"

#include <cstring>

#include "netplay/rollback.h"
#include "runtime/files.h"
#include "runtime/net/link.h"
#include "runtime/numbers.h"

namespace {

CommandLine wrong(const std::string& why) {
    CommandLine c;
    c.action = CommandLine::Wrong;
    c.error = why;
    return c;
}

}  // namespace

const char* helpText() {
    return "Usage: flailwick [OPTION]\n"
           "Flailwick, a fighting game of stick figures. Without an option the game starts.\n"
           "\n"
           "  --replay [FILE]    watch a recorded fight (without FILE, the newest one);\n"
           "                     P pauses, Esc leaves\n"
           "  --verify FILE...   play recorded fights unseen, without a window or sound,\n"
           "                     and check that each plays exactly as it was recorded\n"
           "  --synctest FILE... as --verify, and after every frame go back 1 to 8 frames\n"
           "                     and play them again, as online play does\n"
           "  --timedemo FILE    play a recorded fight as fast as the display allows and\n"
           "                     print its frame times\n"
           "  --host [PORT]      host an online versus series: wait for the other player\n"
           "                     on PORT (27960 when not given); the host is player 1\n"
           "  --join HOST[:PORT] join the online versus series hosted at HOST\n"
           "  --delay N|auto     with --host or --join: your keys act N frames later\n"
           "                     (0 to 8; auto, the default, chooses from the round trip)\n"
           "  --help             show this help\n"
           "\n"
           "Every fight is recorded in $XDG_DATA_HOME/flailwick/replays (by default\n"
           "~/.local/share/flailwick/replays); the newest 100 are kept.\n"
           "Exit status: 0 when all went well, 1 when a recorded fight was refused or\n"
           "played differently, 2 for an unknown option or a missing file.\n";
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine c;
    if (argc <= 1) return c;
    const std::string option = argv[1];
    std::vector<std::string> rest(argv + 2, argv + argc);
    if (option == "--help" || option == "-h") {
        c.action = CommandLine::Help;
        return rest.empty() ? c : wrong("--help takes nothing after it");
    }
    if (option == "--host" || option == "--join") {
        c.action = option == "--host" ? CommandLine::Host : CommandLine::Join;
        c.port = kDefaultPort;
        std::size_t i = 0;
        if (c.action == CommandLine::Join) {
            if (rest.empty() || rest[0].rfind("--", 0) == 0) return wrong("--join needs a HOST");
            c.address = rest[0];
            const std::size_t colon = c.address.rfind(':');
            if (colon != std::string::npos) {
                c.port = textToInt(c.address.substr(colon + 1));
                c.address.erase(colon);
            }
            i = 1;
        } else if (!rest.empty() && rest[0].rfind("--", 0) != 0) {
            c.port = textToInt(rest[0]);
            i = 1;
        }
        if (c.port < 1 || c.port > 65535) return wrong("a PORT is a number from 1 to 65535");
        if (i < rest.size() && rest[i] == "--delay") {
            if (i + 1 >= rest.size()) return wrong("--delay needs a number of frames");
            c.inputDelay = rest[i + 1] == "auto" ? -1 : textToInt(rest[i + 1]);
            const std::string back = std::to_string(c.inputDelay);
            if (rest[i + 1] != "auto" &&
                (back != rest[i + 1] || c.inputDelay < 0 || c.inputDelay > kMaxInputDelay))
                return wrong("--delay takes 0 to 8 frames, or auto");
            i += 2;
        }
        if (i < rest.size()) return wrong("unknown option '" + rest[i] + "'");
        return c;
    }
    if (option == "--replay") {
        c.action = CommandLine::Replay;
        if (rest.size() > 1) return wrong("--replay takes one FILE at most");
    } else if (option == "--verify") {
        c.action = CommandLine::Verify;
        if (rest.empty()) return wrong("--verify needs at least one FILE");
    } else if (option == "--synctest") {
        c.action = CommandLine::Synctest;
        if (rest.empty()) return wrong("--synctest needs at least one FILE");
    } else if (option == "--timedemo") {
        c.action = CommandLine::Timedemo;
        if (rest.size() != 1) return wrong("--timedemo needs one FILE");
    } else {
        return wrong("unknown option '" + option + "' (flailwick --help lists the options)");
    }
    for (const std::string& file : rest) {
        if (file.rfind("--", 0) == 0 && file.size() > 2)
            return wrong("unknown option '" + file + "'");
        if (!fileExists(file)) return wrong("there is no file '" + file + "'");
    }
    c.files = std::move(rest);
    return c;
}
