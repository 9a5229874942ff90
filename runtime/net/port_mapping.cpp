// NAT-PMP first (one datagram to the router, answered at once where it is
// spoken), then UPnP's discovery on the local network. Every wait is bounded,
// so a silent router costs a few seconds beside the game and never a frame.
#include "runtime/net/port_mapping.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>
#include <sys/select.h>

#include <chrono>
#include <cstring>

namespace {

// An hour, asked again by nobody: a game that crashes leaves the port open
// no longer than that.
constexpr unsigned kLeaseSeconds = 3600;
constexpr int kNatPmpMillis = 1500;
constexpr int kUpnpDiscoverMillis = 1500;

std::int64_t steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One NAT-PMP request and its answer, giving up at the deadline.
bool natPmpAnswer(natpmp_t& pmp, std::int64_t deadline, natpmpresp_t& answer,
                  const std::atomic<bool>& leaving) {
    for (;;) {
        const int r = readnatpmpresponseorretry(&pmp, &answer);
        if (r >= 0) return answer.resultcode == 0;
        if (r != NATPMP_TRYAGAIN) return false;
        const std::int64_t left = deadline - steadyMillis();
        if (left <= 0 || leaving) return false;
        timeval wait{};
        getnatpmprequesttimeout(&pmp, &wait);
        const std::int64_t waitMillis = wait.tv_sec * 1000 + wait.tv_usec / 1000;
        if (waitMillis > left) wait = timeval{left / 1000, static_cast<long>(left % 1000) * 1000};
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(pmp.s, &readable);
        select(pmp.s + 1, &readable, nullptr, nullptr, &wait);
    }
}

bool openNatPmp(natpmp_t& pmp, const std::string& gateway) {
    if (gateway.empty()) return initnatpmp(&pmp, 0, 0) >= 0;
    in_addr address{};
    if (inet_pton(AF_INET, gateway.c_str(), &address) != 1) return false;
    return initnatpmp(&pmp, 1, address.s_addr) >= 0;
}

}  // namespace

PortMapping::PortMapping(int port, const Routers& routers) : port_(port), routers_(routers) {
    asker_ = std::thread([this] { ask(); });
}

PortMapping::~PortMapping() {
    leaving_ = true;
    asker_.join();
    removeMapping();
}

PortMapping::State PortMapping::state() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::string PortMapping::publicAddress() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return address_;
}

std::string PortMapping::how() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return how_;
}

void PortMapping::settle(State state, const std::string& address, const std::string& how) {
    const std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    address_ = address;
    how_ = how;
}

void PortMapping::ask() {
    if (askNatPmp()) return;
    if (routers_.upnp && !leaving_ && askUpnp()) return;
    settle(State::Failed, "", "");
}

bool PortMapping::askNatPmp() {
    natpmp_t pmp{};
    if (!openNatPmp(pmp, routers_.gateway)) return false;
    const std::int64_t deadline = steadyMillis() + kNatPmpMillis;
    natpmpresp_t answer{};
    bool mapped = false;
    if (sendpublicaddressrequest(&pmp) >= 0 && natPmpAnswer(pmp, deadline, answer, leaving_) &&
        answer.type == NATPMP_RESPTYPE_PUBLICADDRESS) {
        char ip[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &answer.pnu.publicaddress.addr, ip, sizeof ip);
        const std::string publicIp = ip;
        const auto p = static_cast<std::uint16_t>(port_);
        if (sendnewportmappingrequest(&pmp, NATPMP_PROTOCOL_UDP, p, p, kLeaseSeconds) >= 0 &&
            natPmpAnswer(pmp, deadline, answer, leaving_) &&
            answer.type == NATPMP_RESPTYPE_UDPPORTMAPPING &&
            answer.pnu.newportmapping.privateport == p && answer.pnu.newportmapping.lifetime > 0) {
            // The router may give another public port than the one asked for.
            publicPort_ = answer.pnu.newportmapping.mappedpublicport;
            settle(State::Mapped, publicIp + ":" + std::to_string(publicPort_), "NAT-PMP");
            mapped = true;
        }
    }
    closenatpmp(&pmp);
    return mapped;
}

bool PortMapping::askUpnp() {
    int error = 0;
    // Every kind of router asked at once: one after another costs a wait each.
    static const char* const kinds[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                        "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
                                        "urn:schemas-upnp-org:service:WANIPConnection:1",
                                        "urn:schemas-upnp-org:service:WANPPPConnection:1", nullptr};
    UPNPDev* devices =
        upnpDiscoverDevices(kinds, kUpnpDiscoverMillis, nullptr, nullptr, 0, 0, 2, &error, 1);
    if (devices == nullptr) return false;
    UPNPUrls urls{};
    IGDdatas data{};
    char lan[64] = {};
    const int found = UPNP_GetValidIGD(devices, &urls, &data, lan, sizeof lan);
    freeUPNPDevlist(devices);
    bool mapped = false;
    char publicIp[40] = {};
    if (found == 1 && !leaving_ &&
        UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, publicIp) == 0) {
        const std::string port = std::to_string(port_);
        const std::string lease = std::to_string(kLeaseSeconds);
        int r = UPNP_AddPortMapping(urls.controlURL, data.first.servicetype, port.c_str(),
                                    port.c_str(), lan, "Flailwick", "UDP", nullptr, lease.c_str());
        // Some routers take only mappings that last until they are removed.
        if (r == 725)
            r = UPNP_AddPortMapping(urls.controlURL, data.first.servicetype, port.c_str(),
                                    port.c_str(), lan, "Flailwick", "UDP", nullptr, "0");
        if (r == 0) {
            upnpControl_ = urls.controlURL;
            upnpService_ = data.first.servicetype;
            publicPort_ = port_;
            settle(State::Mapped, std::string(publicIp) + ":" + port, "UPnP");
            mapped = true;
        }
    }
    FreeUPNPUrls(&urls);
    return mapped;
}

void PortMapping::removeMapping() {
    if (state() != State::Mapped) return;
    if (!upnpControl_.empty()) {
        const std::string port = std::to_string(publicPort_);
        UPNP_DeletePortMapping(upnpControl_.c_str(), upnpService_.c_str(), port.c_str(), "UDP",
                               nullptr);
        return;
    }
    // A lifetime of 0 takes the mapping away.
    natpmp_t pmp{};
    if (!openNatPmp(pmp, routers_.gateway)) return;
    natpmpresp_t answer{};
    const std::atomic<bool> staying{false};
    const auto p = static_cast<std::uint16_t>(port_);
    if (sendnewportmappingrequest(&pmp, NATPMP_PROTOCOL_UDP, p, 0, 0) >= 0)
        natPmpAnswer(pmp, steadyMillis() + 500, answer, staying);
    closenatpmp(&pmp);
}
