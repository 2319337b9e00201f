// What a browser command takes from the settings, copied under the settings lock at its
// start: the port to point the browser at, and whether the HTTPS proxy and the user's CA
// go with it (the CA the running inspector holds).
#pragma once

#include <mutex>
#include <string>

#include "platform/fixed_text.h"
#include "runtime/runtime.h"

namespace korvanel {

struct BrowserSettings {
    FixedText<10> port;         // copied for set only
    bool tunnel = false;        // the HTTPS proxy points at the proxy as well
    bool inspect = false;       // the browser trusts the user's CA (tunnels on, inspection on)
    std::string authority_pem;  // the open inspector's CA certificate; empty: none is open
};

inline BrowserSettings CopyBrowserSettings(Runtime& rt, bool set) {
    BrowserSettings values;
    {
        Hold settings(rt.locks.settings);
        if (set) values.port = rt.settings.port.view();
        values.tunnel = rt.settings.https_tunnel;
        values.inspect = rt.settings.InspectsHttps();
    }
    std::lock_guard<std::mutex> tls(rt.tls.mutex);
    values.authority_pem = rt.authority_pem;
    return values;
}

}  // namespace korvanel
