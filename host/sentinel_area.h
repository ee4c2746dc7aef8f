#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Neither NUL nor ASCII, so no string the plug-in writes leaves it in place.
inline constexpr unsigned char SENTINEL = 0xA5;

// Offsets of the first and the last byte of a run, both included.
struct ByteRange {
  std::size_t first;
  std::size_t last;
};

// "0-16,6404-6408", or "none".
std::string FormatRanges(const std::vector<ByteRange>& ranges);

// Host memory handed to the plug-in, filled with SENTINEL first so that afterwards the host can
// tell which bytes were written. It is followed by guard bytes that the plug-in must never reach.
class SentinelArea {
 public:
  SentinelArea(std::size_t size, std::size_t guard);

  unsigned char* data() { return bytes_.data(); }
  std::size_t size() const { return size_; }

  // Runs of changed bytes among the area and its guard.
  std::vector<ByteRange> Changed() const;
  // Runs of changed bytes that fall in none of the allowed runs, guard included.
  std::vector<ByteRange> ChangedOutside(const std::vector<ByteRange>& allowed) const;
  std::size_t GuardBytesChanged() const;
  bool Unchanged() const;

  // The string from offset up to its terminator, but never past limit (an offset of the area);
  // terminated tells whether a terminator came first.
  std::string StringAt(std::size_t offset, std::size_t limit, bool* terminated = nullptr) const;
  unsigned long Uint32At(std::size_t offset) const;

 private:
  std::vector<unsigned char> bytes_;
  std::size_t size_;
};
