#include "result_buffer.h"

#include <algorithm>
#include <cstring>

ResultBuffer::ResultBuffer(char* buffer, std::size_t capacity)
    : buffer_(buffer), capacity_(capacity) {
  buffer_[0] = '\0';
}

void ResultBuffer::Append(std::string_view text) {
  const std::size_t room = capacity_ - 1 - used_;
  const std::size_t n = std::min(text.size(), room);
  std::memcpy(buffer_ + used_, text.data(), n);
  used_ += n;
  buffer_[used_] = '\0';
}

void ResultBuffer::AppendLine(std::string_view text) {
  Append(text);
  Append("\n");
}
