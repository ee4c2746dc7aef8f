#include "writing_system.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf8.h>

#include <memory>
#include <vector>

namespace service::detect {

namespace {

// The CJK Unified Ideographs, where the forms Simplified and Traditional Chinese write apart are.
constexpr UChar32 kHanFirst = 0x4E00;
constexpr UChar32 kHanLast = 0x9FFF;

// Which ideographs one script writes and the other writes otherwise, as ICU's own
// Simplified-Traditional transliteration has them: read once, on first use.
class HanForms {
 public:
  static const HanForms& Get() {
    static const HanForms forms;
    return forms;
  }
  bool Simplified(UChar32 c) const { return In(simplified_, c); }
  bool Traditional(UChar32 c) const { return In(traditional_, c); }

 private:
  HanForms()
      : simplified_(Changed("Simplified-Traditional")),
        traditional_(Changed("Traditional-Simplified")) {}

  static bool In(const std::vector<bool>& set, UChar32 c) {
    return c >= kHanFirst && c <= kHanLast && set[c - kHanFirst];
  }

  // The ideographs the transliteration changes; none where ICU's data lacks it.
  static std::vector<bool> Changed(const char* id) {
    std::vector<bool> changed(kHanLast - kHanFirst + 1, false);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transliterator(
        icu::Transliterator::createInstance(id, UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transliterator) return changed;
    for (UChar32 c = kHanFirst; c <= kHanLast; ++c) {
      icu::UnicodeString form(c);
      transliterator->transliterate(form);
      changed[c - kHanFirst] = form != icu::UnicodeString(c);
    }
    return changed;
  }

  const std::vector<bool> simplified_;
  const std::vector<bool> traditional_;
};

void CountHan(UChar32 c, ScriptTally* tally) {
  ++tally->han;
  const HanForms& forms = HanForms::Get();
  bool simplified = forms.Simplified(c), traditional = forms.Traditional(c);
  // A character each writes differently from the other script's form of it says nothing.
  if (simplified && !traditional) ++tally->simplified;
  if (traditional && !simplified) ++tally->traditional;
}

void Count(UChar32 c, ScriptTally* tally) {
  UErrorCode status = U_ZERO_ERROR;
  UScriptCode script = uscript_getScript(c, &status);
  if (U_FAILURE(status)) return;
  switch (script) {
    case USCRIPT_LATIN: ++tally->latin; break;
    case USCRIPT_GREEK: ++tally->greek; break;
    case USCRIPT_CYRILLIC: ++tally->cyrillic; break;
    case USCRIPT_HANGUL: ++tally->hangul; break;
    case USCRIPT_HIRAGANA:
    case USCRIPT_KATAKANA:
    case USCRIPT_KATAKANA_OR_HIRAGANA: ++tally->kana; break;
    case USCRIPT_HAN: CountHan(c, tally); break;
    default: ++tally->other; break;
  }
}

}  // namespace

void LoadHanForms() { HanForms::Get(); }

ScriptTally TallyScripts(std::string_view utf8_text) {
  ScriptTally tally;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8_text.data());
  const auto length = static_cast<std::int32_t>(utf8_text.size());
  std::int32_t at = 0;
  while (at < length) {
    UChar32 c;
    U8_NEXT(bytes, at, length, c);
    // The prolonged sound mark (ー) is a letter of no one script; kana words hold it.
    if (c == 0x30FC) {
      ++tally.kana;
    } else if (c >= 0 && u_isalpha(c)) {
      Count(c, &tally);
    }
  }
  return tally;
}

}  // namespace service::detect
