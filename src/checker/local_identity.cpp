#include "checker/local_identity.h"

#include <cstdio>
#include <cstring>

#include "platform/socket.h"

namespace korvanel {

namespace {

void Append(LocalIdentityList& list, const char* text) {
    if (list.count >= kIdentitySlots) return;
    list.texts[list.count++] = text;
}

}  // namespace

void AppendIdentityGroups(LocalIdentityList& list, const std::vector<uint32_t>& addresses,
                          const NameLookupFn& lookup) {
    // One name buffer shared by every lookup, as a failed lookup repeats what it holds.
    char name[kIdentityNameCapacity] = "";
    for (uint32_t address : addresses) {
        char dotted[16];
        FormatIpv4(address, dotted, sizeof dotted);
        // Never leave the shared buffer empty: an empty text would end the list.
        if (name[0] == '\0') std::snprintf(name, sizeof name, "%s", dotted);
        Append(list, dotted);
        for (NameForm form : {NameForm::kShortName, NameForm::kNumericHost, NameForm::kNameRequired,
                              NameForm::kFullName}) {
            lookup(address, form, name, sizeof name);
            Append(list, name);
        }
        if (list.count > kIdentityStopAfter) break;
    }
}

int CollectLocalIdentity(LocalIdentityList& list) {
    char host[kHostNameCapacity];
    if (!ReadHostName(host, sizeof host)) return -1;
    std::printf("host: %s\n", host);
    std::fflush(stdout);
    AppendIdentityGroups(list, ListLocalIpv4(), LookUpName);
    return 1;
}

}  // namespace korvanel
