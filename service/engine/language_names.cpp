#include "language_names.h"

#include "wire/wire_contract.h"

#include <array>
#include <utility>

namespace service {

std::optional<std::string> LanguageName(std::string_view code) {
  static const std::array<std::pair<std::string_view, std::string_view>, 17> kNames = {{
      {"ca", "Catalan"},
      {"de", "German"},
      {"el", "Greek"},
      {"en", "English"},
      {"es", "Spanish"},
      {"fr", "French"},
      {"gl", "Galician"},
      {"it", "Italian"},
      {"ja", "Japanese"},
      {"ko", "Korean"},
      {"nl", "Dutch"},
      {"oc", "Occitan"},
      {"pt", "Portuguese"},
      {"ro", "Romanian"},
      {"ru", "Russian"},
      {"zh", "Chinese (simplified)"},
      {"zt", "Chinese (traditional)"},
  }};
  for (const auto& [two_letter, name] : kNames) {
    if (two_letter == code) return std::string(name);
  }
  return std::nullopt;
}

bool IsPluginLanguage(std::string_view code) {
#define PAIR_CODE(pair, shown, description) std::string_view(pair),
  static const std::string_view kPairs[] = {WIRE_HELP_CODES(PAIR_CODE)};
#undef PAIR_CODE
  for (std::string_view pair : kPairs) {
    if (pair.substr(0, 2) == code || pair.substr(3) == code) return true;
  }
  return false;
}

}  // namespace service
