#include "stream_format.h"

#include "service/text/span_markers.h"

#include <algorithm>

namespace service {

namespace {

bool IsFormatCharacter(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '~';
}

bool IsSpecialCharacter(char c) {
  return std::string_view("\\[]^$/@<>{}").find(c) != std::string_view::npos;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

const char kSentenceEnd[] = ".[]";

std::string WithoutNul(std::string_view input) {
  std::string text;
  text.reserve(input.size());
  for (char c : input) {
    if (c != '\0') text += c;
  }
  return text;
}

// `last` says whether the text ends the stream, where its closing blanks end a sentence.
void AppendText(std::string& stream, const std::string& text, bool last) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (!IsFormatCharacter(text[i])) {
      if (IsSpecialCharacter(text[i])) stream += '\\';
      stream += text[i++];
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && IsFormatCharacter(text[end])) ++end;
    std::string_view run(text.data() + i, end - i);
    bool paragraph = run.find("\n\n") != std::string_view::npos ||
                     run.find("\r\n\r\n") != std::string_view::npos;
    if (paragraph || (last && end == text.size())) stream += kSentenceEnd;
    if (run == " ") {
      stream += ' ';
    } else {
      stream += '[';
      stream += run;
      stream += ']';
    }
    i = end;
  }
}

// Where in the text the superblanks in `kept` came back, found in order.
struct Found {
  std::size_t count = 0;
  std::size_t begin = 0;  // of the first
  std::size_t end = 0;    // of the last
};

// A kept piece as Reformat looks for it.
struct Kept {
  std::string text;
  bool ends_sentence = false;
};

// Superblanks come back as they stand. The blanks that Apertium puts next to a kept piece that
// ends a sentence go (a dropped pronoun leaves one): that piece holds the typed ones.
std::string Unformat(std::string_view stream, const std::vector<Kept>& kept, Found& found) {
  std::string text;
  text.reserve(stream.size());
  bool plain_period_last = false;
  bool after_sentence_end = false;
  std::size_t i = 0;
  while (i < stream.size()) {
    char c = stream[i];
    if (after_sentence_end && c == ' ') {
      ++i;
      continue;
    }
    after_sentence_end = false;
    if (c == '\\' && i + 1 < stream.size()) {
      text += stream[i + 1];
      plain_period_last = false;
      i += 2;
    } else if (c == '[') {
      std::size_t end = i + 1;
      while (end < stream.size() && stream[end] != ']') end += stream[end] == '\\' ? 2 : 1;
      if (end >= stream.size()) {
        text.append(stream.substr(i));
        break;
      }
      if (end == i + 1) {
        if (plain_period_last) text.pop_back();
      } else {
        std::string block;
        for (std::size_t k = i + 1; k < end; ++k) {
          if (stream[k] == '\\' && k + 1 < end) ++k;
          block += stream[k];
        }
        if (found.count < kept.size() && block == kept[found.count].text) {
          if (kept[found.count].ends_sentence) {
            std::size_t floor = found.count == 0 ? 0 : found.end;
            while (text.size() > floor && text.back() == ' ') text.pop_back();
            after_sentence_end = true;
          }
          if (found.count++ == 0) found.begin = text.size();
          found.end = text.size() + block.size();
        }
        text += block;
      }
      plain_period_last = false;
      i = end + 1;
    } else {
      text += c;
      plain_period_last = c == '.';
      ++i;
    }
  }
  return text;
}

}  // namespace

std::string Deformat(std::string_view input) {
  const std::string text = WithoutNul(input);
  std::string stream;
  stream.reserve(text.size() + text.size() / 8 + 8);
  AppendText(stream, text, true);
  if (text.empty() || !IsFormatCharacter(text.back())) stream += kSentenceEnd;
  return stream;
}

std::string Reformat(std::string_view stream) {
  Found found;
  return Unformat(stream, {}, found);
}

std::string Deformat(const std::vector<Piece>& pieces) {
  std::string stream;
  bool ended = false;  // a sentence end stands after the last words
  for (const Piece& piece : SplitEdges(pieces).middle) {
    if (!piece.keep) {
      AppendText(stream, WithoutNul(piece.text), false);
      ended = false;
      continue;
    }
    std::string text = WithoutNul(piece.text);
    if (text.empty()) continue;
    // As apertium-deshtml does at a block's tag: the words before it end their sentence.
    if (piece.ends_sentence && !ended && !stream.empty()) {
      stream += kSentenceEnd;
      ended = true;
    }
    stream += '[';
    for (char c : text) {
      if (IsSpecialCharacter(c)) stream += '\\';
      stream += c;
    }
    stream += ']';
  }
  return ended ? stream : stream + kSentenceEnd;
}

std::optional<std::string> Reformat(std::string_view stream, const std::vector<Piece>& pieces) {
  Edges edges = SplitEdges(pieces);
  std::vector<Kept> kept;
  for (const Piece& piece : edges.middle) {
    std::string text = WithoutNul(piece.text);
    if (piece.keep && !text.empty()) kept.push_back(Kept{std::move(text), piece.ends_sentence});
  }
  Found found;
  std::string body = Unformat(stream, kept, found);
  if (found.count != kept.size()) return std::nullopt;
  // Only what Apertium put around the words goes, never the ends of a kept piece.
  if (kept.empty()) found.begin = found.end = body.size();
  std::size_t first = 0;
  while (first < found.begin && IsBlank(body[first])) ++first;
  std::size_t last = body.size();
  while (last > std::max(first, found.end) && IsBlank(body[last - 1])) --last;
  return edges.lead + body.substr(first, last - first) + edges.trail;
}

}  // namespace service
