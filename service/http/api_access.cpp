#include "api_access.h"

#include "service/limits/api_keys.h"
#include "service/limits/client_limits.h"

namespace service {

namespace {

std::optional<ApiRefusal> OverRate(const limits::Admission& admission, long long per_minute) {
  if (admission.allowed) return std::nullopt;
  ApiRefusal refusal;
  refusal.status = 429;
  refusal.message = "Slowdown: " + std::to_string(per_minute) + " per 1 minute";
  refusal.retry_after = std::to_string(admission.retry_after.count());
  return refusal;
}

}  // namespace

std::optional<ApiRefusal> CheckApiAccess(const HttpOptions& options, std::string_view client,
                                         const std::optional<std::string>& key) {
  bool has_key = key && !key->empty();
  const limits::ApiKey* found = nullptr;
  if (options.keys && has_key) {
    found = options.keys->Current()->Find(*key);
    if (!found) return ApiRefusal{403, "Invalid API key", ""};
  }
  if (!has_key && options.api.require_key) {
    return ApiRefusal{400, "Please contact the server operator to get an API key", ""};
  }
  if (!options.limits) return std::nullopt;
  if (found && found->per_minute > 0) {
    return OverRate(options.limits->AdmitKey(found->counter, found->per_minute), found->per_minute);
  }
  return OverRate(options.limits->Admit(std::string(client)),
                  options.limits->requests_per_minute());
}

}  // namespace service
