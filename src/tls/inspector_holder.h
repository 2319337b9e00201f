// The program's one inspector, kept in the runtime: opened when inspection first needs it
// (making the user's authority when its files are missing), opened anew when the user names
// other trust anchors or makes a new authority. What happens to the authority is said in the
// command log.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "tls/inspector.h"

namespace korvanel {

struct Runtime;

// The inspector for a new connection, opened with `extra_ca_file` as more anchors. Null
// when it cannot be opened; the reason goes to the command log once.
std::shared_ptr<Inspector> CurrentInspector(Runtime& rt, std::string_view extra_ca_file);

// At start and whenever inspection is switched on: the authority is made (or loaded) now,
// not at the first visit.
void PrepareInspection(Runtime& rt);

// Makes a new authority in the data folder; the old one is trusted no longer, from the next
// connection on. False with `problem` when the new one could not be made (the old stays).
bool RenewAuthority(Runtime& rt, std::string& problem);

// True the first time a client refused the certificate for `host` in this program run.
bool FirstRefusalFor(Runtime& rt, std::string_view host);

}  // namespace korvanel
