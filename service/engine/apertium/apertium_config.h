// Defaults and limits of the Apertium engine, in one place.
#pragma once

#include "service/engine/engine.h"

#include <chrono>
#include <cstddef>

namespace service {

inline constexpr const char* kDefaultModesDir = "/usr/share/apertium/modes";

// Requests are pivoted through this language when no direct pair is installed.
inline constexpr const char* kPivotLanguage = "es";

// One exchange with a warm pipeline keeps to the bound of every translation.
inline constexpr std::chrono::milliseconds kExchangeTimeoutBase = kTranslationBoundBase;
inline constexpr std::chrono::milliseconds kExchangeTimeoutPerKiB = kTranslationBoundPerKiB;

// A cold pipeline loads its dictionaries first; on a busy machine that takes seconds.
inline constexpr std::chrono::milliseconds kStartupTimeout{30000};

// Pipelines per mode: one at rest, a second started in the background once requests overlap.
// On two cores, four clients on one pair got x1.7 to x2.0 of one client that way, where four
// requests written back to back on one pipeline gained x1.0 to x1.6. Each costs 100 to 200 MiB.
inline constexpr std::size_t kPipelinesPerMode = 2;
// A mode's pipelines beyond the first are stopped after this long without a request.
inline constexpr std::chrono::milliseconds kSparePipelineIdle{60000};

// A program's usage text must arrive within this to learn whether it takes -z.
inline constexpr std::chrono::milliseconds kProbeTimeout{3000};

}  // namespace service
