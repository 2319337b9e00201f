// Small operations on the listener's shared state that every engine thread uses.
#pragma once

namespace korvanel {

struct Runtime;

// True when a stop was requested. Takes no lock.
bool IsStopping(Runtime& rt);

// The connection counters' changes as a request starts and ends: a first request counts as
// active, a later one on a kept connection as keep-alive active; each start is one more
// served.
enum class CounterChange { kFirstStarts, kFirstEnds, kKeptStarts, kKeptEnds };
void CountConnection(Runtime& rt, CounterChange change);

// Byte totals (atomic, no lock).
void AddBytesSent(Runtime& rt, long long count);
void AddBytesReceived(Runtime& rt, long long count);

}  // namespace korvanel
