#include "cache_options.h"

#include <cctype>

namespace service::cache {

namespace {

// A count of at most six digits: more MiB or days than any machine or answer needs is a typo.
std::optional<std::size_t> ParseCount(const std::string& digits) {
  if (digits.empty() || digits.size() > 6) return std::nullopt;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  return static_cast<std::size_t>(std::stoul(digits));
}

}  // namespace

std::string ApplyCacheOption(const std::string& name, const std::string& value,
                             CacheOptions* options) {
  if (name == "--shared-state") {
    std::string problem;
    options->shared = ParseRedisUrl(value, &problem);
    return options->shared ? "" : name + ": " + problem;
  }
  auto count = ParseCount(value);
  if (!count) return name + ": not a whole number from 0 to 999999: " + value;
  if (name == "--cache-mib") {
    options->mib = *count;
  } else {
    options->ttl = std::chrono::hours(24 * *count);
  }
  return "";
}

}  // namespace service::cache
