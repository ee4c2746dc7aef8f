// GET /health: each engine's state as JSON, for the people and scripts that run the service.
#pragma once

#include "service/engine/router.h"

#include <string>
#include <vector>

namespace service {

// {"ready": every engine ready, "engines": [{"name", "ready", "down_since" (UTC, ISO 8601, or
// null), "reason" (or null), "codes": [...]}, ...], "order": {"CODE": [NAME, ...], ...}} with
// the engines in priority order, and for each code of `routes` the engines in the order they
// are asked for it.
std::string HealthJson(const std::vector<EngineState>& states, const std::vector<Route>& routes);

}  // namespace service
