// What a browser command takes from the settings, copied under the settings lock at its
// start: the port to point the browser at, and whether the HTTPS proxy and the user's CA
// go with it.
#pragma once

#include <string>

#include "platform/fixed_text.h"
#include "runtime/runtime.h"
#include "runtime/tls_files.h"

namespace korvanel {

struct BrowserSettings {
    FixedText<10> port;     // copied for set only
    bool tunnel = false;    // the HTTPS proxy points at the proxy as well
    bool inspect = false;   // the browser trusts the user's CA (tunnels on, inspection on)
    std::string authority;  // the CA's certificate file
};

inline BrowserSettings CopyBrowserSettings(Runtime& rt, bool set) {
    BrowserSettings values;
    Hold settings(rt.locks.settings);
    if (set) values.port = rt.settings.port.view();
    values.tunnel = rt.settings.https_tunnel;
    values.inspect = rt.settings.InspectsHttps();
    values.authority = rt.PathOf(kAuthorityCertificateFile);
    return values;
}

}  // namespace korvanel
