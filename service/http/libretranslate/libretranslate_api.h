// LibreTranslate's HTTP API, as its clients send it (Mastodon, Discourse, Nextcloud, maubot,
// the npm clients, curl): each request becomes the service's own translation or detection, and
// the answer goes back in LibreTranslate's shape. Every text takes the path /tr's take.
#pragma once

#include "service/http/api_fields.h"
#include "service/http/http_options.h"
#include "service/http/routes.h"

#include <string_view>

namespace service::libretranslate {

// Whether `path` is one of this API's: /translate, /detect (its POST), /languages,
// /frontend/settings, /suggest.
bool IsRoute(std::string_view method, std::string_view path);

// Answers a request to one of IsRoute's paths, with CORS headers.
Answer Serve(const Router& router, const HttpOptions& options, std::string_view method,
             std::string_view path, const ApiFields& fields, std::string_view client);

}  // namespace service::libretranslate
