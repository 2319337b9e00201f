#include "tls/inspector_holder.h"

#include <algorithm>
#include <chrono>
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
    // When the files were last looked at, or an open last failed.
    std::chrono::steady_clock::time_point looked{};
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

// The slot holds `inspector` (or none), and the browsers are offered its authority.
void Keep(Runtime& rt, InspectorSlot& slot, std::shared_ptr<Inspector> inspector) {
    slot.inspector = std::move(inspector);
    rt.authority_pem = slot.inspector ? slot.inspector->CertificatePem() : std::string();
}

// True when the open inspector still stands for `extra_ca_file` and the files it was made
// from (looked at once a second at most).
bool StillGood(InspectorSlot& slot, std::string_view extra_ca_file,
               std::chrono::steady_clock::time_point now, std::chrono::milliseconds interval) {
    if (slot.inspector->ExtraCaFile() != extra_ca_file) return false;
    if (now - slot.looked < interval) return true;
    slot.looked = now;
    return !slot.inspector->FilesChanged();
}

// The inspector for `extra_ca_file`, opened when there is none, it has other anchors, or
// its files changed. When that fails there is none: inspected connections are refused
// rather than go on with trust the user has taken back. Returns what the command log is to
// say (empty: nothing).
std::string OpenIfNeeded(Runtime& rt, std::string_view extra_ca_file,
                         std::shared_ptr<Inspector>& out) {
    std::lock_guard<std::mutex> hold(rt.tls.mutex);
    InspectorSlot& slot = SlotOf(rt);
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::milliseconds interval(rt.limits.trust_file_look_ms);
    if (slot.inspector && StillGood(slot, extra_ca_file, now, interval)) {
        out = slot.inspector;
        return {};
    }
    // A failed open is tried again after a while, not for every connection.
    if (!slot.inspector && !slot.problem.empty() && now - slot.looked < interval) {
        out = nullptr;
        return {};
    }
    slot.looked = now;
    InspectorOptions options;
    options.folder = rt.dir;
    options.extra_ca_file = std::string(extra_ca_file);
    std::string problem;
    bool created = false;
    std::shared_ptr<Inspector> opened = Inspector::Open(options, problem, created);
    Keep(rt, slot, opened);
    out = std::move(opened);
    if (!out) {
        if (problem == slot.problem) return {};
        slot.problem = problem;
        return text::kAuthorityUnusable + problem;
    }
    slot.problem.clear();
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
        Keep(rt, slot, nullptr);
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
