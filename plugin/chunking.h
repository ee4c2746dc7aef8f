#pragma once

#include <cstddef>
#include <string_view>

// A remainder this long or longer is cut; a shorter one is sent whole.
inline constexpr std::size_t CHUNK_CUT_THRESHOLD = 150;
// The cut falls after the first space at or after this index.
inline constexpr std::size_t CHUNK_CUT_SEARCH_START = 135;

// Length of the next chunk at the front of a non-empty remainder. A long remainder with no
// space where a cut may fall is sent whole.
std::size_t NextChunkLength(std::string_view remainder);
