#include "route_label.h"

#include <algorithm>
#include <iterator>

namespace service::metrics {

std::string_view RouteLabel(std::string_view path) {
  static constexpr std::string_view kRoutes[] = {"/", "/tr", "/health", "/metrics", "/detect"};
  auto found = std::find(std::begin(kRoutes), std::end(kRoutes), path);
  return found == std::end(kRoutes) ? "other" : *found;
}

}  // namespace service::metrics
