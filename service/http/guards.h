// The answers of what an operator turned on: a client over its rate or a text over the
// character limit, and /metrics behind its token.
#pragma once

#include "http_options.h"
#include "routes.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace service {

// Counts a request that uses an engine (a translation, a detection) against `client`; the
// 429 to answer when it is over its rate, nothing when it may be served or limits are off.
// The page names no translation, so the plug-in shows its "translation problem".
std::optional<Answer> RefuseOverRate(const HttpOptions& options, std::string_view client);

// The 400 for a text of `characters` over the limit; nothing when within it or off.
std::optional<Answer> RefuseLongText(const HttpOptions& options, std::size_t characters);

// GET /metrics: the scrape, or a 401 when a token is required and `authorization` does not
// carry it. Only for options with metrics.
Answer MetricsAnswer(const HttpOptions& options, std::string_view authorization);

}  // namespace service
