#include "api_codes.h"

#include "service/engine/language_names.h"

#include <algorithm>
#include <array>

namespace service {

namespace {

struct CodeNames {
  const char* ours;
  const char* libre;
  const char* apertium;
};

// Every language a route may carry (the plug-in's and the upstreams').
constexpr std::array<CodeNames, 13> kCodes = {{
    {"de", "de", "deu"},
    {"el", "el", "ell"},
    {"en", "en", "eng"},
    {"es", "es", "spa"},
    {"fr", "fr", "fra"},
    {"it", "it", "ita"},
    {"ja", "ja", "jpn"},
    {"ko", "ko", "kor"},
    {"nl", "nl", "nld"},
    {"pt", "pt", "por"},
    {"ru", "ru", "rus"},
    {"zh", "zh-Hans", "zho"},
    {"zt", "zh-Hant", "zho_Hant"},
}};

// Codes clients send beside the canonical ones.
struct Alias {
  const char* code;
  const char* ours;
};
constexpr std::array<Alias, 8> kAliases = {{
    {"zh-CN", "zh"},
    {"zh-TW", "zt"},
    {"zh_Hans", "zh"},
    {"zh_Hant", "zt"},
    {"fre", "fr"},
    {"ger", "de"},
    {"dut", "nl"},
    {"gre", "el"},
}};

const CodeNames* ByOurs(std::string_view language) {
  for (const CodeNames& names : kCodes) {
    if (language == names.ours) return &names;
  }
  return nullptr;
}

std::optional<std::string> Alias(std::string_view code) {
  for (const auto& alias : kAliases) {
    if (code == alias.code) return std::string(alias.ours);
  }
  return std::nullopt;
}

// An API's code (the `written` column) or ours, onto ours.
std::optional<std::string> FromCode(std::string_view code, const char* CodeNames::*written) {
  for (const CodeNames& names : kCodes) {
    if (code == names.*written || code == names.ours) return std::string(names.ours);
  }
  return Alias(code);
}

std::string ToCode(std::string_view language, const char* CodeNames::*written) {
  const CodeNames* names = ByOurs(language);
  return names ? names->*written : std::string(language);
}

}  // namespace

std::optional<std::string> FromLibreCode(std::string_view code) {
  return FromCode(code, &CodeNames::libre);
}

std::string ToLibreCode(std::string_view language) { return ToCode(language, &CodeNames::libre); }

std::optional<std::string> FromApertiumCode(std::string_view code) {
  return FromCode(code, &CodeNames::apertium);
}

std::string ToApertiumCode(std::string_view language) {
  return ToCode(language, &CodeNames::apertium);
}

std::optional<CodeLanguages> SplitRouteCode(std::string_view code) {
  std::size_t cut = code.find('_');
  if (cut == std::string_view::npos || cut == 0 || cut + 1 >= code.size()) return std::nullopt;
  CodeLanguages pair{std::string(code.substr(0, cut)), std::string(code.substr(cut + 1))};
  if (!ByOurs(pair.source) || !ByOurs(pair.target)) return std::nullopt;
  return pair;
}

}  // namespace service
