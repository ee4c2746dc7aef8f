#include "stream_format.h"

namespace service {

namespace {

bool IsFormatCharacter(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '~';
}

bool IsSpecialCharacter(char c) {
  return std::string_view("\\[]^$/@<>{}").find(c) != std::string_view::npos;
}

const char kSentenceEnd[] = ".[]";

}  // namespace

std::string Deformat(std::string_view input) {
  std::string text;
  text.reserve(input.size());
  for (char c : input) {
    if (c != '\0') text += c;
  }
  std::string stream;
  stream.reserve(text.size() + text.size() / 8 + 8);
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
    if (paragraph || end == text.size()) stream += kSentenceEnd;
    if (run == " ") {
      stream += ' ';
    } else {
      stream += '[';
      stream += run;
      stream += ']';
    }
    i = end;
  }
  if (text.empty() || !IsFormatCharacter(text.back())) stream += kSentenceEnd;
  return stream;
}

std::string Reformat(std::string_view stream) {
  std::string text;
  text.reserve(stream.size());
  bool plain_period_last = false;
  std::size_t i = 0;
  while (i < stream.size()) {
    char c = stream[i];
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
        for (std::size_t k = i + 1; k < end; ++k) {
          if (stream[k] == '\\' && k + 1 < end) ++k;
          text += stream[k];
        }
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

}  // namespace service
