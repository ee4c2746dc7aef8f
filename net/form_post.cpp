#include "internet_client.h"

#include "body_block.h"
#include "client_errors.h"

#include <cstring>

using namespace client_error;

namespace {

constexpr char CONTENT_TYPE_LINE[] = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr DWORD CONTENT_TYPE_LENGTH = sizeof CONTENT_TYPE_LINE - 1;
static_assert(CONTENT_TYPE_LENGTH == 49, "the header line's documented length");

// Counted in 64 bits so that no sum of lengths can wrap below the room it needs.
std::uint64_t FormLength(const std::list<std::unique_ptr<FormField>>& fields) {
  if (fields.empty()) return 0;
  std::uint64_t length = 0;
  for (const auto& field : fields) length += field->name.size() + field->value.size() + 2;
  return length - 1;
}

}  // namespace

const char* const FORM_CONTENT_TYPE = CONTENT_TYPE_LINE;

DWORD FormField::WritePair(char* destination) const {
  std::memcpy(destination, name.data(), name.size());
  destination[name.size()] = '=';
  std::memcpy(destination + name.size() + 1, value.data(), value.size());
  return static_cast<DWORD>(name.size() + 1 + value.size());
}

DWORD InternetClient::FormBodyLength() const { return static_cast<DWORD>(FormLength(formFields_)); }

DWORD InternetClient::WriteFormBody(char* buffer, DWORD capacity) const {
  const std::uint64_t length = FormLength(formFields_);
  if (capacity <= length || formFields_.empty()) return 0;
  char* position = buffer;
  for (const auto& field : formFields_) {
    if (position != buffer) *position++ = '&';
    position += field->WritePair(position);
  }
  *position = '\0';
  return static_cast<DWORD>(length);
}

bool InternetClient::RequestPost(const char* path, const char* referrer) {
  OpenRequest("POST", path, referrer, PostRequestFlags());
  ApplyCookies(path);

  const std::uint64_t length = FormLength(formFields_);
  if (length > MAX_BODY_LENGTH) Raise(BODY_ALLOCATION_FAILED);
  const UniqueBodyBlock body(TakeBodyBlock(length + 1));
  const DWORD sent = WriteFormBody(body.get(), static_cast<DWORD>(length + 1));

  // 12168: WinINet sent the form and now wants a redirect confirmed; the form went out.
  if (!HttpSendRequestA(request_, FORM_CONTENT_TYPE, CONTENT_TYPE_LENGTH, body.get(), sent) &&
      GetLastError() != ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION)
    Raise(REQUEST_FAILED);
  return true;
}
