#include "engine/proxy_login.h"

#include <array>

#include "engine/header_edit.h"

namespace korvanel {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Appends the base64 of the bytes fed, three at a time.
struct Base64Writer {
    BasicCredentials& out;
    unsigned group = 0;
    int count = 0;

    void Feed(std::string_view bytes) {
        for (char c : bytes) {
            group = (group << 8) | static_cast<unsigned char>(c);
            if (++count == 3) Flush();
        }
    }
    void Flush() {
        if (count == 0) return;
        const unsigned bits = group << (8 * (3 - count));
        char piece[4];
        for (int i = 0; i < 4; ++i) piece[i] = kBase64[(bits >> (18 - 6 * i)) & 0x3F];
        for (int i = count + 1; i < 4; ++i) piece[i] = '=';
        out.append(std::string_view(piece, 4));
        group = 0;
        count = 0;
    }
};

constexpr std::array<std::string_view, 4> kNames = {"Proxy-Authorization", "Proxy-authorization",
                                                    "proxy-authorization", "PROXY-AUTHORIZATION"};

}  // namespace

void FormatBasicCredentials(std::string_view user, std::string_view password,
                            BasicCredentials& out) {
    out = "Basic ";
    Base64Writer writer{out};
    writer.Feed(user);
    writer.Feed(":");
    writer.Feed(password);
    writer.Flush();
}

void CredentialsFor(const RequestSettings& settings, BasicCredentials& out) {
    out.clear();
    if (settings.proxy_user.empty()) return;
    FormatBasicCredentials(settings.proxy_user.view(), settings.proxy_password.view(), out);
}

bool PutProxyAuthorization(HeaderBlock& block, std::string_view credentials,
                           std::string_view terminator) {
    return ReplaceHeader(block, kNames, credentials, terminator) == 1;
}

}  // namespace korvanel
