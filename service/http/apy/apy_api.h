// Apertium-APy's HTTP API, as its clients send it (translate-shell's Apertium engine,
// apertium-html-tools, Weblate): /translate with a langpair, /listPairs (and /list, which
// html-tools builds from), /listLanguageNames and /identifyLang, answered in APy's shapes. Every
// text takes the path /tr's take.
#pragma once

#include "service/http/api_fields.h"
#include "service/http/http_options.h"
#include "service/http/routes.h"

#include <string_view>

namespace service::apy {

// Whether the request is one of this API's: /listPairs, /list, /listLanguageNames,
// /identifyLang, or a /translate that names a `langpair` (LibreTranslate's has none), or a GET
// of it naming no source or target.
bool IsRoute(std::string_view method, std::string_view path, const ApiFields& fields);

// Answers a request IsRoute took, with CORS headers.
Answer Serve(const Router& router, const HttpOptions& options, std::string_view method,
             std::string_view path, const ApiFields& fields, std::string_view client);

}  // namespace service::apy
