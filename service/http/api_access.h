// Who may use the translation APIs, and how often: the operator's API keys, and the limits per
// client or per key. Each API words the refusal in its own shape.
#pragma once

#include "http_options.h"

#include <optional>
#include <string>
#include <string_view>

namespace service {

struct ApiRefusal {
  int status = 400;
  std::string message;      // as LibreTranslate words it; never holds the key
  std::string retry_after;  // a 429's, in seconds
};

// Checks the key a request sent (nothing: none) and counts the request against its limit: the
// key's own where it has one, else the client's. Nothing when it may be served.
std::optional<ApiRefusal> CheckApiAccess(const HttpOptions& options, std::string_view client,
                                         const std::optional<std::string>& key);

}  // namespace service
