// HTML pieces: whatever the bytes, they join to the input, alternate, are never empty; no text
// piece holds a tag's opening or a character reference, or a blank next to a sentence's end;
// and an engine that changes nothing gives the input back on the marker path and on Apertium's
// stream format alike.
#include "fuzz/fuzz_support.h"
#include "service/engine/apertium/stream_format.h"
#include "service/text/markup_pieces.h"
#include "service/text/span_markers.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using service::Piece;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAlnum(char c) { return IsAlpha(c) || (c >= '0' && c <= '9'); }

bool OpensTag(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    char next = text[i + 1];
    if (text[i] == '<' && (IsAlpha(next) || next == '/' || next == '!' || next == '?')) return true;
  }
  return false;
}

// "&name;", "&#123;" or "&#x1F;".
bool HoldsReference(std::string_view text) {
  auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t i = text.find('&'); i != std::string_view::npos; i = text.find('&', i + 1)) {
    std::string_view rest = text.substr(i + 1);
    std::size_t j = 0;
    if (rest.substr(0, 2) == "#x" || rest.substr(0, 2) == "#X") {
      for (j = 2; j < rest.size() && hex(rest[j]); ++j) {
      }
      if (j == 2) continue;
    } else if (rest.substr(0, 1) == "#") {
      for (j = 1; j < rest.size() && digit(rest[j]); ++j) {
      }
      if (j == 1) continue;
    } else if (!rest.empty() && IsAlpha(rest[0])) {
      for (j = 1; j < rest.size() && IsAlnum(rest[j]); ++j) {
      }
    }
    if (j > 0 && j < rest.size() && rest[j] == ';') return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  const std::vector<Piece> pieces = service::ProtectMarkup(html);
  Require(service::JoinPieces(pieces) == html, "the pieces join to the input");
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Piece& piece = pieces[i];
    Require(!piece.text.empty(), "no piece is empty");
    Require(i == 0 || piece.keep != pieces[i - 1].keep, "pieces alternate");
    if (piece.keep) continue;
    Require(!piece.ends_sentence, "only kept pieces end sentences");
    Require(std::any_of(piece.text.begin(), piece.text.end(),
                        [](char c) { return IsAlnum(c) || (c & 0x80); }),
            "text pieces hold words");
    Require(!OpensTag(piece.text), "no tag opens in a text piece");
    Require(!HoldsReference(piece.text), "references are kept");
    bool open_before = i == 0 || pieces[i - 1].ends_sentence;
    bool open_after = i + 1 == pieces.size() || pieces[i + 1].ends_sentence;
    Require(!(open_before && IsBlank(piece.text.front())) &&
                !(open_after && IsBlank(piece.text.back())),
            "the blanks next to a sentence's end are kept");
  }

  auto unchanged = [](std::string_view text) { return std::optional<std::string>(text); };
  Require(service::TranslateAroundSpans(pieces, unchanged) == html,
          "an engine that changes nothing gives the input back through markers");
  // The stream format leaves NUL bytes out, and with them gone a blank they stood behind is at
  // an end, where Apertium's blanks are trimmed.
  if (html.find('\0') == std::string_view::npos) {
    Require(service::Reformat(service::Deformat(pieces), pieces) == html,
            "an engine that changes nothing gives the input back through the stream format");
  }
  return 0;
}
