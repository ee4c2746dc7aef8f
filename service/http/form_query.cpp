#include "form_query.h"

namespace service {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string FormDecode(std::string_view encoded) {
  std::string decoded;
  decoded.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    char c = encoded[i];
    if (c == '+') {
      decoded += ' ';
    } else if (c == '%' && i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0 &&
               HexValue(encoded[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

std::optional<std::string> FormField(std::string_view query, std::string_view name) {
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    std::string_view field = query.substr(start, end - start);
    std::size_t equals = field.find('=');
    std::string_view key = field.substr(0, equals);
    if (!field.empty() && FormDecode(key) == name) {
      return equals == std::string_view::npos ? std::string()
                                              : FormDecode(field.substr(equals + 1));
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::string_view TargetQuery(std::string_view target) {
  std::size_t question = target.find('?');
  if (question == std::string_view::npos) return {};
  // A '#' here is data: clients keep fragments to themselves, and the plug-in escapes nothing.
  return target.substr(question + 1);
}

std::string_view TargetPath(std::string_view target) {
  std::string_view path = target.substr(0, target.find('?'));
  std::size_t scheme_end = path.find("://");
  if (scheme_end != std::string_view::npos && path.find('/') > scheme_end) {
    std::size_t path_start = path.find('/', scheme_end + 3);
    path = path_start == std::string_view::npos ? "/" : path.substr(path_start);
  }
  return path;
}

}  // namespace service
