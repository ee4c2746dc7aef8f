// Kept pieces through an engine that only translates plain text (LibreTranslate, APy): the
// words travel in one request with numbered markers in place of the kept pieces, and one by one
// where the engine did not bring the markers back.
#pragma once

#include "service/engine/engine.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service {

// Translates one plain text; nothing when the engine could not.
using TranslateText = std::function<std::optional<std::string>(std::string_view text)>;

std::string JoinPieces(const std::vector<Piece>& pieces);

// The pieces between the first and last non-blank bytes of their text, and the white space
// outside them, which engines tend to drop or add to and which goes back as typed.
struct Edges {
  std::string lead, trail;
  std::vector<Piece> middle;
};
Edges SplitEdges(const std::vector<Piece>& pieces);

// The pieces with the text ones translated, the kept ones byte for byte in order, and the white
// space at both ends as typed. One call to `translate` when it keeps every marker once and in
// order, else one more call per text piece. Nothing as soon as a call fails.
std::optional<std::string> TranslateAroundSpans(const std::vector<Piece>& pieces,
                                                const TranslateText& translate);

// One call per text piece, each piece's own surrounding white space kept as typed.
std::optional<std::string> TranslatePieceByPiece(const std::vector<Piece>& pieces,
                                                 const TranslateText& translate);

}  // namespace service
