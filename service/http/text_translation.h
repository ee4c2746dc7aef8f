// The one path a text takes to its translation, whoever asked (the plug-in's /tr or one of the
// APIs other clients speak): cut into what is translated and what is kept, answered from the
// remembered answers, or by the router's engines and then remembered.
#pragma once

#include "service/engine/router.h"

#include <string>
#include <vector>

namespace service {

namespace cache {
class TranslationCache;
}
namespace corrections {
class CorrectionBook;
}

enum class TextFormat {
  kChat,  // a chat line: links, names, emoticons, code and placeholders kept as typed
  kHtml,  // markup: tags, comments, entities and the elements not to translate kept as sent
};

struct TextTranslation {
  bool ok = false;
  std::string text;     // UTF-8, when ok
  int status = 200;     // 503 when the engine is down or failed
  std::string problem;  // a sentence for the person asking, when !ok; never holds the text
  // For the metrics: the engine asked (empty when the answer was remembered) and its result.
  std::string engine;
  const char* result = nullptr;
};

// Translates valid UTF-8 `text`, which is not blank, with a code the router serves. A chat line
// the operator corrected is answered so, before the remembered answers and the engines: the
// line matched is what is left once the spans kept are cut off its ends, and those come back
// as typed; a text that only holds a corrected line among other words is not corrected.
TextTranslation TranslateText(const Router& router, cache::TranslationCache* cache,
                              const std::string& code, const std::string& text, TextFormat format,
                              corrections::CorrectionBook* corrections = nullptr);

// Whether TranslateText would answer `text` from the answers remembered in this process's
// memory, so without an engine; nothing is counted or asked of the shared state.
bool RemembersInMemory(cache::TranslationCache* cache, const std::string& code,
                       const std::string& text, TextFormat format);

// The same for several texts of one code, one result each in their order: what is remembered
// is answered so, and the rest goes to the engine in one request, each text a sentence apart,
// since an engine's cost is mostly per request and a chat line is short. When that one request
// fails, every text it carried fails alike.
std::vector<TextTranslation> TranslateTexts(const Router& router, cache::TranslationCache* cache,
                                            const std::string& code,
                                            const std::vector<std::string>& texts,
                                            TextFormat format,
                                            corrections::CorrectionBook* corrections = nullptr);

}  // namespace service
