// A plugin for the lobby's broker (mosquitto 2.0) that refuses players any
// subscription with a wildcard. Mosquitto's ACL file grants a subscription
// whatever its filter and checks only each message's topic as it is
// delivered, so "flailwick/room/#" would read every room; players need
// exact topics alone. Everything else is left to the ACL file.
#include <mosquitto.h>
#include <mosquitto_broker.h>
#include <mosquitto_plugin.h>

#include <cstring>

namespace {

mosquitto_plugin_id_t* plugin = nullptr;

int checkAccess(int, void* eventData, void*) {
    const auto* check = static_cast<const mosquitto_evt_acl_check*>(eventData);
    // Only the lobby's own services log in with a name.
    if (check->access == MOSQ_ACL_SUBSCRIBE &&
        mosquitto_client_username(check->client) == nullptr &&
        (check->topic == nullptr || std::strpbrk(check->topic, "+#") != nullptr)) {
        return MOSQ_ERR_ACL_DENIED;
    }
    return MOSQ_ERR_PLUGIN_DEFER;
}

}  // namespace

extern "C" {

int mosquitto_plugin_version(int count, const int* versions) {
    for (int i = 0; i < count; ++i) {
        if (versions[i] == 5) return 5;
    }
    return -1;
}

int mosquitto_plugin_init(mosquitto_plugin_id_t* identifier, void**, mosquitto_opt*, int) {
    plugin = identifier;
    return mosquitto_callback_register(plugin, MOSQ_EVT_ACL_CHECK, checkAccess, nullptr, nullptr);
}

int mosquitto_plugin_cleanup(void*, mosquitto_opt*, int) {
    return mosquitto_callback_unregister(plugin, MOSQ_EVT_ACL_CHECK, checkAccess, nullptr);
}
}
