// The header logs never show a proxy login's credentials.
#include "logging/header_mask.h"

#include <gtest/gtest.h>

namespace korvanel {
namespace {

TEST(HeaderMask, CredentialsOfEveryLoginLineAreMasked) {
    const struct {
        const char* name;
        const char* headers;
        const char* shown;
    } cases[] = {
        {"none", "Host: h\r\nAuthorization: Basic eA==\r\n\r\n",
         "Host: h\r\nAuthorization: Basic eA==\r\n\r\n"},
        {"Basic", "Host: h\r\nProxy-Authorization: Basic dTpw\r\n\r\n",
         "Host: h\r\nProxy-Authorization: Basic ********\r\n\r\n"},
        {"any case, LF ends, twice",
         "proxy-authorization:Basic a\nPROXY-AUTHORIZATION: Digest x=1\n\n",
         "proxy-authorization:Basic ********\nPROXY-AUTHORIZATION: Digest ********\n\n"},
        {"no scheme, last line without end", "X: 1\rProxy-Authorization: secret",
         "X: 1\rProxy-Authorization: ********"},
        {"inside another name", "X-Proxy-Authorization: Basic a\r\n\r\n",
         "X-Proxy-Authorization: Basic a\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string scratch;
        EXPECT_EQ(MaskProxyCredentials(c.headers, scratch), c.shown);
    }
}

}  // namespace
}  // namespace korvanel
