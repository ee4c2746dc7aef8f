// What the fuzz targets share: an input cut into C strings, and a property check that stops the
// run so that libFuzzer keeps the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The input's zero bytes separate its parts: each part is a C string, as the texts it stands
// for are. Missing parts and bytes read as empty and 0, so short seeds take the defaults.
class FuzzParts {
 public:
  FuzzParts(const std::uint8_t* data, std::size_t size) {
    parts_.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
      if (data[i] == 0) {
        parts_.emplace_back();
      } else {
        parts_.back() += static_cast<char>(data[i]);
      }
    }
  }

  std::size_t Count() const { return parts_.size(); }
  const std::string& Part(std::size_t i) const { return i < parts_.size() ? parts_[i] : empty_; }
  std::uint8_t Byte(std::size_t part, std::size_t i) const {
    const std::string& text = Part(part);
    return i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
  }
  unsigned Word(std::size_t part, std::size_t i) const {
    return Byte(part, i) | (unsigned{Byte(part, i + 1)} << 8);
  }

 private:
  std::vector<std::string> parts_;
  std::string empty_;
};

inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property does not hold: %s\n", property);
  std::abort();
}

// A copy in a heap block of exactly its length and terminator, so that AddressSanitizer sees
// any read past the terminator.
class ExactCString {
 public:
  explicit ExactCString(const std::string& text) : bytes_(new char[text.size() + 1]) {
    text.copy(bytes_, text.size());
    bytes_[text.size()] = '\0';
  }
  ExactCString(const ExactCString&) = delete;
  ExactCString& operator=(const ExactCString&) = delete;
  ~ExactCString() { delete[] bytes_; }
  const char* get() const { return bytes_; }

 private:
  char* bytes_;
};
