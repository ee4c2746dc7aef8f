#include "correction_line.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <array>

namespace service::corrections {

namespace {

constexpr std::string_view kBlank = " \t\r\n";

// UTF-8, longest first where one begins another.
constexpr std::array<std::string_view, 12> kEndPunctuation = {"\xe2\x80\xa6" /* … */,
                                                              "\xe2\x80\xbd" /* ‽ */,
                                                              "\xe2\x81\x89" /* ⁉ */,
                                                              "\xe2\x81\x88" /* ⁈ */,
                                                              "\xe3\x80\x82" /* 。 */,
                                                              "\xef\xbc\x81" /* ！ */,
                                                              "\xef\xbc\x9f" /* ？ */,
                                                              "\xc2\xbf" /* ¿ */,
                                                              "\xc2\xa1" /* ¡ */,
                                                              ".",
                                                              "!",
                                                              "?"};
constexpr std::array<std::string_view, 2> kOpeningMarks = {"\xc2\xbf", "\xc2\xa1"};

std::string_view Trimmed(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// The length of the end punctuation at the end of trimmed `text`, with the blanks before and
// between its marks ("Ça va ?").
std::size_t EndPunctuationLength(std::string_view text) {
  std::size_t end = text.size();
  for (bool found = true; found;) {
    found = false;
    while (end > 0 && kBlank.find(text[end - 1]) != std::string_view::npos) --end;
    for (std::string_view mark : kEndPunctuation) {
      if (end >= mark.size() && text.substr(end - mark.size(), mark.size()) == mark) {
        end -= mark.size();
        found = true;
        break;
      }
    }
  }
  return text.size() - end;
}

std::string_view WithoutOpeningMarks(std::string_view text) {
  for (bool found = true; found;) {
    found = false;
    text = Trimmed(text);
    for (std::string_view mark : kOpeningMarks) {
      if (text.substr(0, mark.size()) == mark) {
        text.remove_prefix(mark.size());
        found = true;
      }
    }
  }
  return text;
}

std::string LowerFirstLetter(std::string_view text) {
  if (text.empty()) return {};  // U8_NEXT reads a byte before it looks at the length
  std::int32_t at = 0;
  UChar32 first = 0;
  U8_NEXT(text.data(), at, static_cast<std::int32_t>(text.size()), first);
  if (first < 0) return std::string(text);
  char lower[U8_MAX_LENGTH];
  std::int32_t length = 0;
  UBool error = false;
  U8_APPEND(lower, length, U8_MAX_LENGTH, u_tolower(first), error);
  if (error) return std::string(text);
  return std::string(lower, static_cast<std::size_t>(length)) + std::string(text.substr(at));
}

}  // namespace

std::string MatchKey(std::string_view utf8_line) {
  std::string_view words = Trimmed(utf8_line);
  words.remove_suffix(EndPunctuationLength(words));
  return LowerFirstLetter(WithoutOpeningMarks(Trimmed(words)));
}

std::string ShapeAnswer(std::string_view utf8_line, std::string_view translation) {
  std::size_t first = utf8_line.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return std::string(utf8_line);
  std::size_t last = utf8_line.find_last_not_of(kBlank);
  std::string_view words = utf8_line.substr(first, last - first + 1);
  std::string answer(utf8_line.substr(0, first));
  answer += Trimmed(translation);
  if (EndPunctuationLength(Trimmed(translation)) == 0) {
    std::size_t punctuation = EndPunctuationLength(words);
    answer += words.substr(words.size() - punctuation);
  }
  return answer + std::string(utf8_line.substr(last + 1));
}

}  // namespace service::corrections
