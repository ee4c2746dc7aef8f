#pragma once

#include <cstddef>
#include <cstdint>

// Size of each part buffer that SplitUrl fills, terminator included.
inline constexpr std::size_t URL_PART_CAPACITY = 1024;

// Splits a URL into scheme, user, password, host, port and path. Every buffer holds
// URL_PART_CAPACITY bytes and arrives zero-filled; each part is copied to the front of its
// buffer (cut to URL_PART_CAPACITY - 1 characters). A missing scheme reads as "http", a
// missing port as the scheme's default, a missing path as "/".
void SplitUrl(const char* url, char* scheme, char* user, char* password, char* host,
              std::int32_t& port, char* path);
