// Pieces as the tests compare and print them: K"kept", E"kept, ends a sentence", A"kept if
// unknown", T"text".
#pragma once

#include "service/engine/engine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

namespace service {

inline bool operator==(const Piece& a, const Piece& b) {
  return a.text == b.text && a.keep == b.keep && a.ends_sentence == b.ends_sentence &&
         a.keep_if_unknown == b.keep_if_unknown;
}
inline void PrintTo(const Piece& piece, std::ostream* out) {
  *out << (piece.ends_sentence     ? "E"
           : piece.keep_if_unknown ? "A"
           : piece.keep            ? "K"
                                   : "T")
       << testing::PrintToString(piece.text);
}

namespace pieces {
inline Piece K(std::string text) { return Piece{std::move(text), true}; }
inline Piece E(std::string text) { return Piece{std::move(text), true, true}; }
inline Piece T(std::string text) { return Piece{std::move(text), false}; }
inline Piece A(std::string text) { return Piece{std::move(text), true, false, true}; }
}  // namespace pieces

}  // namespace service
