// The request path and the cutting of the page. The path never holds a byte that ends the
// request line or splits the query, and the service's decoding gives back text and code; the
// cut is the text between the first start marker and the end marker after it.
//
// Input: text \0 language pair \0 page
#include "fuzz/fuzz_support.h"
#include "service/http/form_query.h"
#include "translation/fetch_translation.h"

#include <cstring>

namespace {

bool BreaksRequestLine(unsigned char byte) { return byte < 0x20 || byte >= 0x7F || byte == '#'; }

void CheckPath(const std::string& text, const std::string& pair) {
  const ExactCString textCopy(text);
  const ExactCString pairCopy(pair);
  const std::string path = BuildTranslationPath(textCopy.get(), pairCopy.get());
  for (unsigned char byte : path) Require(!BreaksRequestLine(byte), "no byte breaks the line");
  Require(path.find('&') == path.rfind('&'), "one '&' only, between the two fields");

  const std::string_view query = service::TargetQuery(path);
  Require(service::FormField(query, "trtext") == text, "the text decodes back");
  Require(service::FormField(query, "lp") == pair, "the language pair decodes back");
}

void CheckExtraction(const std::string& page) {
  std::string translation = "<unset>";
  const std::size_t start = page.find(TRANSLATION_START_MARKER);
  if (!ExtractTranslation(page, translation)) {
    Require(start == std::string::npos, "false only without a start marker");
    return;
  }
  Require(start != std::string::npos, "true only with a start marker");
  const std::size_t from = start + std::strlen(TRANSLATION_START_MARKER);
  Require(page.compare(from, translation.size(), translation) == 0,
          "the translation follows the first start marker");
  const std::size_t after = from + translation.size();
  Require(after == page.size() ||
              page.compare(after, std::strlen(TRANSLATION_END_MARKER), TRANSLATION_END_MARKER) == 0,
          "the translation ends at an end marker or the page's end");
  Require(translation.find(TRANSLATION_END_MARKER) == std::string::npos,
          "the translation holds no end marker");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzParts parts(data, size);
  CheckPath(parts.Part(0), parts.Part(1));
  CheckExtraction(parts.Part(2));
  return 0;
}
