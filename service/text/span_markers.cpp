#include "span_markers.h"

#include <algorithm>

namespace service {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimFront(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}
std::string_view TrimBack(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}
std::string_view Trim(std::string_view text) { return TrimFront(TrimBack(text)); }

// "{1}", "{2}", ...: engines copy numbers and ASCII brackets as they are, where words in a
// placeholder ("KEEP1") are translated and markup is only safe in an HTML mode that not every
// engine has. Numbering shows loss, doubling and reordering alike.
std::string Marker(std::size_t n) { return "{" + std::to_string(n) + "}"; }

// Each "{digits}" in the text at its offset, as a number (0 when too long to be one of ours).
struct Found {
  std::size_t at, length, number;
};
std::vector<Found> FindMarkers(std::string_view text) {
  std::vector<Found> found;
  for (std::size_t i = text.find('{'); i != std::string_view::npos; i = text.find('{', i + 1)) {
    std::size_t end = i + 1;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end == i + 1 || end >= text.size() || text[end] != '}') continue;
    std::string digits(text.substr(i + 1, end - i - 1));
    std::size_t number = digits.size() > 6 ? 0 : std::stoul(digits);
    found.push_back(Found{i, end + 1 - i, number});
  }
  return found;
}

}  // namespace

Edges SplitEdges(const std::vector<Piece>& pieces) {
  const std::string text = JoinPieces(pieces);
  std::string_view trimmed = Trim(text);
  std::size_t first = trimmed.empty() ? text.size() : trimmed.data() - text.data();
  std::size_t last = first + trimmed.size();
  Edges edges{text.substr(0, first), text.substr(last), {}};
  std::size_t at = 0;
  for (const Piece& piece : pieces) {
    std::size_t begin = std::max(at, first), end = std::min(at + piece.text.size(), last);
    if (begin < end) {
      edges.middle.push_back(
          Piece{text.substr(begin, end - begin), piece.keep, piece.ends_sentence});
    }
    at += piece.text.size();
  }
  return edges;
}

namespace {

std::optional<std::string> TranslateTrimmed(std::string_view text, const TranslateText& translate) {
  std::string_view words = Trim(text);
  if (words.empty()) return std::string(text);
  auto translated = translate(words);
  if (!translated) return std::nullopt;
  std::size_t head = words.data() - text.data();
  return std::string(text.substr(0, head)) + std::string(Trim(*translated)) +
         std::string(text.substr(head + words.size()));
}

}  // namespace

std::string JoinPieces(const std::vector<Piece>& pieces) {
  std::string text;
  for (const Piece& piece : pieces) text += piece.text;
  return text;
}

std::optional<std::string> TranslatePieceByPiece(const std::vector<Piece>& pieces,
                                                 const TranslateText& translate) {
  std::string result;
  for (const Piece& piece : pieces) {
    if (piece.keep) {
      result += piece.text;
      continue;
    }
    auto translated = TranslateTrimmed(piece.text, translate);
    if (!translated) return std::nullopt;
    result += *translated;
  }
  return result;
}

std::optional<std::string> TranslateAroundSpans(const std::vector<Piece>& pieces,
                                                const TranslateText& translate) {
  Edges edges = SplitEdges(pieces);
  std::vector<const Piece*> kept;
  std::string request;
  bool typed_marker = false;
  for (const Piece& piece : edges.middle) {
    if (piece.keep) {
      // A blank line is where plain-text engines (and apertium-destxt) end a paragraph.
      if (piece.ends_sentence && !request.empty()) request += "\n\n";
      kept.push_back(&piece);
      request += Marker(kept.size());
    } else {
      typed_marker = typed_marker || !FindMarkers(piece.text).empty();
      request += piece.text;
    }
  }
  if (kept.size() == edges.middle.size()) return JoinPieces(pieces);
  // A marker the user typed would pass the check for one of ours.
  if (typed_marker) return TranslatePieceByPiece(pieces, translate);
  auto translated = translate(request);
  if (!translated) return std::nullopt;
  if (kept.empty()) return edges.lead + std::string(Trim(*translated)) + edges.trail;

  std::vector<Found> markers = FindMarkers(*translated);
  auto stranger = [&](const Found& m) { return m.number == 0 || m.number > kept.size(); };
  markers.erase(std::remove_if(markers.begin(), markers.end(), stranger), markers.end());
  bool intact = markers.size() == kept.size();
  for (std::size_t n = 0; intact && n < markers.size(); ++n) intact = markers[n].number == n + 1;
  if (!intact) return TranslatePieceByPiece(pieces, translate);

  // Only what the engine put around the words goes, never the ends of a kept piece; the blanks
  // next to one that ends a sentence are its own, so the engine's there go too.
  const std::string_view answer = *translated;
  auto words = [&](std::size_t begin, std::size_t end, std::size_t n) {
    std::string_view between = answer.substr(begin, end - begin);
    if (n == 0 || kept[n - 1]->ends_sentence) between = TrimFront(between);
    if (n == kept.size() || kept[n]->ends_sentence) between = TrimBack(between);
    return between;
  };
  std::string body(words(0, markers[0].at, 0));
  for (std::size_t n = 0; n < markers.size(); ++n) {
    std::size_t after = markers[n].at + markers[n].length;
    std::size_t next = n + 1 < markers.size() ? markers[n + 1].at : answer.size();
    body += kept[n]->text;
    body += words(after, next, n + 1);
  }
  return edges.lead + body + edges.trail;
}

}  // namespace service
