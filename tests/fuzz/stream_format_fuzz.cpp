// The stream format: any text made into a stream and back is the text less its NUL bytes,
// the stream never holds a NUL (it ends requests on the pipeline), and reading any stream
// never lengthens it.
#include "fuzz/fuzz_support.h"
#include "service/engine/apertium/stream_format.h"

#include <algorithm>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace service;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string stream = Deformat(bytes);
  Require(stream.find('\0') == std::string::npos, "no NUL reaches the pipeline");
  std::string withoutNul(bytes);
  withoutNul.erase(std::remove(withoutNul.begin(), withoutNul.end(), '\0'), withoutNul.end());
  Require(Reformat(stream) == withoutNul, "the text comes back");

  Require(Reformat(bytes).size() <= bytes.size(), "reading a stream never lengthens it");
  return 0;
}
