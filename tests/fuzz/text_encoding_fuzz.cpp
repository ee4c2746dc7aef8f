// UTF-8 / Windows-1252 detection and conversion: every byte the code page maps goes to UTF-8
// and back unchanged, the UTF-8 made is valid, and each character of valid UTF-8 becomes one
// byte.
#include "fuzz/fuzz_support.h"
#include "service/text/text_encoding.h"

#include <string_view>

namespace {

std::size_t CodePoints(std::string_view utf8) {
  std::size_t count = 0;
  for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace service;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string utf8 = Windows1252ToUtf8(bytes);
  Require(IsValidUtf8(utf8), "the conversion to UTF-8 makes valid UTF-8");
  Require(Utf8ToWindows1252(utf8) == bytes, "every byte comes back unchanged");
  Require(CodePoints(utf8) == bytes.size(), "one character per byte");

  if (IsValidUtf8(bytes)) {
    Require(Utf8ToWindows1252(bytes).size() == CodePoints(bytes),
            "each character of valid UTF-8 becomes one byte");
  } else {
    Require(!bytes.empty(), "the empty text is valid UTF-8");
  }
  return 0;
}
