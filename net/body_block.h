// Request bodies live in one zero-filled block from the process heap, owned by the operation
// that takes it and released on every way out.
#pragma once

#include "client_errors.h"
#include "platform/win32.h"

#include <cstdint>
#include <limits>
#include <memory>

// Longest body either POST kind sends: the Content-Length goes out as a signed decimal.
inline constexpr std::uint64_t MAX_BODY_LENGTH = 0x7FFFFFFF;

struct ProcessHeapRelease {
  void operator()(char* block) const { HeapFree(GetProcessHeap(), 0, block); }
};
using UniqueBodyBlock = std::unique_ptr<char, ProcessHeapRelease>;

// Raises BODY_ALLOCATION_FAILED when the heap cannot supply the block.
inline char* TakeBodyBlock(std::uint64_t bytes) {
  using namespace client_error;
  if (bytes > std::numeric_limits<SIZE_T>::max()) Raise(BODY_ALLOCATION_FAILED);
  void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(bytes));
  if (!block) Raise(BODY_ALLOCATION_FAILED);
  return static_cast<char*>(block);
}
