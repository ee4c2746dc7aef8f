#include "api_fields.h"

#include "form_query.h"

#include <strings.h>

namespace service {

namespace {

bool IsJson(std::string_view content_type) {
  std::string_view media = content_type.substr(0, content_type.find(';'));
  while (!media.empty() && media.back() == ' ') media.remove_suffix(1);
  return media.size() == 16 && strncasecmp(media.data(), "application/json", 16) == 0;
}

void AddQueryFields(std::string_view query, nlohmann::json& values) {
  while (!query.empty()) {
    std::size_t end = query.find('&');
    std::string_view field = query.substr(0, end);
    query.remove_prefix(end == std::string_view::npos ? query.size() : end + 1);
    std::string name = FormDecode(field.substr(0, field.find('=')));
    if (name.empty() || values.contains(name)) continue;
    std::size_t equals = field.find('=');
    values[name] = equals == std::string_view::npos ? "" : FormDecode(field.substr(equals + 1));
  }
}

}  // namespace

std::optional<std::string> ApiFields::Text(const char* name) const {
  auto found = values.find(name);
  if (found == values.end() || found->is_null()) return std::nullopt;
  if (found->is_string()) return found->get<std::string>();
  return found->dump();
}

ApiFields ReadApiFields(std::string_view query, const RequestBody& body) {
  ApiFields fields;
  if (IsJson(body.content_type)) {
    fields.json = true;
    // Invalid UTF-8 in a JSON string is the caller's to refuse, not a parse failure here.
    nlohmann::json parsed = nlohmann::json::parse(body.bytes, nullptr, false);
    if (parsed.is_discarded()) {
      fields.problem = "Invalid JSON format";
    } else if (!parsed.is_object()) {
      fields.problem = "Invalid JSON format";
    } else {
      fields.values = std::move(parsed);
    }
    return fields;
  }
  for (const auto& [name, value] : body.form) {
    if (!fields.values.contains(name)) fields.values[name] = value;
  }
  AddQueryFields(query, fields.values);
  return fields;
}

}  // namespace service
