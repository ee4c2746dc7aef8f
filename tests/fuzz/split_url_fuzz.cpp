// Any bytes as a URL: every part ends inside its buffer and is a piece of the URL or the
// documented default.
#include "fuzz/fuzz_support.h"
#include "net/split_url.h"

#include <cstring>
#include <memory>

namespace {

void RequireTerminatedPiece(const char* part, const std::string& url, const char* fallback,
                            const char* property) {
  const void* end = std::memchr(part, '\0', URL_PART_CAPACITY);
  Require(end != nullptr, property);
  const std::string text(part);
  Require(url.find(text) != std::string::npos || text == fallback, property);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzParts parts(data, size);
  const std::string& url = parts.Part(0);
  const ExactCString urlCopy(url);

  // Exactly the documented size each, so that AddressSanitizer sees one byte too many.
  std::unique_ptr<char[]> buffers[5];
  for (auto& buffer : buffers) buffer = std::make_unique<char[]>(URL_PART_CAPACITY);
  std::int32_t port = -12345;
  SplitUrl(urlCopy.get(), buffers[0].get(), buffers[1].get(), buffers[2].get(), buffers[3].get(),
           port, buffers[4].get());

  RequireTerminatedPiece(buffers[0].get(), url, "http", "scheme terminated, from the URL");
  RequireTerminatedPiece(buffers[1].get(), url, "", "user terminated, from the URL");
  RequireTerminatedPiece(buffers[2].get(), url, "", "password terminated, from the URL");
  RequireTerminatedPiece(buffers[3].get(), url, "", "host terminated, from the URL");
  RequireTerminatedPiece(buffers[4].get(), url, "/", "path terminated, from the URL");
  Require(buffers[4][0] != '\0', "the path is never empty");
  Require(port != -12345, "a port is always set");
  return 0;
}
