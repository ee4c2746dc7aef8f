// ParseCommand through the stand-in with any command word, parameter text and page, and with
// failures of the network calls: nothing past the host's 4096 bytes, a terminated result
// whenever it was written, one request at most per chunk, every handle closed, no exception.
//
// Input: command \0 parameters \0 page \0 controls
//   controls[0] page form: 0 as given, 1 between the markers, 2 after the start marker only
//   controls[1] a network call that fails (index into kFailing, 0 none), controls[2] its nth call
//   controls[3] read piece size, controls[4] the responder throws at that request (0 never)
//   controls[5] bit 0 null parameters, bit 1 null result
#include "fuzz/fuzz_support.h"
#include "plugin/exports.h"
#include "plugin/result_buffer.h"
#include "service/http/form_query.h"
#include "translation/fetch_translation.h"
#include "win32_stand_in.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::size_t kGuardBytes = 64;
constexpr unsigned char kUnwritten = 0xA5;

const char* const kFailing[] = {nullptr,
                                "InternetOpenA",
                                "InternetConnectA",
                                "InternetAttemptConnect",
                                "HttpOpenRequestA",
                                "HttpAddRequestHeadersA",
                                "HttpSendRequestA",
                                "InternetReadFile"};

std::string PageOf(const std::string& page, unsigned form) {
  if (form % 3 == 1) return TRANSLATION_START_MARKER + page + TRANSLATION_END_MARKER;
  if (form % 3 == 2) return TRANSLATION_START_MARKER + page;
  return page;
}

// The text the command translates: from the first space, at most the text area's characters,
// less its leading white space.
std::string TextOf(const std::string& parameters) {
  std::string text = parameters.substr(parameters.find(' '), 4079);
  text.erase(0, text.find_first_not_of(" \t\n\v\f\r"));
  return text;
}

std::size_t Count(const std::string& text, char c) {
  std::size_t n = 0;
  for (char t : text) n += t == c;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzParts parts(data, size);
  const std::string& command = parts.Part(0);
  const std::string& parameters = parts.Part(1);
  const std::string page = PageOf(parts.Part(2), parts.Byte(3, 0));
  const unsigned failing = parts.Byte(3, 1) % (sizeof kFailing / sizeof *kFailing);
  const unsigned throwAt = parts.Byte(3, 4);
  const bool nullParameters = parts.Byte(3, 5) & 1;
  const bool nullResult = parts.Byte(3, 5) & 2;

  standin::Reset();
  if (kFailing[failing]) standin::FailCall(kFailing[failing], parts.Byte(3, 2) % 4, 0);
  standin::SetReadPieceSize(parts.Byte(3, 3));
  unsigned answered = 0;
  standin::SetResponder([&](const std::string&) {
    if (++answered == throwAt) throw std::bad_alloc();
    return page;
  });

  const ExactCString commandCopy(command);
  const ExactCString parametersCopy(parameters);
  const std::size_t bufferSize = RESULT_BUFFER_CAPACITY + kGuardBytes;
  const auto result = std::make_unique<unsigned char[]>(bufferSize);
  std::memset(result.get(), kUnwritten, bufferSize);
  char* const resultArgument = nullResult ? nullptr : reinterpret_cast<char*>(result.get());

  int returned = -1;
  try {
    returned = ParseCommand(commandCopy.get(), nullParameters ? nullptr : parametersCopy.get(), 0,
                            resultArgument);
  } catch (...) {
    Require(false, "no exception leaves ParseCommand");
  }

  for (std::size_t i = RESULT_BUFFER_CAPACITY; i < bufferSize; ++i)
    Require(result[i] == kUnwritten, "nothing written past the result buffer");
  Require(standin::OpenInternetHandles() == 0, "no internet handle left open");
  Require(standin::OpenFileHandles() == 0, "no file handle left open");
  Require(standin::LiveHeapBlocks() == 0, "no heap block left");

  const auto requests = standin::CallsTo("HttpOpenRequestA");
  const bool untouched = std::all_of(result.get(), result.get() + RESULT_BUFFER_CAPACITY,
                                     [](unsigned char b) { return b == kUnwritten; });
  Require(returned == 0 || returned == 1, "ParseCommand returns 0 or 1");
  if (returned == 0 || !standin::MessageBoxes().empty() || nullResult) {
    Require(nullResult || untouched, "a command that translates nothing leaves the buffer");
    Require(requests.empty(), "no request without a translation");
    return 0;
  }
  Require(std::memchr(result.get(), '\0', RESULT_BUFFER_CAPACITY) != nullptr,
          "the result is terminated inside its buffer");

  // Each request carries a piece of the text, in order, and the code in front of the space.
  const std::string text = TextOf(parameters);
  const std::string code = parameters.substr(0, parameters.find(' '));
  Require(requests.size() <= Count(text, ' ') + 1, "no more requests than chunks");
  std::size_t position = 0;
  std::string sent;
  for (const standin::Call& request : requests) {
    const std::string_view query = service::TargetQuery(request.args[2]);
    const auto chunk = service::FormField(query, "trtext");
    const auto pair = service::FormField(query, "lp");
    Require(chunk && pair && *pair == code, "each request names the text and the code");
    Require(!chunk->empty(), "no request for an empty chunk");
    const std::size_t at = text.find(*chunk, position);
    Require(at != std::string::npos, "each request carries the next piece of the text");
    position = at + chunk->size();
    sent += *chunk;
  }
  if (!kFailing[failing] && throwAt == 0)
    Require(text.compare(0, sent.size(), sent) == 0, "the chunks join into the text");
  return 0;
}
