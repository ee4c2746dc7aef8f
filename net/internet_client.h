// A client for one transfer with one HTTP, HTTPS or FTP server over WinINet:
// create -> Connect (or ConnectServer) -> Request -> Response until 0 -> Close -> destroy.
// Failures are raised inside and caught by the public operation that owns them, which reports
// through its result only.
#pragma once

#include "form_field.h"
#include "platform/win32.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>

enum ProtocolKind : std::int32_t { PROTOCOL_FTP = 0, PROTOCOL_HTTP = 1, PROTOCOL_HTTPS = 2 };

enum RequestKind : std::int32_t { REQUEST_GET = 0, REQUEST_POST = 1, REQUEST_POST_MULTIPART = 2 };

// Longest URL that Connect accepts, in characters.
inline constexpr std::size_t MAX_URL_LENGTH = 1023;

// Headers the client sends or announces, shared by all clients.
extern const char* const ACCEPT_HEADER;  // "Accept: */*\r\n"
extern const char* const FORM_CONTENT_TYPE;
extern const char* const MULTIPART_BOUNDARY;
extern const char* const MULTIPART_CONTENT_TYPE;

inline constexpr DWORD PLAIN_PART_ALLOWANCE = 8192;
inline constexpr DWORD FILE_PART_ALLOWANCE = 6144;
inline constexpr DWORD FILE_READ_BLOCK = 1024;

class InternetClient {
 public:
  InternetClient() = default;
  InternetClient(const InternetClient&) = delete;
  InternetClient& operator=(const InternetClient&) = delete;

  // Releases the strings and lists; closes no handle (call Close first).
  virtual ~InternetClient();

  // Opens the internet handle and the server connection. A port of 0 takes the protocol's
  // default. Success empties both lists.
  virtual bool ConnectServer(const char* server, std::int32_t port, const char* user,
                             const char* password, ProtocolKind protocol, const char* agent);
  // These three return true or raise; Request catches.
  virtual bool RequestPostMultipart(const char* path, const char* referrer);
  virtual bool RequestPost(const char* path, const char* referrer);
  virtual bool RequestGet(const char* path, const char* referrer);

  // Splits the URL and connects. A non-null user or password overrides the URL's.
  bool Connect(const char* url, const char* user, const char* password, const char* agent);
  // Sends one request of the given kind; on failure the request handle is closed and null.
  bool Request(const char* path, RequestKind kind, const char* referrer);
  // Places the next body bytes at the buffer's front; 0 at the end and after any failure.
  DWORD Response(void* buffer, DWORD size);
  // Closes the request, connection and internet handles that are open.
  void Close();

  // Entries are read by the request operations; a successful connect empties both lists.
  void AddFormField(const char* name, const char* value, bool isFile);
  void AddCookie(const char* name, const char* value);

  // Form-encoded body: name=value pairs joined by "&", nothing escaped.
  DWORD FormBodyLength() const;
  DWORD WriteFormBody(char* buffer, DWORD capacity) const;

  // Multipart body, built into one process-heap block owned by the caller.
  DWORD EstimateMultipartSize() const;
  DWORD BuildMultipartBody(char** body, const char* boundary) const;
  void FreeMultipartBody(char* body) const;

  const std::string& ServerName() const { return serverName_; }
  const std::string& UserName() const { return userName_; }
  const std::string& Password() const { return password_; }
  const std::string& Path() const { return path_; }
  std::int32_t Port() const { return port_; }
  ProtocolKind Protocol() const { return protocol_; }
  HINTERNET InternetHandle() const { return internet_; }
  HINTERNET ConnectionHandle() const { return connection_; }
  HINTERNET RequestHandle() const { return request_; }

 protected:
  // Connection check, HttpOpenRequestA and the Accept header.
  void OpenRequest(const char* verb, const char* path, const char* referrer, DWORD flags);
  // Hands every cookie to WinINet for the URL of this request; nothing when there are none.
  void ApplyCookies(const char* path) const;
  // Flags shared by both POST kinds.
  DWORD PostRequestFlags() const;

 private:
  // Close skips a field that holds null; the failure paths hand WinINet whatever the field
  // holds, null included, as they always have.
  enum class NullHandle { kSkip, kClose };
  std::string CookieUrl(const char* path) const;
  // The one place a handle field is closed and forgotten.
  void CloseHandleField(HINTERNET& field, NullHandle null);

  HINTERNET internet_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  std::string serverName_;
  std::string userName_;
  std::string password_;
  std::string path_;
  std::int32_t port_ = 0;
  ProtocolKind protocol_ = PROTOCOL_HTTP;
  std::list<std::unique_ptr<FormField>> formFields_;
  std::list<std::unique_ptr<ClientCookie>> cookies_;
};
