// The fields of a request to one of the translation APIs, wherever its client put them: in
// the query string, a URL-encoded or multipart form, or a JSON object. Clients differ:
// Nextcloud sends /detect?q=... with an empty body, `curl -F` a multipart form, the npm
// clients JSON.
#pragma once

#include "request_body.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace service {

struct ApiFields {
  // Each field by name: a string from a query or a form (the first of a repeated name), or the
  // value a JSON body gave it.
  nlohmann::json values = nlohmann::json::object();
  // Why the body could not be read (a JSON body that does not parse or is no object); empty
  // when it could.
  std::string problem;
  bool json = false;  // the fields came from a JSON body

  // The field as text: a string, or a number as JSON writes it; nothing when absent or null.
  std::optional<std::string> Text(const char* name) const;
};

// A JSON body (by its Content-Type) gives every field; otherwise the query's fields and the
// form's, the form's first.
ApiFields ReadApiFields(std::string_view query, const RequestBody& body);

}  // namespace service
