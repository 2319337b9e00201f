// The proxy checker's time-outs and sizes, in one place. A run takes a CheckLimits so that
// tests can shorten the waits; the program always uses kCheckLimits.
#pragma once

#include <cstddef>

namespace korvanel {

// Sizes of the checker's texts and buffers.
inline constexpr std::size_t kCheckHostCapacity = 250;      // host of the check address
inline constexpr std::size_t kCheckPortCapacity = 9;        // port text of the check address
inline constexpr std::size_t kCheckPathCapacity = 250;      // path of the check address
inline constexpr std::size_t kCheckRequestCapacity = 2000;  // the check request
inline constexpr std::size_t kCheckRequestLimit = 1998;     // the whole request at most
inline constexpr std::size_t kCheckHeadBufferSize = 9994;   // answer head buffer
inline constexpr std::size_t kCheckHeadDataLimit = 2000;    // head data that is accepted
inline constexpr std::size_t kCheckBodyLimit = 2000;        // answer body
inline constexpr long kCheckBodyDefaultLength = 1998;       // body without Content-Length
inline constexpr std::size_t kCheckMinimumAnswer = 10;      // shorter head data is refused
inline constexpr std::size_t kCgiMinimumBody = 82;          // the attribute check's body
inline constexpr std::size_t kProxyMinimumBody = 32;        // a proxy's answer body
inline constexpr std::size_t kNoLineEndLimit = 2000;        // head data without CR or LF
inline constexpr std::size_t kNumericHostCapacity = 132;    // address CheckConnect reports
inline constexpr std::size_t kJobHostCapacity = 260;        // proxy host of a job
inline constexpr std::size_t kJobPortCapacity = 10;         // proxy port of a job
inline constexpr std::size_t kExternalAddressCapacity = 128;
inline constexpr std::size_t kCheckLineCapacity = 100;    // dialog lines 1 and 2
inline constexpr std::size_t kProgressTextCapacity = 98;  // "%d / %d 処理中"
inline constexpr std::size_t kOpeningLineCapacity = 300;  // "%sに"

// Worker threads of one run.
inline constexpr int kMaxCheckWorkers = 8;

// Local identity texts: 63 slots, filled in groups of five, stopping past 58.
inline constexpr int kIdentitySlots = 63;
inline constexpr int kIdentityStopAfter = 58;
inline constexpr std::size_t kIdentityNameCapacity = 256;
inline constexpr std::size_t kHostNameCapacity = 128;
inline constexpr std::size_t kUpnpLanAddressCapacity = 64;

struct CheckLimits {
    int slice_ms = 200;           // every wait is cut into slices of this length
    int connect_cycles = 101;     // connect gives up after this many empty cycles (~40 s)
    int send_slices = 91;         // the 91st empty send slice times out (~18 s)
    int receive_slices = 81;      // the 81st empty receive slice times out (~16 s)
    int worker_stagger_ms = 200;  // the first eight workers start this far apart
    int upnp_delay_ms = 2000;     // how long gateway discovery waits for answers
};

inline constexpr CheckLimits kCheckLimits{};

}  // namespace korvanel
