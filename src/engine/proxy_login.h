// An HTTP proxy's login: the Basic credentials this program sends it, on every request that
// goes through it and on its own CONNECT heads, in place of any the browser sent.
#pragma once

#include <string_view>

#include "engine/message_buffers.h"
#include "engine/request_state.h"
#include "runtime/upstream_kind.h"

namespace korvanel {

// "Basic " and the base64 of "user:password" (two fields of up to 255 bytes).
using BasicCredentials = FixedText<700>;

void FormatBasicCredentials(std::string_view user, std::string_view password,
                            BasicCredentials& out);

// The login of the proxy in use as Basic credentials; empty when it has none.
void CredentialsFor(const RequestSettings& settings, BasicCredentials& out);

// Puts "Proxy-Authorization: `credentials`" into the block in place of every such line (in
// the header's usual spellings). False when the line does not fit (the block then has none).
bool PutProxyAuthorization(HeaderBlock& block, std::string_view credentials,
                           std::string_view terminator);

}  // namespace korvanel
