#include "protected_spans.h"

#include <algorithm>
#include <utility>

namespace service {

namespace {

using Text = std::string_view;
constexpr std::size_t kNoMatch = 0;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsAlpha(c) || IsDigit(c); }
bool IsAscii(char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; }
bool OneOf(char c, Text set) { return c != '\0' && set.find(c) != Text::npos; }
char At(Text s, std::size_t i) { return i < s.size() ? s[i] : '\0'; }

// The code point at i and its length; length 0 where the bytes are not UTF-8.
std::size_t Decode(Text s, std::size_t i, char32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  if (i >= s.size()) return 0;
  std::size_t length = b(0) < 0x80 ? 1 : b(0) >= 0xF0 ? 4 : b(0) >= 0xE0 ? 3 : b(0) >= 0xC2 ? 2 : 0;
  if (length == 0 || b(0) > 0xF4 || i + length > s.size()) return 0;
  cp = length == 1 ? b(0) : b(0) & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  return cp > 0x10FFFF ? 0 : length;
}

char32_t CodePoint(Text s, std::size_t i, std::size_t& length) {
  char32_t cp = 0;
  length = Decode(s, i, cp);
  return length == 0 ? 0 : cp;
}

// Latin letters beyond ASCII, so that "@José" and "#añoNuevo" are whole names.
std::size_t NameChar(Text s, std::size_t i) {
  if (IsAlnum(At(s, i)) || At(s, i) == '_') return 1;
  std::size_t length = 0;
  char32_t cp = CodePoint(s, i, length);
  bool latin = cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7;
  return latin ? length : 0;
}

// Where a link, an address or a path may begin: not inside a word.
bool TokenStart(Text s, std::size_t i) {
  return i == 0 || IsBlank(s[i - 1]) || OneOf(s[i - 1], "([{<\"',;");
}

// Not after a letter, digit or "&" (an HTML entity "&#39;"), nor inside a link.
bool NameStart(Text s, std::size_t i) {
  if (i == 0) return true;
  char prev = s[i - 1];
  return IsAscii(prev) && !IsAlnum(prev) && !OneOf(prev, "_&@#/\\:.");
}

// A link, path or address does not take the punctuation that ends the sentence around it.
std::size_t TrimTrailing(Text s, std::size_t begin, std::size_t end) {
  while (end > begin) {
    char c = s[end - 1];
    Text run = s.substr(begin, end - begin);
    auto count = [&](char k) { return std::count(run.begin(), run.end(), k); };
    bool unopened = (c == ')' && count('(') < count(')')) || (c == ']' && count('[') < count(']'));
    if (!OneOf(c, ".,?!:;'\"") && !unopened) break;
    --end;
  }
  return end;
}

std::size_t RunEnd(Text s, std::size_t i, Text stops) {
  while (i < s.size() && !IsBlank(s[i]) && !OneOf(s[i], stops)) ++i;
  return i;
}

// GNU's quotes, "`word'", as message catalogs write them: words of the sentence, not code, or
// "`socket' para enviar un mensaje `broadcast'" would keep all between two of them.
bool OpensQuote(Text s, std::size_t i) {
  std::size_t close = i + 1;
  while (close < s.size() && !IsBlank(s[close]) && !OneOf(s[close], "`'")) ++close;
  return close > i + 1 && At(s, close) == '\'' && !IsAlnum(At(s, close + 1));
}

std::size_t MatchCode(Text s, std::size_t i) {
  if (s[i] != '`' || OpensQuote(s, i)) return kNoMatch;
  std::size_t close = s.find('`', i + 1);
  return close == Text::npos || close == i + 1 ? kNoMatch : close + 1;
}

std::size_t MatchUrl(Text s, std::size_t i) {
  if (!TokenStart(s, i) || !IsAlpha(s[i])) return kNoMatch;
  std::size_t rest = i;
  if (s.size() - i > 4 && (s.substr(i, 4) == "www." || s.substr(i, 4) == "WWW.") &&
      IsAlnum(s[i + 4])) {
    rest = i + 4;
  } else {
    std::size_t j = i;
    while (j < s.size() && (IsAlnum(s[j]) || OneOf(s[j], "+.-"))) ++j;
    if (s.substr(j, 3) != "://") return kNoMatch;
    rest = j + 3;
  }
  std::size_t end = TrimTrailing(s, i, RunEnd(s, rest, "<>\"`"));
  return end > rest ? end : kNoMatch;
}

std::size_t MatchEmail(Text s, std::size_t i) {
  auto local = [](char c) { return IsAlnum(c) || OneOf(c, "._%+-"); };
  if (!IsAlnum(s[i]) || (i > 0 && (local(s[i - 1]) || s[i - 1] == '@'))) return kNoMatch;
  std::size_t at = i;
  while (at < s.size() && local(s[at])) ++at;
  if (At(s, at) != '@') return kNoMatch;
  std::size_t j = at + 1, labels = 0, tld = 0;
  bool alphabetic = false;
  while (true) {
    std::size_t label = j;
    while (j < s.size() && (IsAlnum(s[j]) || s[j] == '-')) ++j;
    if (j == label) return kNoMatch;
    ++labels;
    tld = j - label;
    alphabetic = std::all_of(s.begin() + label, s.begin() + j, IsAlpha);
    if (At(s, j) != '.' || !IsAlnum(At(s, j + 1))) break;
    ++j;
  }
  return labels >= 2 && alphabetic && tld >= 2 ? j : kNoMatch;
}

std::size_t MatchWindowsPath(Text s, std::size_t i) {
  if (!TokenStart(s, i)) return kNoMatch;
  bool drive = IsAlpha(s[i]) && s.substr(i + 1, 2) == ":\\";
  bool share = s.substr(i, 2) == "\\\\" && IsAlnum(At(s, i + 2));
  if (!drive && !share) return kNoMatch;
  std::size_t end = TrimTrailing(s, i, RunEnd(s, i, "\"<>|*?`"));
  if (share && s.substr(i + 2, end - i - 2).find('\\') == Text::npos) return kNoMatch;
  return end;
}

std::size_t MatchPosixPath(Text s, std::size_t i) {
  if (!TokenStart(s, i)) return kNoMatch;
  Text head = s.substr(i, 3);
  if (s[i] != '/' && head.substr(0, 2) != "~/" && head.substr(0, 2) != "./" && head != "../") {
    return kNoMatch;
  }
  std::size_t end = TrimTrailing(s, i, RunEnd(s, i, "\"<>|`"));
  std::size_t parts = 0;
  for (std::size_t k = i; k < end; ++k) {
    if (s[k] != '/' && (k == i || s[k - 1] == '/')) ++parts;
  }
  return parts >= 2 ? end : kNoMatch;
}

// "@name" and "#tag"; a tag needs a letter, so "#1" and "# " stay text.
std::size_t MatchName(Text s, std::size_t i) {
  if ((s[i] != '@' && s[i] != '#') || !NameStart(s, i)) return kNoMatch;
  std::size_t j = i + 1;
  bool letter = false;
  while (std::size_t length = NameChar(s, j)) {
    letter = letter || !IsDigit(s[j]);
    j += length;
    // Inner dots and dashes belong to a nick ("@anne-marie"), not to a tag.
    if (s[i] == '@' && OneOf(At(s, j), ".-") && NameChar(s, j + 1)) ++j;
  }
  if (j == i + 1 || (s[i] == '#' && !letter)) return kNoMatch;
  return j;
}

// The usual ASCII set and kin, less the faces that are as often words or list marks ("XP", "D:",
// "8)"); whole tokens only, so "http:/", "a:b" and "3:30" hold none.
const Text kEmoticons[] = {":)",  ":-)", ":))",  ":(",  ":-(", ":((", ";)",  ";-)", ":D",  ":-D",
                           ";D",  ":P",  ":-P",  ":p",  ":-p", ";P",  ";p",  ":'(", ":')", ":/",
                           ":-/", ":\\", ":-\\", ":O",  ":-O", ":o",  ":-o", ":|",  ":-|", ":*",
                           ":-*", ":3",  ":S",   ":$",  "=)",  "=(",  "=D",  "=P",  "xD",  "XD",
                           "<3",  "<33", "<333", "</3", "^_^", "^^",  "-_-", "o_O", "O_o", "o_o",
                           "O_O", ">_<", "T_T",  ":-]", ":]",  ":-[", ":[",  "8-)", ";-P", ";-p"};

std::size_t MatchEmoticon(Text s, std::size_t i) {
  if (i > 0 && !IsBlank(s[i - 1]) && !OneOf(s[i - 1], "(\"'")) return kNoMatch;
  std::size_t best = kNoMatch;
  for (Text emoticon : kEmoticons) {
    std::size_t end = i + emoticon.size();
    if (s.substr(i, emoticon.size()) != emoticon || end <= best) continue;
    if (end == s.size() || IsBlank(s[end]) || OneOf(s[end], ".,!?;)\"'")) best = end;
  }
  return best;
}

bool IsEmojiBase(char32_t cp) {
  return (cp >= 0x1F000 && cp <= 0x1FAFF) || (cp >= 0x2600 && cp <= 0x27BF) ||
         (cp >= 0x2190 && cp <= 0x21FF) || (cp >= 0x2300 && cp <= 0x23FF) ||
         (cp >= 0x25A0 && cp <= 0x25FF) || (cp >= 0x2B00 && cp <= 0x2BFF) ||
         (cp >= 0x2900 && cp <= 0x297F) || cp == 0x3030 || cp == 0x303D || cp == 0x3297 ||
         cp == 0x3299 || cp == 0x203C || cp == 0x2049 || cp == 0x2139 || cp == 0x24C2;
}

bool IsEmojiModifier(char32_t cp) {
  return cp == 0xFE0E || cp == 0xFE0F || cp == 0x20E3 || (cp >= 0x1F3FB && cp <= 0x1F3FF) ||
         (cp >= 0xE0020 && cp <= 0xE007F);
}

// An emoji with its variation selectors, skin tones, keycap, tag letters and every
// zero-width-joined emoji after it; also a keycap ("1️⃣") and any character shown as emoji
// by U+FE0F ("©️").
std::size_t MatchEmoji(Text s, std::size_t i) {
  std::size_t length = 0, next = 0;
  char32_t cp = CodePoint(s, i, length);
  std::size_t cap = i + 1;
  if (CodePoint(s, cap, next) == 0xFE0F) cap += next;
  bool keycap = OneOf(s[i], "0123456789#*") && CodePoint(s, cap, next) == 0x20E3;
  bool presented = cp >= 0x80 && CodePoint(s, i + length, next) == 0xFE0F;
  if (length == 0 || (!IsEmojiBase(cp) && !keycap && !presented)) return kNoMatch;
  std::size_t end = i + length;
  while (true) {
    char32_t following = CodePoint(s, end, next);
    if (next != 0 && IsEmojiModifier(following)) {
      end += next;
    } else if (next != 0 && following == 0x200D) {
      std::size_t joined = 0;
      if (!IsEmojiBase(CodePoint(s, end + next, joined)) || joined == 0) break;
      end += next + joined;
    } else {
      break;
    }
  }
  return end;
}

// What templates leave for a program to fill: "{{name}}", "{0}", "{name}", "{0:.2f}", and
// printf's "%s", "%1$s", "%-5.2f", "%(count)d". A "%" needs a conversion straight after its
// flags, so "100% sure" and "50%" stay text, and a letter on either side ("10%off") makes it a
// word, except in the "%(name)s" and "%1$s" forms that no word looks like.
std::size_t MatchPlaceholder(Text s, std::size_t i) {
  auto run = [&](std::size_t j, auto accepts) {
    while (j < s.size() && accepts(s[j])) ++j;
    return j;
  };
  auto name = [](char c) { return IsAlnum(c) || c == '_' || c == '.'; };
  if (s[i] == '{' && At(s, i + 1) == '{') {
    std::size_t end = s.find("}}", i + 2);
    if (end == Text::npos || end == i + 2) return kNoMatch;
    Text inside = s.substr(i + 2, end - i - 2);
    bool plain = inside.find_first_of("{}\n") == Text::npos &&
                 std::any_of(inside.begin(), inside.end(), IsAlnum);
    return plain ? end + 2 : kNoMatch;
  }
  if (s[i] == '{') {
    std::size_t j = run(i + 1, name);
    if (j == i + 1) return kNoMatch;
    if (At(s, j) == ':') j = run(j + 1, [](char c) { return c != '}' && c != '{' && !IsBlank(c); });
    return At(s, j) == '}' ? j + 1 : kNoMatch;
  }
  if (s[i] != '%' || (i > 0 && IsAlnum(s[i - 1]))) return kNoMatch;
  std::size_t j = i + 1;
  bool explicit_form = false;
  if (At(s, j) == '(') {
    std::size_t close = run(j + 1, name);
    if (close == j + 1 || At(s, close) != ')') return kNoMatch;
    j = close + 1;
    explicit_form = true;
  } else if (IsDigit(At(s, j))) {
    std::size_t dollar = run(j, IsDigit);
    if (At(s, dollar) == '$') {
      j = dollar + 1;
      explicit_form = true;
    }
  }
  j = run(j, [](char c) { return OneOf(c, "-+#0"); });
  j = run(j, [](char c) { return IsDigit(c) || c == '*'; });
  if (At(s, j) == '.') j = run(j + 1, [](char c) { return IsDigit(c) || c == '*'; });
  j = run(j, [](char c) { return OneOf(c, "hlLqjzt"); });
  if (!OneOf(At(s, j), "diouxXeEfFgGaAcsp@")) return kNoMatch;
  ++j;
  return explicit_form || !IsAlpha(At(s, j)) ? j : kNoMatch;
}

// "bob: " or "anne-marie: " opening the line, as chats address someone.
std::size_t MatchAddressee(Text s, std::size_t i) {
  std::size_t j = i;
  bool letter = false;
  while (true) {
    if (std::size_t length = NameChar(s, j)) {
      letter = letter || !IsDigit(s[j]);
      j += length;
    } else if (OneOf(At(s, j), "-[]{}^|")) {
      ++j;
    } else {
      break;
    }
  }
  if (!letter || At(s, j) != ':' || !IsBlank(At(s, j + 1))) return kNoMatch;
  j += 1;
  while (j < s.size() && IsBlank(s[j])) ++j;
  return j;
}

std::size_t MatchAny(Text s, std::size_t i) {
  for (auto match : {MatchCode, MatchUrl, MatchEmail, MatchWindowsPath, MatchPosixPath, MatchEmoji,
                     MatchName, MatchEmoticon, MatchPlaceholder}) {
    if (std::size_t end = match(s, i)) return end;
  }
  return kNoMatch;
}

bool HoldsWords(Text text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return IsAlnum(c) || !IsAscii(c); });
}

void Append(std::vector<Piece>& pieces, Text text, bool keep) {
  if (text.empty()) return;
  if (!pieces.empty() && pieces.back().keep == keep) {
    pieces.back().text += text;
  } else {
    pieces.push_back(Piece{std::string(text), keep});
  }
}

// ASCII and the Latin-1 letters ("é", "É"), as the languages whose engines capitalise write.
bool IsLowerCase(Text s, std::size_t i) {
  unsigned char next = static_cast<unsigned char>(At(s, i + 1));
  return (At(s, i) >= 'a' && At(s, i) <= 'z') ||
         (At(s, i) == '\xC3' && next >= 0x9F && next != 0xB7);
}

void ToLowerCase(std::string& s, std::size_t i) {
  if (i >= s.size()) return;
  unsigned char next = static_cast<unsigned char>(At(s, i + 1));
  if (s[i] >= 'A' && s[i] <= 'Z') {
    s[i] = static_cast<char>(s[i] - 'A' + 'a');
  } else if (s[i] == '\xC3' && next >= 0x80 && next <= 0x9E && next != 0x97) {
    s[i + 1] = static_cast<char>(next + 0x20);
  }
}

// Only an addressee that is a piece of its own, text after it, can turn into text and leave the
// pieces alternating; one run together with blanks or another kept span stays kept.
void MarkAddressee(std::vector<Piece>& pieces, Text addressee) {
  if (addressee.empty() || pieces.size() < 2 || pieces[0].text != addressee) return;
  pieces[0].keep_if_unknown = true;
}

// The words of an addressee's name, less its colon and blanks; nothing when a part holds a
// digit, which no dictionary's word does ("bob2").
std::vector<std::string> NameWords(Text addressee) {
  std::vector<std::string> words(1);
  for (char c : addressee.substr(0, addressee.find(':'))) {
    if (IsDigit(c)) return {};
    if (IsAscii(c) && !IsAlpha(c)) {
      if (!words.back().empty()) words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

}  // namespace

std::vector<Piece> TranslateKnownAddressees(
    std::vector<Piece> pieces, const std::function<bool(const std::string&)>& is_word) {
  if (pieces.size() < 2 || !pieces[0].keep_if_unknown || pieces[1].keep) return pieces;
  std::vector<std::string> words = NameWords(pieces[0].text);
  if (words.empty() || !std::all_of(words.begin(), words.end(), is_word)) return pieces;
  pieces[1].text.insert(0, pieces[0].text);
  pieces.erase(pieces.begin());
  return pieces;
}

std::string LowerCaseAfterAddressee(const std::vector<Piece>& pieces, std::string translation) {
  if (pieces.size() < 2 || !pieces[0].keep_if_unknown || pieces[1].keep) return translation;
  const std::string& name = pieces[0].text;
  if (!IsLowerCase(pieces[1].text, 0) || translation.compare(0, name.size(), name) != 0) {
    return translation;
  }
  ToLowerCase(translation, name.size());
  return translation;
}

std::vector<Piece> ProtectSpans(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && IsBlank(text[last - 1])) --last;

  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t i = first;
  Text addressee;
  if (std::size_t end = MatchAddressee(text, i)) {
    spans.emplace_back(i, end);
    addressee = text.substr(i, end - i);
    i = end;
  }
  while (i < last) {
    std::size_t end = MatchAny(text.substr(0, last), i);
    if (end == kNoMatch) {
      ++i;
      continue;
    }
    spans.emplace_back(i, end);
    i = end;
  }

  std::vector<Piece> pieces;
  Append(pieces, text.substr(0, first), true);
  std::size_t at = first;
  for (const auto& [begin, end] : spans) {
    Text between = text.substr(at, begin - at);
    // Words are what engines translate; a run of blanks and punctuation alone would reach
    // them as an empty sentence, which they answer with spaces added or the run dropped.
    Append(pieces, between, !HoldsWords(between));
    Append(pieces, text.substr(begin, std::min(end, last) - begin), true);
    at = std::min(end, last);
  }
  Text rest = text.substr(at, last - at);
  Append(pieces, rest, !HoldsWords(rest));
  Append(pieces, text.substr(last), true);
  MarkAddressee(pieces, addressee);
  return pieces;
}

}  // namespace service
