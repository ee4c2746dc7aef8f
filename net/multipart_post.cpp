#include "internet_client.h"

#include "body_block.h"
#include "client_errors.h"

#include <cstdio>

using namespace client_error;

namespace {

constexpr char CONTENT_TYPE_LINE[] =
    "Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
constexpr DWORD CONTENT_TYPE_LENGTH = sizeof CONTENT_TYPE_LINE - 1;
static_assert(CONTENT_TYPE_LENGTH == 78, "the header line's documented length");
constexpr std::size_t CONTENT_LENGTH_HEADER_CAPACITY = 1024;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(INTERNET_BUFFERSA) == 40, "the record size 32-bit WinINet expects");
#endif

// Shared by the whole process: each use stores the same size and link, so it carries nothing
// from one request to the next.
INTERNET_BUFFERSA sendRecord;

}  // namespace

const char* const MULTIPART_BOUNDARY = "--MULTI-PARTS-FORM-DATA-BOUNDARY";
const char* const MULTIPART_CONTENT_TYPE = CONTENT_TYPE_LINE;

bool InternetClient::RequestPostMultipart(const char* path, const char* referrer) {
  OpenRequest("POST", path, referrer, PostRequestFlags());
  RaiseIfFalse(HttpAddRequestHeadersA(request_, MULTIPART_CONTENT_TYPE, CONTENT_TYPE_LENGTH,
                                      HTTP_ADDREQ_FLAG_ADD_IF_NEW),
               ADDITIONAL_HEADER_FAILED);
  ApplyCookies(path);

  char* built = nullptr;
  const DWORD length = BuildMultipartBody(&built, MULTIPART_BOUNDARY);
  const UniqueBodyBlock body(built);

  char contentLength[CONTENT_LENGTH_HEADER_CAPACITY] = {};
  const int headerLength = std::snprintf(contentLength, sizeof contentLength,
                                         "Content-Length: %d\r\n", static_cast<int>(length));
  RaiseIfFalse(HttpAddRequestHeadersA(request_, contentLength, static_cast<DWORD>(headerLength),
                                      HTTP_ADDREQ_FLAG_ADD_IF_NEW),
               ADDITIONAL_HEADER_FAILED);

  sendRecord.dwStructSize = sizeof(INTERNET_BUFFERSA);
  sendRecord.Next = nullptr;
  RaiseIfFalse(HttpSendRequestExA(request_, &sendRecord, nullptr, HSR_INITIATE, 0), SEND_FAILED);
  DWORD written = 0;
  RaiseIfFalse(InternetWriteFile(request_, body.get(), length, &written), SEND_FAILED);
  RaiseIfFalse(HttpEndRequestA(request_, nullptr, HSR_INITIATE, 0), SEND_FAILED);
  return true;
}
