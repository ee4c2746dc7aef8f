#include "bearer_token.h"

#include <cctype>
#include <fstream>
#include <stdexcept>

namespace service::metrics {

namespace {

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

bool SameScheme(std::string_view scheme) {
  static constexpr std::string_view kBearer = "bearer";
  if (scheme.size() != kBearer.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(scheme[i])) != kBearer[i]) return false;
  }
  return true;
}

// Looks at every byte of `expected` whatever `given` holds.
bool ConstantTimeEqual(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    unsigned char byte = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= static_cast<unsigned char>(byte ^ static_cast<unsigned char>(expected[i]));
  }
  return difference == 0;
}

}  // namespace

std::string ReadTokenFile(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) {
    throw std::runtime_error("cannot read the metrics token file " + path);
  }
  std::string token(TrimSpace(line));
  if (token.empty()) throw std::runtime_error("no token in the metrics token file " + path);
  return token;
}

bool BearerMatches(std::string_view authorization, std::string_view token) {
  authorization = TrimSpace(authorization);
  std::size_t space = authorization.find(' ');
  if (space == std::string_view::npos || !SameScheme(authorization.substr(0, space))) return false;
  return ConstantTimeEqual(TrimSpace(authorization.substr(space + 1)), token);
}

}  // namespace service::metrics
