#include "text_translation.h"

#include "service/cache/translation_cache.h"
#include "service/metrics/service_metrics.h"
#include "service/text/markup_pieces.h"
#include "service/text/protected_spans.h"

namespace service {

namespace {

std::vector<Piece> PiecesOf(const std::string& text, TextFormat format) {
  return format == TextFormat::kHtml ? ProtectMarkup(text) : ProtectSpans(text);
}

TextTranslation Refused(std::string engine, const char* result, std::string problem) {
  TextTranslation refused;
  refused.status = 503;
  refused.engine = std::move(engine);
  refused.result = result;
  refused.problem = std::move(problem);
  return refused;
}

}  // namespace

TextTranslation TranslateText(const Router& router, cache::TranslationCache* cache,
                              const std::string& code, const std::string& text, TextFormat format) {
  std::vector<Piece> pieces = PiecesOf(text, format);
  TextTranslation done;
  if (cache) {
    if (auto remembered = cache->Recall(code, pieces)) {
      done.ok = true;
      done.text = std::move(*remembered);
      return done;
    }
  }
  // An engine that is down would only fail again: say so at once. (The code may have gone
  // since it was looked up; the router then says so.)
  if (Engine* engine = router.Find(code)) {
    EngineHealth health = engine->Health();
    if (!health.ready) {
      return Refused(engine->Name(), metrics::kEngineDown,
                     "The engine " + engine->Name() + " that serves \"" + code +
                         "\" is down: " + health.reason + ". Please try again later.");
    }
  }
  std::string engine;
  Translation translation = router.Translate(code, pieces, &engine);
  if (!translation.ok) {
    return Refused(
        engine, metrics::kFailed,
        "The text could not be translated: " + translation.problem + ". Please try again.");
  }
  if (cache) cache->Remember(code, pieces, translation.text);
  done.ok = true;
  done.text = std::move(translation.text);
  done.engine = std::move(engine);
  done.result = metrics::kTranslated;
  return done;
}

}  // namespace service
