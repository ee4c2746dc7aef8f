#pragma once

#include <cstddef>
#include <string_view>

// Bytes in each result buffer the host hands over, terminator included.
inline constexpr std::size_t RESULT_BUFFER_CAPACITY = 4096;

// Appends lines to the host's result buffer without ever writing past its capacity; the
// buffer always holds a terminated string.
class ResultBuffer {
 public:
  // Empties the buffer.
  ResultBuffer(char* buffer, std::size_t capacity);

  // Appends the text and a line feed, cut where the terminator would no longer fit.
  void AppendLine(std::string_view text);
  // True once nothing more than the terminator fits.
  bool Full() const { return used_ + 1 >= capacity_; }

 private:
  void Append(std::string_view text);

  char* buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};
