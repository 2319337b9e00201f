// External address discovery through the Internet gateway (MiniUPnPc).
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include "checker/local_identity.h"

namespace korvanel {

ExternalAddress DiscoverExternalAddress(int delay_ms) {
    ExternalAddress external;
    int error = 0;  // not examined: no device simply means no address
    UPNPDev* devices = upnpDiscover(delay_ms, nullptr, nullptr, 0, 0, 2, &error);
    if (devices == nullptr) return external;

    UPNPUrls urls{};
    IGDdatas data{};
    char lan_address[kUpnpLanAddressCapacity] = "";
#if MINIUPNPC_API_VERSION >= 18
    char wan_address[kUpnpLanAddressCapacity] = "";
    int found = UPNP_GetValidIGD(devices, &urls, &data, lan_address, sizeof lan_address,
                                 wan_address, sizeof wan_address);
#else
    int found = UPNP_GetValidIGD(devices, &urls, &data, lan_address, sizeof lan_address);
#endif
    if (found != 0) {
        // A gateway that says it is not connected, or another device, is asked all the same;
        // an empty answer means unknown.
        char address[40] = "";
        if (urls.controlURL != nullptr) {
            UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, address);
        }
        external = address;
        FreeUPNPUrls(&urls);
    }
    freeUPNPDevlist(devices);
    return external;
}

}  // namespace korvanel
