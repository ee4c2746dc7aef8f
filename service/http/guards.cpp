#include "guards.h"

#include "pages.h"
#include "service/limits/client_limits.h"
#include "service/metrics/bearer_token.h"
#include "service/metrics/service_metrics.h"

#include <time.h>

#include <chrono>
#include <string>

namespace service {

namespace {

// "14:03:27 UTC": a person in a browser is told when, not only how long.
std::string ClockTime(std::chrono::system_clock::time_point when) {
  time_t seconds = std::chrono::system_clock::to_time_t(when);
  tm parts{};
  gmtime_r(&seconds, &parts);
  char text[16];
  strftime(text, sizeof text, "%H:%M:%S", &parts);
  return std::string(text) + " UTC";
}

}  // namespace

std::optional<Answer> RefuseOverRate(const HttpOptions& options, std::string_view client) {
  if (!options.limits) return std::nullopt;
  limits::Admission admission = options.limits->Admit(std::string(client));
  if (admission.allowed) return std::nullopt;
  long long wait = admission.retry_after.count();
  Answer answer;
  answer.status = 429;
  answer.retry_after = std::to_string(wait);
  answer.body = MessagePage(
      "Too many requests",
      "This address has made more requests this minute than the service allows. Please try again "
      "in " +
          std::to_string(wait) + (wait == 1 ? " second" : " seconds") + ", after " +
          ClockTime(admission.retry_at) + ".",
      {});
  return answer;
}

std::optional<Answer> RefuseLongText(const HttpOptions& options, std::size_t characters) {
  if (!options.limits || options.limits->TextAllowed(characters)) return std::nullopt;
  Answer answer;
  answer.status = 400;
  answer.body = MessagePage("Text too long",
                            "The text has " + std::to_string(characters) +
                                " characters; this service translates at most " +
                                std::to_string(options.limits->max_characters()) +
                                " at a time. Please send it in smaller pieces.",
                            {});
  return answer;
}

Answer MetricsAnswer(const HttpOptions& options, std::string_view authorization) {
  Answer answer;
  if (!options.metrics_token.empty() &&
      !metrics::BearerMatches(authorization, options.metrics_token)) {
    answer.status = 401;
    answer.authenticate = "Bearer realm=\"metrics\"";
    answer.body =
        MessagePage("Authorization required", "The metrics need the operator's bearer token.", {});
    return answer;
  }
  answer.body = options.metrics->Scrape();
  answer.type = metrics::kScrapeContentType;
  answer.charset = "utf-8";
  return answer;
}

}  // namespace service
