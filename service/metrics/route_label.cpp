#include "route_label.h"

#include <algorithm>
#include <iterator>

namespace service::metrics {

std::string_view RouteLabel(std::string_view path) {
  // The translation APIs' routes too: a client of theirs shows apart from the plug-in.
  static constexpr std::string_view kRoutes[] = {"/",
                                                 "/tr",
                                                 "/health",
                                                 "/metrics",
                                                 "/detect",
                                                 "/translate",
                                                 "/languages",
                                                 "/frontend/settings",
                                                 "/suggest",
                                                 "/listPairs",
                                                 "/list",
                                                 "/listLanguageNames",
                                                 "/identifyLang"};
  auto found = std::find(std::begin(kRoutes), std::end(kRoutes), path);
  return found == std::end(kRoutes) ? "other" : *found;
}

}  // namespace service::metrics
