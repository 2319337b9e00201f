// What the header logs show of a login: a Proxy-Authorization line keeps its name and its
// scheme ("Basic"), and its credentials are masked, whoever sent them (this program for a
// proxy's login, or the browser answering a proxy).
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

inline constexpr std::string_view kMaskedCredentials = "********";

// `headers` with the credentials of every Proxy-Authorization line (its name in any case)
// masked. Without such a line `headers` itself, and `scratch` is left alone; else the
// masked copy, held in `scratch`.
std::string_view MaskProxyCredentials(std::string_view headers, std::string& scratch);

}  // namespace korvanel
