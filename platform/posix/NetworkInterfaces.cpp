#include "platform/NetworkInterfaces.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>

namespace platform {

namespace {

bool PathExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Wireless interfaces report the Ethernet hardware type too; sysfs tells them apart.
bool IsWireless(const std::string& name) {
    const std::string device = "/sys/class/net/" + name;
    return PathExists(device + "/wireless") || PathExists(device + "/phy80211");
}

}  // namespace

std::vector<NetworkInterface> ListNetworkInterfaces() {
    std::vector<NetworkInterface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return interfaces;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        NetworkInterface interface;
        interface.name = entry->ifa_name;
        interface.hardwareType = link->sll_hatype;
        interface.isLoopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        interface.isWireless = IsWireless(interface.name);
        const size_t length = std::min<size_t>(link->sll_halen, sizeof link->sll_addr);
        interface.address.assign(link->sll_addr, link->sll_addr + length);
        interfaces.push_back(std::move(interface));
    }
    freeifaddrs(list);
    return interfaces;
}

}  // namespace platform
