// flailwick-issuer: hands out the relay's time-limited credentials to
// players through the lobby's broker, so the relay's secret never ships in
// the game. Stateless: several can share one broker's request topic.
#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "runtime/net/relay_credentials.h"
#include "server/turn_password.h"

namespace {

constexpr const char* kSharedRequests = "$share/issuers/flailwick/turn/request";
constexpr std::size_t kMaxSecret = 4096;

volatile std::sig_atomic_t stopping = 0;

void stop(int) { stopping = 1; }

struct Options {
    std::string brokerHost = "127.0.0.1";
    int brokerPort = kDefaultLobbyPort;
    std::string user = "issuer";
    std::string passwordFile;
    std::string secretFile;
    std::string relayHost;
    int relayPort = 3478;
    long lifetime = 3600;  // seconds the credentials last
};

struct Issuer {
    Options options;
    std::string secret;
};

bool splitAddress(const std::string& text, std::string& host, int& port) {
    const std::size_t colon = text.rfind(':');
    std::string name = colon == std::string::npos ? text : text.substr(0, colon);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    if (name.empty()) return false;
    host = name;
    if (colon == std::string::npos) return true;
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    port = std::stoi(digits);
    return port >= 1 && port <= 65535;
}

// The whole file, less a final line break; empty when it cannot be read or is too long.
std::string readSmallFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text(kMaxSecret + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad() || file.gcount() > static_cast<std::streamsize>(kMaxSecret)) return {};
    text.resize(static_cast<std::size_t>(file.gcount()));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

void onConnect(mosquitto* client, void*, int reason, int, const mosquitto_property*) {
    if (reason != 0) {
        std::cerr << "flailwick-issuer: the broker refused us: " << mosquitto_reason_string(reason)
                  << "\n";
        return;
    }
    mosquitto_subscribe_v5(client, nullptr, kSharedRequests, 1, 0, nullptr);
    std::cerr << "flailwick-issuer: answering requests\n";
}

void onMessage(mosquitto* client, void* self, const mosquitto_message* message,
               const mosquitto_property*) {
    const auto& issuer = *static_cast<const Issuer*>(self);
    if (message->payload == nullptr || message->payloadlen <= 0 || message->payloadlen > 32) {
        return;
    }
    const std::string id(static_cast<const char*>(message->payload),
                         static_cast<std::size_t>(message->payloadlen));
    if (!validReplyId(id)) return;
    RelayCredentials credentials;
    credentials.host = issuer.options.relayHost;
    credentials.port = issuer.options.relayPort;
    credentials.expiry = static_cast<std::int64_t>(std::time(nullptr)) + issuer.options.lifetime;
    credentials.username = std::to_string(credentials.expiry) + ":" + id;
    credentials.password = turnPassword(issuer.secret, credentials.username);
    const std::string reply = writeRelayCredentials(credentials);
    const std::string topic = kRelayReplyPrefix + id;
    // Kept a short while only: a reply nobody waits for is worth nothing.
    mosquitto_property* properties = nullptr;
    mosquitto_property_add_int32(&properties, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL, 30);
    mosquitto_publish_v5(client, nullptr, topic.c_str(), static_cast<int>(reply.size()),
                         reply.data(), 1, false, properties);
    mosquitto_property_free_all(&properties);
}

int usage(const char* why) {
    std::cerr << "flailwick-issuer: " << why << "\n"
              << "Usage: flailwick-issuer --secret-file FILE --relay HOST[:PORT]\n"
                 "         [--broker HOST[:PORT]] [--user NAME] [--password-file FILE]\n"
                 "         [--lifetime SECONDS]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Issuer issuer;
    Options& options = issuer.options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return usage(("no value after " + flag).c_str());
        const std::string value = argv[++i];
        if (flag == "--broker") {
            if (!splitAddress(value, options.brokerHost, options.brokerPort)) {
                return usage("--broker takes HOST[:PORT]");
            }
        } else if (flag == "--relay") {
            if (!splitAddress(value, options.relayHost, options.relayPort)) {
                return usage("--relay takes HOST[:PORT]");
            }
        } else if (flag == "--secret-file") {
            options.secretFile = value;
        } else if (flag == "--user") {
            options.user = value;
        } else if (flag == "--password-file") {
            options.passwordFile = value;
        } else if (flag == "--lifetime") {
            if (value.empty() || value.size() > 5 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                return usage("--lifetime takes 60 to 86400 seconds");
            }
            options.lifetime = std::stol(value);
            if (options.lifetime < 60 || options.lifetime > 86400) {
                return usage("--lifetime takes 60 to 86400 seconds");
            }
        } else {
            return usage(("unknown option " + flag).c_str());
        }
    }
    if (options.secretFile.empty()) return usage("--secret-file is needed");
    if (options.relayHost.empty()) return usage("--relay is needed");
    issuer.secret = readSmallFile(options.secretFile);
    if (issuer.secret.empty()) {
        std::cerr << "flailwick-issuer: no secret in " << options.secretFile << "\n";
        return 1;
    }
    std::string password;
    if (!options.passwordFile.empty()) {
        password = readSmallFile(options.passwordFile);
        if (password.empty()) {
            std::cerr << "flailwick-issuer: no password in " << options.passwordFile << "\n";
            return 1;
        }
    }

    std::signal(SIGINT, stop);
    std::signal(SIGTERM, stop);
    mosquitto_lib_init();
    mosquitto* client = mosquitto_new(nullptr, true, &issuer);
    if (client == nullptr) {
        std::cerr << "flailwick-issuer: cannot make an MQTT client\n";
        return 1;
    }
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    if (!password.empty())
        mosquitto_username_pw_set(client, options.user.c_str(), password.c_str());
    mosquitto_connect_v5_callback_set(client, onConnect);
    mosquitto_message_v5_callback_set(client, onMessage);

    bool connected = false;
    while (stopping == 0) {
        if (!connected) {
            connected = mosquitto_connect(client, options.brokerHost.c_str(), options.brokerPort,
                                          30) == MOSQ_ERR_SUCCESS;
            if (!connected) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                continue;
            }
        }
        if (mosquitto_loop(client, 500, 1) != MOSQ_ERR_SUCCESS) {
            std::cerr << "flailwick-issuer: lost the broker; connecting again\n";
            connected = false;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    if (connected) mosquitto_disconnect(client);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();
    return 0;
}
