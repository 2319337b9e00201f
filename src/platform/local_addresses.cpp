#include "platform/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace korvanel {

std::vector<uint32_t> ListLocalIpv4() {
    std::vector<uint32_t> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return addresses;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        uint32_t address = ntohl(in->sin_addr.s_addr);
        if ((address >> 24) == 127) continue;
        addresses.push_back(address);
    }
    freeifaddrs(list);
    return addresses;
}

bool ReadHostName(char* out, std::size_t capacity) {
    if (capacity == 0) return false;
    if (gethostname(out, capacity) != 0) return false;
    out[capacity - 1] = '\0';
    return true;
}

bool LookUpName(uint32_t host_order, NameForm form, char* out, std::size_t capacity) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host_order);
    int flags = 0;
    switch (form) {
        case NameForm::kShortName:
            flags = NI_NOFQDN;
            break;
        case NameForm::kNumericHost:
            flags = NI_NUMERICHOST;
            break;
        case NameForm::kNameRequired:
            flags = NI_NAMEREQD;
            break;
        case NameForm::kFullName:
            flags = NI_NUMERICSERV;
            break;
    }
    char name[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name, sizeof name,
                    nullptr, 0, flags) != 0) {
        return false;
    }
    std::size_t length = strnlen(name, sizeof name);
    if (length >= capacity) length = capacity - 1;
    std::memcpy(out, name, length);
    out[length] = '\0';
    return true;
}

}  // namespace korvanel
