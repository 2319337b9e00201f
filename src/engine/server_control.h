// Small operations on the listener's shared state that every engine thread uses.
#pragma once

#include <string_view>

namespace korvanel {

struct Runtime;

// -1 when a stop was requested (run flag '1'), else 1. Takes no lock.
int IsStopping(Runtime& rt);

// "++c", "--c", "++k", "--k" (compared on 3 characters), under the counter lock:
// ++c: active and served += 1; --c: active -= 1; ++k: keep-alive active and served += 1;
// --k: keep-alive active -= 1. Returns 1.
int CountConnection(Runtime& rt, std::string_view code);

// Byte totals (atomic, no lock).
void AddBytesSent(Runtime& rt, long long count);
void AddBytesReceived(Runtime& rt, long long count);

}  // namespace korvanel
