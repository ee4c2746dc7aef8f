#include "corrections.h"

#include "correction_line.h"
#include "service/text/text_encoding.h"

namespace service::corrections {

namespace {

constexpr std::string_view kBlank = " \t\r";

std::string_view Trimmed(std::string_view text, std::string_view blank = kBlank) {
  std::size_t first = text.find_first_not_of(blank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

std::string KeyOf(std::string_view code, std::string_view line) {
  return std::string(code) + '\t' + MatchKey(line);
}

// Why `code`, `line` and `translation` cannot make a correction, or "".
std::string FieldProblem(std::string_view code, std::string_view line,
                         std::string_view translation) {
  if (code.empty() || code.find_first_of(" \t\r\n") != std::string_view::npos) {
    return "the code is empty or holds white space";
  }
  if (!IsValidUtf8(line) || !IsValidUtf8(translation)) return "not UTF-8";
  if (MatchKey(line).empty()) return "the line has no words";
  if (Trimmed(translation, " \t\r\n").empty()) return "the translation is empty";
  return "";
}

}  // namespace

std::optional<std::vector<Correction>> ParseLines(std::string_view text, std::string* problem) {
  std::vector<Correction> lines;
  for (std::size_t number = 1; !text.empty(); ++number) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view content = Trimmed(line);
    if (content.empty() || content.front() == '#') continue;
    std::size_t first_tab = line.find('\t');
    std::size_t second_tab =
        first_tab == std::string_view::npos ? first_tab : line.find('\t', first_tab + 1);
    std::string fault;
    if (second_tab == std::string_view::npos ||
        line.find('\t', second_tab + 1) != std::string_view::npos) {
      fault = "needs CODE, LINE and TRANSLATION, tab-separated";
    } else {
      Correction entry{std::string(Trimmed(line.substr(0, first_tab))),
                       std::string(line.substr(first_tab + 1, second_tab - first_tab - 1)),
                       std::string(Trimmed(line.substr(second_tab + 1)))};
      fault = FieldProblem(entry.code, entry.line, entry.translation);
      if (fault.empty()) lines.push_back(std::move(entry));
    }
    if (!fault.empty()) {
      *problem = "line " + std::to_string(number) + ": " + fault;
      return std::nullopt;
    }
  }
  return lines;
}

std::optional<Corrections> Corrections::Parse(std::string_view text, std::string* problem) {
  auto lines = ParseLines(text, problem);
  if (!lines) return std::nullopt;
  Corrections corrections;
  for (Correction& line : *lines) {
    corrections.translations_[KeyOf(line.code, line.line)] = std::move(line.translation);
  }
  return corrections;
}

std::optional<std::string> Corrections::Answer(std::string_view code,
                                               std::string_view utf8_line) const {
  if (translations_.empty()) return std::nullopt;
  auto found = translations_.find(KeyOf(code, utf8_line));
  if (found == translations_.end()) return std::nullopt;
  return ShapeAnswer(utf8_line, found->second);
}

std::string FormatLine(std::string_view code, std::string_view line, std::string_view translation,
                       std::string* problem) {
  line = Trimmed(line, " \t\r\n");
  translation = Trimmed(translation, " \t\r\n");
  for (std::string_view field : {code, line, translation}) {
    if (field.find_first_of("\t\r\n") != std::string_view::npos) {
      *problem = "a field holds a tab or a line break";
      return "";
    }
  }
  *problem = FieldProblem(code, line, translation);
  if (!problem->empty()) return "";
  return std::string(code) + '\t' + std::string(line) + '\t' + std::string(translation) + '\n';
}

}  // namespace service::corrections
