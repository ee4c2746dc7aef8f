// The route a request is counted under: one of a fixed few, so that no path a client makes up
// adds a time series.
#pragma once

#include <string_view>

namespace service::metrics {

// The request's path (without its query) if it is one the service answers, "other" if not.
std::string_view RouteLabel(std::string_view path);

}  // namespace service::metrics
