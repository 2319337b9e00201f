#include "runtime/settings.h"

#include <cstdlib>

namespace korvanel {

const std::array<std::string_view, kTagSwitchCount> kTagSwitchTags = {
    "<link",   "<LINK",    "dummy",   "dummy",     // LINK
    "<input",  "<INPUT",   "dummy",   "dummy",     // INPUT
    "<body",   "</body",   "<BODY",   "</BODY",    // BODY
    "<font",   "</font",   "<FONT",   "</FONT",    // FONT
    "<a",      "</a",      "<A",      "</A",       // A
    "<img",    "<IMG",     "dummy",   "dummy",     // IMG
    "<script", "</script", "<SCRIPT", "</SCRIPT",  // SCRIPT
    "<style",  "</style",  "<STYLE",  "</STYLE",   // STYLE
    "<applet", "</applet", "<APPLET", "</APPLET",  // APPLET
    "<object", "</object", "<OBJECT", "</OBJECT",  // OBJECT
    "<embed",  "<EMBED",   "dummy",   "dummy",     // EMBED
    "<meta",   "<META",    "dummy",   "dummy",     // META
    "<iframe", "</iframe", "<IFRAME", "</IFRAME",  // IFRAME
    "<",       "dummy",    "dummy",   "dummy",     // all tags
};

Settings::Settings() {
    for (int i = 0; i < kTagSwitchCount; ++i) {
        tag_switches[i].value = "0";
        tag_switches[i].tag = kTagSwitchTags[i];
    }
    localorpassive = "local";
    allow_user = "127.0.0.1to127.0.0.1";
    port = "8080";
}

void ApplyNewFileDefaults(Settings& settings) {
    settings = Settings();
    settings.http_version = "1.1";
    settings.access_log = log_mode::kPaneOnly;
    settings.send_header_log = log_mode::kPaneOnly;
    settings.recv_header_log = log_mode::kPaneOnly;
    settings.send_recv_header_log = log_mode::kPaneOnly;
    settings.cookie = "0";
    settings.setcookie = "0";
    settings.auto_start = "0";
    settings.color = "DEFAULT";
    settings.checkproxyaddress = kDefaultCheckAddress;
    settings.window_width = 920;
    settings.window_height = 700;
    settings.split_pos = 300;
    settings.window_x = 10;
    settings.window_y = 10;
}

int ComputeTagFilterActive(const Settings& settings) {
    for (const TagSwitch& row : settings.tag_switches) {
        if (std::atoi(row.value.c_str()) == 1 && !StartsWithN(row.tag, "dummy", 5)) return 1;
    }
    return 0;
}

const ProxyLogin* Settings::LoginOf(std::string_view address) const {
    for (const ProxyLogin& login : proxy_logins) {
        if (login.address == address) return &login;
    }
    return nullptr;
}

}  // namespace korvanel
