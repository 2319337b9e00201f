// The forms users paste an upstream proxy in, over any text: ParseProxyUrl with its
// promises (an address the list keeps, a login that can be sent), the login line of the
// logins file read back as it was written, and the SOCKS requests built for the address.
// Input: the text.
#include "settings/proxy_url.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/socks_messages.h"
#include "fuzz_support.h"
#include "settings/row_validation.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ProxyUrl url;
    ProxyUrlParse parsed = ParseProxyUrl(text, url);
    if (parsed != ProxyUrlParse::kParsed) {
        ProxyLogin login;
        fuzz::Use(ParseLoginLine(text, login));
        return 0;
    }
    fuzz::Require(CheckProxyRow("0", "0", "0", url.address) == kRowValid,
                  "the address is one the list keeps");
    fuzz::Require(!url.has_login || IsSendableLogin(url.user, url.password), "a login can be sent");
    fuzz::Require(url.has_login || (url.user.empty() && url.password.empty()),
                  "no login, no user name");
    if (url.has_login) {
        ProxyLogin login{url.address, url.user, url.password};
        ProxyLogin again;
        fuzz::Require(ParseLoginLine(FormatLoginLine(login), again) &&
                          again.address == login.address && again.user == login.user &&
                          again.password == login.password,
                      "a login line reads back as it was written");
        SocksMessage message;
        fuzz::Require(FormatSocks5Login(url.user, url.password, message),
                      "a sendable login fits its message");
    }
    std::string_view address = url.address;
    std::size_t colon = address.find(':');
    SocksMessage message;
    if (FormatSocks5Connect(address.substr(0, colon), address.substr(colon + 1), message)) {
        fuzz::Require(message.size >= 4 + 1 + 1 + 2 && message.size <= 4 + 1 + 255 + 2,
                      "a CONNECT is 8 to 262 bytes");
    }
    fuzz::Use(FormatSocks4aConnect(address.substr(0, colon), address.substr(colon + 1), url.user,
                                   message));
    return 0;
}
