// CLD2's view of a text: the languages its letter statistics point to, with their shares.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace service::detect {

struct Cld2Scores {
  std::map<std::string, double> share;  // by the plug-in's code ("zt" for Traditional Chinese)
};

// Up to three languages with their share of the text in [0, 1]; nothing where CLD2 finds no
// language it can name. `best_effort` asks for its guess on text too short for its own
// threshold, where it would say nothing. Expects valid UTF-8 of plain text.
Cld2Scores ScoreWithCld2(std::string_view utf8_text, bool best_effort = false);

// The share CLD2 gives a Latin-script language (en, es, fr, it, pt, de, nl) when told to expect
// it: how well the text fits that language beside the others, for telling apart two that the
// words leave level. 0 for another code.
double HintedShare(std::string_view utf8_text, const std::string& code);

// CLD2's own answer, as a caller of its plain interface gets it: its first language ("zt" for
// Traditional Chinese, no relative counted for another), or "" for none.
std::string Cld2FirstLanguage(std::string_view utf8_text);

}  // namespace service::detect
