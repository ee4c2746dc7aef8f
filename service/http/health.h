// GET /health: each engine's state as JSON, for the people and scripts that run the service.
#pragma once

#include "service/engine/router.h"

#include <string>
#include <vector>

namespace service {

// {"ready": every engine ready, "engines": [{"name", "ready", "down_since" (UTC, ISO 8601, or
// null), "reason" (or null), "codes": [...]}, ...]} with the engines in priority order.
std::string HealthJson(const std::vector<EngineState>& states);

}  // namespace service
