#include "output.h"

#include <windows.h>

#include <cstdio>

std::string Quote(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte >= 0x7F) {
          out += "\\x";
          out += digits[byte >> 4];
          out += digits[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string Utf8FromWide(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int wideLength = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, wideLength, out.data(), size, nullptr, nullptr);
  return out;
}

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
