// The operator's corrections: for a code and a chat line, the translation to answer instead of
// an engine's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace service::corrections {

struct Correction {
  std::string code;
  std::string line;  // as typed
  std::string translation;
};

// The lines of `text`, a file's contents: "CODE<TAB>LINE<TAB>TRANSLATION" a line, in UTF-8;
// blank lines and those starting with "#" are left out. Nothing, with *problem naming the line
// by its number, when a line is malformed.
std::optional<std::vector<Correction>> ParseLines(std::string_view text, std::string* problem);

class Corrections {
 public:
  // The corrections of `text`, read by ParseLines. A later line for the same code and line
  // replaces an earlier one.
  static std::optional<Corrections> Parse(std::string_view text, std::string* problem);

  // The answer to `utf8_line` for `code` (see correction_line.h), or nothing.
  std::optional<std::string> Answer(std::string_view code, std::string_view utf8_line) const;

  std::size_t size() const { return translations_.size(); }

 private:
  std::unordered_map<std::string, std::string> translations_;  // code, tab, MatchKey: translation
};

// One line of the file for `code`, `line` and `translation`; empty when one of them cannot be
// written so (a tab or line break in it, an empty field), with *problem saying which.
std::string FormatLine(std::string_view code, std::string_view line, std::string_view translation,
                       std::string* problem);

}  // namespace service::corrections
