#include "split_url.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

void CopyPart(std::string_view part, char* destination) {
  const std::size_t n = std::min(part.size(), URL_PART_CAPACITY - 1);
  std::memcpy(destination, part.data(), n);
  destination[n] = '\0';
}

std::size_t FindFrom(std::string_view text, char c, std::size_t from, std::size_t to) {
  if (from >= to) return std::string_view::npos;
  const std::size_t at = text.substr(from, to - from).find(c);
  return at == std::string_view::npos ? at : from + at;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads a number the way the C library's atol does, saturating at the 32-bit bounds instead
// of overflowing.
std::int32_t ParsePort(std::string_view text) {
  char scratch[URL_PART_CAPACITY] = {};
  CopyPart(text, scratch);
  const char* p = scratch;
  while (IsCSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  std::int64_t value = 0;
  const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; *p >= '0' && *p <= '9'; ++p) value = std::min(value * 10 + (*p - '0'), limit);
  if (negative) value = -value;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(value);
}

std::int32_t DefaultPort(std::string_view scheme) {
  if (scheme == "https") return 443;
  if (scheme == "ftp") return 21;
  return 80;
}

}  // namespace

void SplitUrl(const char* url, char* scheme, char* user, char* password, char* host,
              std::int32_t& port, char* path) {
  const std::string_view text = url ? url : "";
  const std::size_t length = text.size();

  std::string_view schemeText = "http";
  std::size_t authority = 0;
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos && colon + 1 < length && text[colon + 1] == '/') {
    schemeText = text.substr(0, colon);
    authority = std::min(colon + 3, length);
  }
  CopyPart(schemeText, scheme);

  std::size_t hostStart = authority;
  const std::size_t at = FindFrom(text, '@', authority, length);
  if (at != std::string_view::npos) {
    hostStart = at + 1;
    const std::size_t divider = FindFrom(text, ':', authority, at);
    if (divider != std::string_view::npos) {
      CopyPart(text.substr(authority, divider - authority), user);
      CopyPart(text.substr(divider + 1, at - divider - 1), password);
    }
  }

  std::size_t hostEnd = FindFrom(text, '/', hostStart, length);
  if (hostEnd == std::string_view::npos) hostEnd = length;

  const std::size_t portColon = FindFrom(text, ':', hostStart, hostEnd);
  if (portColon != std::string_view::npos) {
    CopyPart(text.substr(hostStart, portColon - hostStart), host);
    port = ParsePort(text.substr(portColon + 1, hostEnd - portColon - 1));
  } else {
    CopyPart(text.substr(hostStart, hostEnd - hostStart), host);
    port = DefaultPort(schemeText);
  }

  CopyPart(hostEnd < length ? text.substr(hostEnd) : std::string_view("/"), path);
}
