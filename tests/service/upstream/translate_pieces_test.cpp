#include "service/engine/upstream/upstream_engine.h"

#include <gtest/gtest.h>

namespace {

using service::Piece;
using service::upstream::TranslatePieces;

TEST(TranslatePieces, SendsTheTextAroundKeptPiecesAndKeepsThemAsTheyStand) {
  struct Case {
    const char* name;
    std::vector<Piece> pieces;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"joined", {{"Hello ", false}, {"world", false}}, "<HELLO WORLD>"},
      {"link inside",
       {{"See ", false}, {"http://a.example/x", true}, {" now\n", false}},
       "<SEE> http://a.example/x <NOW>\n"},
      {"only kept", {{"  ", false}, {"x y", true}}, "  x y"},
      {"empty", {}, ""},
      {"refused", {{"fail here", false}}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> sent;
    auto send = [&](std::string_view text) -> std::optional<std::string> {
      sent.emplace_back(text);
      if (text == "fail here") return std::nullopt;
      std::string upper(text);
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      return "<" + upper + ">";
    };
    EXPECT_EQ(TranslatePieces(c.pieces, send), c.expected);
    for (const std::string& text : sent) EXPECT_EQ(text.find("http"), std::string::npos);
  }
}

}  // namespace
