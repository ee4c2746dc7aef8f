#include "chunking.h"

std::size_t NextChunkLength(std::string_view remainder) {
  if (remainder.size() < CHUNK_CUT_THRESHOLD) return remainder.size();
  const std::size_t space = remainder.find(' ', CHUNK_CUT_SEARCH_START);
  return space == std::string_view::npos ? remainder.size() : space + 1;
}
