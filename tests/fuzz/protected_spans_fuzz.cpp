// Kept spans: whatever the text, its pieces join to it; and through an engine that scrambles
// the words it is given, drops and doubles markers or fails, every kept piece comes back byte
// for byte and in order, with the white space at both ends as typed, on the marker path and
// on Apertium's stream format alike.
//
// Input: text \0 how the engine scrambles (one byte per move)
#include "fuzz/fuzz_support.h"
#include "service/engine/apertium/stream_format.h"
#include "service/text/protected_spans.h"
#include "service/text/span_markers.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using service::Piece;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Moves words about, as engines do: reverses, swaps, drops, doubles, pads with spaces.
class Scrambler {
 public:
  explicit Scrambler(const std::string& moves) : moves_(moves) {}

  std::uint8_t Next() { return moves_.empty() ? 0 : moves_[at_++ % moves_.size()]; }

  std::vector<std::string> Scramble(std::vector<std::string> words) {
    std::uint8_t move = Next();
    if (words.empty()) return words;
    std::size_t i = Next() % words.size(), j = Next() % words.size();
    switch (move % 6) {
      case 0: break;
      case 1: std::reverse(words.begin(), words.end()); break;
      case 2: std::swap(words[i], words[j]); break;
      case 3: words.erase(words.begin() + i); break;
      case 4: words.insert(words.begin() + i, words[j]); break;
      case 5:
        words.insert(words.begin(), "");
        words.emplace_back("");
        break;
    }
    return words;
  }

 private:
  std::string moves_;
  std::size_t at_ = 0;
};

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words(1);
  for (char c : text) {
    if (c == ' ') {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  return words;
}

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) text += (i ? " " : "") + words[i];
  return text;
}

// Scrambles the words between superblanks of a stream; the blocks and the closing ".[]" stay.
std::string ScrambleStream(std::string_view stream, Scrambler& scrambler) {
  std::string result, outside;
  auto flush = [&] {
    result += Join(scrambler.Scramble(Words(outside)));
    outside.clear();
  };
  std::size_t i = 0;
  while (i < stream.size()) {
    if (stream[i] == '\\' && i + 1 < stream.size()) {
      outside.append(stream.substr(i, 2));
      i += 2;
    } else if (stream.substr(i, 3) == ".[]" || stream[i] == '[') {
      std::size_t end = i + (stream[i] == '.');
      while (end < stream.size() && stream[end] != ']') end += stream[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, stream.size());
      flush();
      result.append(stream.substr(i, end - i));
      i = end;
    } else {
      outside += stream[i++];
    }
  }
  flush();
  return result;
}

std::string WithoutNul(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

// The kept pieces must appear in order, less what of them lies in the white space at the ends,
// which must be there as typed.
void CheckKept(const std::vector<Piece>& pieces, const std::string& result, const char* path) {
  const std::string text = WithoutNul(service::JoinPieces(pieces));
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  Require(result.compare(0, first, text, 0, first) == 0, path);
  Require(
      result.size() >= text.size() - last &&
          result.compare(result.size() - (text.size() - last), std::string::npos, text, last) == 0,
      path);
  std::size_t at = 0, found = first;
  for (const Piece& piece : pieces) {
    const std::string bytes = WithoutNul(piece.text);
    std::size_t begin = std::max(at, first), end = std::min(at + bytes.size(), last);
    at += bytes.size();
    if (!piece.keep || begin >= end) continue;
    found = result.find(text.substr(begin, end - begin), found);
    Require(found != std::string::npos, path);
    found += end - begin;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<Piece> all = service::ProtectSpans(bytes);
  Require(service::JoinPieces(all) == bytes, "the pieces join to the text");
  for (std::size_t i = 0; i < all.size(); ++i) {
    Require(!all[i].text.empty(), "no piece is empty");
    Require(i == 0 || all[i].keep != all[i - 1].keep, "pieces alternate");
  }

  const FuzzParts parts(data, size);
  const std::vector<Piece> pieces = service::ProtectSpans(parts.Part(0));
  Scrambler scrambler(parts.Part(1));
  bool failed = false;
  auto engine = [&](std::string_view text) -> std::optional<std::string> {
    if (scrambler.Next() == 0xFF) {
      failed = true;
      return std::nullopt;
    }
    return Join(scrambler.Scramble(Words(text)));
  };
  auto marked = service::TranslateAroundSpans(pieces, engine);
  Require(marked.has_value() != failed, "fails exactly when the engine does");
  if (marked) CheckKept(pieces, *marked, "kept pieces pass the marker path");

  auto stream = ScrambleStream(service::Deformat(pieces), scrambler);
  auto reformatted = service::Reformat(stream, pieces);
  Require(reformatted.has_value(), "blocks left in place are found");
  CheckKept(pieces, *reformatted, "kept pieces pass the stream format");
  return 0;
}
