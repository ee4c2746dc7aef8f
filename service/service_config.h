// Defaults and limits of the translation service, in one place.
#pragma once

#include <chrono>
#include <cstddef>

namespace service {

inline constexpr const char* kDefaultListen = "localhost:80";
inline constexpr const char* kDefaultModesDir = "/usr/share/apertium/modes";

// Requests are pivoted through this language when no direct pair is installed.
inline constexpr const char* kPivotLanguage = "es";

// A 4079-byte chunk percent-encoded is about 12 KiB; anything longer than this is refused (414).
inline constexpr std::size_t kMaxTargetLength = 64 * 1024;

// One exchange with a warm pipeline: a base plus an allowance per KiB of input, so a hung
// program is noticed quickly while a 64 KiB text still has time to pass.
inline constexpr std::chrono::milliseconds kExchangeTimeoutBase{5000};
inline constexpr std::chrono::milliseconds kExchangeTimeoutPerKiB{100};

// A cold pipeline loads its dictionaries first; on a busy machine that takes seconds.
inline constexpr std::chrono::milliseconds kStartupTimeout{30000};

// Pipelines per mode: one at rest, a second started in the background once requests overlap.
// On two cores, four clients on one pair got x1.7 to x2.0 of one client that way, where four
// requests written back to back on one pipeline gained x1.0 to x1.6. Each costs 100 to 200 MiB.
inline constexpr std::size_t kPipelinesPerMode = 2;
// A mode's pipelines beyond the first are stopped after this long without a request.
inline constexpr std::chrono::milliseconds kSparePipelineIdle{60000};

// How long a child may take to leave after its input closes, and after SIGTERM.
inline constexpr std::chrono::milliseconds kExitGrace{500};
inline constexpr std::chrono::milliseconds kTerminateGrace{500};

// A program's usage text must arrive within this to learn whether it takes -z.
inline constexpr std::chrono::milliseconds kProbeTimeout{3000};

// HTTP. Each connection has a thread of its own, since a translation blocks while it runs.
// Idle or stalled clients are dropped after the timeout; until then each holds one of the
// connections, so the limit stays well above any number of chat users at once.
inline constexpr unsigned kMaxConnections = 1000;
inline constexpr unsigned kConnectionTimeoutSeconds = 15;
inline constexpr int kListenBacklog = 256;
// Room for the largest target (kMaxTargetLength) and its headers in one connection's memory.
inline constexpr std::size_t kConnectionMemoryLimit = 256 * 1024;

}  // namespace service
