#include "ui/main/window_pages.h"

#include <QtCore/QPointer>
#include <memory>

#include "runtime/runtime.h"
#include "settings/list_commands.h"
#include "texts.h"
#include "ui/dialogs/config_dialog.h"
#include "ui/main/main_window.h"
#include "ui/pages/cookie_page.h"
#include "ui/pages/header_rule_page.h"
#include "ui/pages/proxy_page.h"
#include "ui/pages/user_agent_page.h"

namespace korvanel::ui {

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// The status bar shows the two cookie switches as `Settings` holds them.
void ShowCookieSwitches(Runtime& rt) {
    bool set_cookie, cookie;
    {
        Hold hold(rt.locks.settings);
        set_cookie = rt.settings.setcookie.view() == "1";
        cookie = rt.settings.cookie.view() == "1";
    }
    rt.front.SetStatusBar(kSetCookieStatusPart, set_cookie ? text::kStatusBarSetCookieRemoved
                                                           : text::kStatusBarSetCookieKept);
    rt.front.SetStatusBar(kCookieStatusPart,
                          cookie ? text::kStatusBarCookieRemoved : text::kStatusBarCookieKept);
}

// Status-bar parts 0 and 1 show the proxy and the User-Agent in use as the lists hold them,
// in the words the pages use when a row is put to use.
void ShowRowsInUse(Runtime& rt) {
    std::string proxy = text::kStatusBarNoProxy;
    std::string agent = text::kStatusBarNoUserAgent;
    {
        Hold hold(rt.locks.settings);
        if (const ProxyEntry* row = rt.settings.proxies.at(FindProxyInUse(rt.settings))) {
            proxy = std::string(text::kStatusBarProxy) + row->address.str();
        }
        if (const UserAgentEntry* row =
                rt.settings.user_agents.at(FindUserAgentInUse(rt.settings))) {
            agent = std::string(text::kStatusBarUserAgent) + row->text.str();
        }
    }
    rt.front.SetStatusBar(kProxyStatusPart, proxy);
    rt.front.SetStatusBar(kUserAgentStatusPart, agent);
}

}  // namespace

void InstallWindowPages(MainWindow& window, Runtime& rt) {
    auto* proxies = new ProxyPage(rt, &window);
    auto* agents = new UserAgentPage(rt, &window);
    auto* send_rules = new HeaderRulePage(rt, HeaderList::kSend, &window);
    auto* recv_rules = new HeaderRulePage(rt, HeaderList::kReceive, &window);
    window.setUpperPage(0, proxies);
    window.setUpperPage(1, agents);
    window.setUpperPage(2, send_rules);
    window.setUpperPage(3, recv_rules);
    window.addPageRebuild([proxies, agents, send_rules, recv_rules, &rt] {
        ShowRowsInUse(rt);
        proxies->rebuild();
        agents->rebuild();
        send_rules->rebuild();
        recv_rules->rebuild();
    });

    auto* cookies = new CookiePage(rt, &window);
    window.addUpperPage(Text(text::kCookiePageCaption), cookies);
    window.addPageRebuild([cookies, &rt] {
        cookies->rebuild();
        ShowCookieSwitches(rt);
    });

    // One Config dialog at a time: a further press raises the open one.
    auto open = std::make_shared<QPointer<ConfigDialog>>();
    window.setSettingsAction([open, &window, &rt] {
        if (*open) {
            (*open)->raise();
            (*open)->activateWindow();
            return;
        }
        *open = new ConfigDialog(rt, &window);
        (*open)->show();
    });
}

}  // namespace korvanel::ui
