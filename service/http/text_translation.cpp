#include "text_translation.h"

#include "service/cache/translation_cache.h"
#include "service/corrections/correction_book.h"
#include "service/metrics/service_metrics.h"
#include "service/text/markup_pieces.h"
#include "service/text/protected_spans.h"

#include <optional>
#include <string_view>

namespace service {

namespace {

std::vector<Piece> PiecesOf(const std::string& text, TextFormat format) {
  return format == TextFormat::kHtml ? ProtectMarkup(text) : ProtectSpans(text);
}

// What stands between two texts of a batch in the engine's one request: kept, so it comes back
// byte for byte, and ending a sentence, so no text runs into the next. No text may hold it.
constexpr std::string_view kBetweenTexts = "\n\x1e\n";

TextTranslation Refused(std::string engine, const char* result, std::string problem) {
  TextTranslation refused;
  refused.status = 503;
  refused.engine = std::move(engine);
  refused.result = result;
  refused.problem = std::move(problem);
  return refused;
}

// Why `code` cannot be translated now (its engine is down), or nothing. (The code may have gone
// since it was looked up; the router then says so.)
std::optional<TextTranslation> EngineDown(const Router& router, const std::string& code) {
  Engine* engine = router.Find(code);
  if (!engine) return std::nullopt;
  EngineHealth health = engine->Health();
  if (health.ready) return std::nullopt;
  return Refused(engine->Name(), metrics::kEngineDown,
                 "The engine " + engine->Name() + " that serves \"" + code +
                     "\" is down: " + health.reason + ". Please try again later.");
}

TextTranslation Translated(const Router& router, const std::string& code,
                           const std::vector<Piece>& pieces) {
  // An engine that is down would only fail again: say so at once.
  if (auto down = EngineDown(router, code)) return std::move(*down);
  std::string engine;
  Translation translation = router.Translate(code, pieces, &engine);
  if (!translation.ok) {
    return Refused(
        engine, metrics::kFailed,
        "The text could not be translated: " + translation.problem + ". Please try again.");
  }
  TextTranslation done;
  done.ok = true;
  done.text = std::move(translation.text);
  done.engine = std::move(engine);
  done.result = metrics::kTranslated;
  return done;
}

std::optional<TextTranslation> Recalled(cache::TranslationCache* cache, const std::string& code,
                                        const std::vector<Piece>& pieces) {
  if (!cache) return std::nullopt;
  auto remembered = cache->Recall(code, pieces);
  if (!remembered) return std::nullopt;
  TextTranslation done;
  done.ok = true;
  done.text = std::move(*remembered);
  return done;
}

// The operator's answer to a chat line of one piece to translate between kept ones, or nothing.
std::optional<TextTranslation> Corrected(corrections::CorrectionBook* corrections,
                                         const std::string& code, const std::vector<Piece>& pieces,
                                         TextFormat format) {
  if (!corrections || format != TextFormat::kChat) return std::nullopt;
  const Piece* line = nullptr;
  for (const Piece& piece : pieces) {
    if (piece.keep) continue;
    if (line) return std::nullopt;
    line = &piece;
  }
  if (!line) return std::nullopt;
  auto answer = corrections->Answer(code, line->text);
  if (!answer) return std::nullopt;
  TextTranslation done;
  done.ok = true;
  for (const Piece& piece : pieces) done.text += &piece == line ? *answer : piece.text;
  return done;
}

// Appends `piece`, joined to the last one when both are kept, so that pieces still alternate.
void Append(std::vector<Piece>& pieces, Piece piece) {
  if (!pieces.empty() && pieces.back().keep && piece.keep) {
    pieces.back().text += piece.text;
    pieces.back().ends_sentence = pieces.back().ends_sentence || piece.ends_sentence;
    return;
  }
  pieces.push_back(std::move(piece));
}

// The blanks next to a piece that ends a sentence are its own (engines drop theirs there), so
// those at the end of the text before it move into it.
void TakeTrailingBlanks(std::vector<Piece>& pieces) {
  if (pieces.size() < 2 || pieces[pieces.size() - 2].keep) return;
  std::string& text = pieces[pieces.size() - 2].text;
  std::size_t end = text.find_last_not_of(" \t\r\n");
  if (end == std::string::npos || end + 1 == text.size()) return;
  pieces.back().text.insert(0, text, end + 1, std::string::npos);
  text.erase(end + 1);
}

// The texts' pieces as one text, kBetweenTexts between each two.
std::vector<Piece> Joined(const std::vector<const std::vector<Piece>*>& texts) {
  std::vector<Piece> joined;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) {
      Append(joined, Piece{std::string(kBetweenTexts), true, true});
      TakeTrailingBlanks(joined);
    }
    for (const Piece& piece : *texts[i]) Append(joined, piece);
  }
  return joined;
}

// The translation of a joined text cut back into its texts; nothing when the cuts are not
// there once each.
std::optional<std::vector<std::string>> Cut(const std::string& joined, std::size_t count) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t cut; (cut = joined.find(kBetweenTexts, start)) != std::string::npos;) {
    parts.push_back(joined.substr(start, cut - start));
    start = cut + kBetweenTexts.size();
  }
  parts.push_back(joined.substr(start));
  if (parts.size() != count) return std::nullopt;
  return parts;
}

bool Joinable(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    if (text.find(kBetweenTexts[1]) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

TextTranslation TranslateText(const Router& router, cache::TranslationCache* cache,
                              const std::string& code, const std::string& text, TextFormat format,
                              corrections::CorrectionBook* corrections) {
  std::vector<Piece> pieces = PiecesOf(text, format);
  if (auto corrected = Corrected(corrections, code, pieces, format)) return std::move(*corrected);
  if (auto remembered = Recalled(cache, code, pieces)) return std::move(*remembered);
  TextTranslation done = Translated(router, code, pieces);
  if (done.ok && cache) cache->Remember(code, pieces, done.text);
  return done;
}

bool RemembersInMemory(cache::TranslationCache* cache, const std::string& code,
                       const std::string& text, TextFormat format) {
  return cache && cache->HoldsInMemory(code, PiecesOf(text, format));
}

std::vector<TextTranslation> TranslateTexts(const Router& router, cache::TranslationCache* cache,
                                            const std::string& code,
                                            const std::vector<std::string>& texts,
                                            TextFormat format,
                                            corrections::CorrectionBook* corrections) {
  std::vector<TextTranslation> results(texts.size());
  std::vector<std::vector<Piece>> pieces(texts.size());
  std::vector<std::size_t> missed;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    pieces[i] = PiecesOf(texts[i], format);
    if (auto corrected = Corrected(corrections, code, pieces[i], format)) {
      results[i] = std::move(*corrected);
    } else if (auto remembered = Recalled(cache, code, pieces[i])) {
      results[i] = std::move(*remembered);
    } else {
      missed.push_back(i);
    }
  }
  if (missed.size() < 2 || !Joinable(texts)) {
    for (std::size_t i : missed) {
      results[i] = Translated(router, code, pieces[i]);
      if (results[i].ok && cache) cache->Remember(code, pieces[i], results[i].text);
    }
    return results;
  }
  std::vector<const std::vector<Piece>*> asked;
  for (std::size_t i : missed) asked.push_back(&pieces[i]);
  TextTranslation together = Translated(router, code, Joined(asked));
  std::optional<std::vector<std::string>> parts;
  if (together.ok) parts = Cut(together.text, missed.size());
  for (std::size_t n = 0; n < missed.size(); ++n) {
    std::size_t i = missed[n];
    if (!together.ok) {
      results[i] = together;
      continue;
    }
    if (!parts) {  // the engine lost a cut: each text alone
      results[i] = Translated(router, code, pieces[i]);
    } else {
      results[i].ok = true;
      results[i].text = std::move((*parts)[n]);
      results[i].engine = together.engine;
      results[i].result = together.result;
    }
    if (results[i].ok && cache) cache->Remember(code, pieces[i], results[i].text);
  }
  return results;
}

}  // namespace service
