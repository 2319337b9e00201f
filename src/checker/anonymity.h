// Whether a checker page shows something by which the client could be recognised.
#pragma once

#include <string_view>

#include "checker/local_identity.h"

namespace korvanel {

// For a known external address: true when the body holds it, holds its dashed form
// ("203-0-113-5", as reverse-lookup names often carry it), or when the address does not
// split into four dot-separated parts (it cannot be told apart then).
bool RevealsExternalAddress(std::string_view body, std::string_view external_address);

// True when the body holds any text of the list (in order, up to the first empty slot,
// at most 60 texts).
bool RevealsLocalIdentity(std::string_view body, const LocalIdentityList& list);

}  // namespace korvanel
