// The writing systems that settle a language on their own: Greek, Cyrillic, Hangul, kana and Han,
// with Han told apart as Simplified or Traditional by the characters the two write differently
// (国 against 國).
#pragma once

#include <string_view>

namespace service::detect {

// How many letters of each writing system a text holds. Han counts also as one mark for a
// Simplified or a Traditional form where the two differ.
struct ScriptTally {
  int latin = 0;
  int greek = 0;
  int cyrillic = 0;
  int hangul = 0;
  int kana = 0;
  int han = 0;
  int simplified = 0;   // Han characters written only in Simplified Chinese
  int traditional = 0;  // Han characters written only in Traditional Chinese
  int other = 0;        // letters of any other writing system

  int Letters() const { return latin + greek + cyrillic + hangul + kana + han + other; }
};

// Reads which ideographs Simplified and Traditional Chinese write apart (ICU's transliteration
// data, about 0.1 s), which the first TallyScripts otherwise does.
void LoadHanForms();

// Counts the letters of valid UTF-8 text.
ScriptTally TallyScripts(std::string_view utf8_text);

}  // namespace service::detect
