#include "line_words.h"

#include "service/text/protected_spans.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace service::detect {

namespace {

bool IsWordCharacter(UChar32 c) { return u_isalpha(c) || (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; }

bool IsApostrophe(UChar32 c) { return c == '\'' || c == 0x2019; }

void AddWords(std::string_view text, std::vector<std::string>* words) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::string word;
  std::int32_t at = 0;
  while (at < length) {
    std::int32_t start = at;
    UChar32 c;
    U8_NEXT(bytes, at, length, c);
    if (c >= 0 && IsWordCharacter(c)) {
      word.append(text.substr(start, at - start));
      continue;
    }
    // An apostrophe joins two letters ("l'homme", "don't"); anywhere else it ends the word.
    std::int32_t next = at;
    UChar32 following = -1;
    if (next < length) U8_NEXT(bytes, next, length, following);
    if (c >= 0 && IsApostrophe(c) && !word.empty() && following >= 0 &&
        IsWordCharacter(following)) {
      word.append(text.substr(start, at - start));
      continue;
    }
    if (!word.empty()) words->push_back(std::move(word));
    word.clear();
  }
  if (!word.empty()) words->push_back(std::move(word));
}

}  // namespace

std::vector<std::string> LineWords(std::string_view utf8_text) {
  std::vector<std::string> words;
  for (const Piece& piece : ProtectSpans(utf8_text)) {
    if (!piece.keep) AddWords(piece.text, &words);
  }
  return words;
}

}  // namespace service::detect
