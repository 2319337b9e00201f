#include "tls/inspector_holder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "runtime/tls_files.h"
#include "texts.h"

namespace korvanel {

namespace {

// What the program keeps of inspection between connections.
struct InspectorSlot final : LayerState {
    std::shared_ptr<Inspector> inspector;
    // The last reason it could not be opened, said once in the command log.
    std::string problem;
    // Hosts whose clients refused the minted certificate, said once each.
    std::vector<std::string> refused_hosts;
};

// The slot, made on first use; rt.tls.mutex must be held.
InspectorSlot& SlotOf(Runtime& rt) {
    if (!rt.tls.state) rt.tls.state = std::make_unique<InspectorSlot>();
    return static_cast<InspectorSlot&>(*rt.tls.state);
}

// The inspector for `extra_ca_file`, opened when there is none or it has other anchors.
// Returns what the command log is to say (empty: nothing).
std::string OpenIfNeeded(Runtime& rt, std::string_view extra_ca_file,
                         std::shared_ptr<Inspector>& out) {
    std::lock_guard<std::mutex> hold(rt.tls.mutex);
    InspectorSlot& slot = SlotOf(rt);
    if (slot.inspector && slot.inspector->ExtraCaFile() == extra_ca_file) {
        out = slot.inspector;
        return {};
    }
    InspectorOptions options;
    options.folder = rt.dir;
    options.extra_ca_file = std::string(extra_ca_file);
    std::string problem;
    bool created = false;
    std::shared_ptr<Inspector> opened = Inspector::Open(options, problem, created);
    if (!opened) {
        out = slot.inspector;  // the old anchors rather than none at all
        if (problem == slot.problem) return {};
        slot.problem = problem;
        return text::kAuthorityUnusable + problem;
    }
    slot.problem.clear();
    slot.inspector = opened;
    out = std::move(opened);
    return created ? text::kAuthorityCreated + out->CertificatePath() : std::string();
}

std::string ExtraCaFileOf(Runtime& rt) {
    Hold hold(rt.locks.settings);
    return rt.settings.extra_ca_file;
}

}  // namespace

std::shared_ptr<Inspector> CurrentInspector(Runtime& rt, std::string_view extra_ca_file) {
    std::shared_ptr<Inspector> inspector;
    std::string said = OpenIfNeeded(rt, extra_ca_file, inspector);
    // Said outside the slot's lock: the command log takes locks of its own.
    if (!said.empty()) PostStatus(rt, text::kInspectionStatus, said);
    return inspector;
}

void PrepareInspection(Runtime& rt) {
    bool on = false;
    {
        Hold hold(rt.locks.settings);
        on = rt.settings.InspectsHttps();
    }
    if (on) CurrentInspector(rt, ExtraCaFileOf(rt));
}

bool RenewAuthority(Runtime& rt, std::string& problem) {
    {
        std::lock_guard<std::mutex> hold(rt.tls.mutex);
        if (!MakeNewAuthority(rt.dir, problem)) return false;
        InspectorSlot& slot = SlotOf(rt);
        slot.inspector.reset();
        slot.problem.clear();
        slot.refused_hosts.clear();
    }
    PostStatus(rt, text::kInspectionStatus,
               text::kAuthorityRenewed + rt.PathOf(kAuthorityCertificateFile));
    CurrentInspector(rt, ExtraCaFileOf(rt));
    return true;
}

bool FirstRefusalFor(Runtime& rt, std::string_view host) {
    std::lock_guard<std::mutex> hold(rt.tls.mutex);
    std::vector<std::string>& hosts = SlotOf(rt).refused_hosts;
    if (std::find(hosts.begin(), hosts.end(), host) != hosts.end()) return false;
    // A bound on what a hostile page could make the program remember.
    if (hosts.size() >= 1000) hosts.erase(hosts.begin());
    hosts.emplace_back(host);
    return true;
}

}  // namespace korvanel
