// The home page's list of the codes that name only the target language.
#pragma once

#include "service/engine/router.h"

#include <string>

namespace service {

// For each target some route serves: its codes ("en", "auto_en") and, for each source the
// detection chooses among, the pair it goes through and the engine that serves it. HTML.
std::string TargetCodeList(const std::vector<Route>& routes);

}  // namespace service
