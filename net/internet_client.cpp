#include "internet_client.h"

#include "client_errors.h"
#include "split_url.h"

#include <cstring>

using namespace client_error;

const char* const ACCEPT_HEADER = "Accept: */*\r\n";

namespace {

// WinINet keeps the pointer list, not a copy, so it must outlive the request.
LPCSTR ACCEPT_TYPES[] = {"*/*", nullptr};

constexpr std::int32_t MAX_PORT = 65535;

struct ProtocolTraits {
  DWORD service;
  DWORD connectFlags;
  std::int32_t defaultPort;
};

bool IsKnownProtocol(ProtocolKind protocol) {
  return protocol == PROTOCOL_FTP || protocol == PROTOCOL_HTTP || protocol == PROTOCOL_HTTPS;
}

ProtocolTraits TraitsOf(ProtocolKind protocol) {
  switch (protocol) {
    case PROTOCOL_FTP:
      return {INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, INTERNET_DEFAULT_FTP_PORT};
    case PROTOCOL_HTTPS: return {INTERNET_SERVICE_HTTP, 0, INTERNET_DEFAULT_HTTPS_PORT};
    default: return {INTERNET_SERVICE_HTTP, 0, INTERNET_DEFAULT_HTTP_PORT};
  }
}

// Protocol from the scheme's first characters; false when none matches.
bool ProtocolOfScheme(const char* scheme, ProtocolKind& protocol) {
  if (std::strncmp(scheme, "https", 5) == 0) {
    protocol = PROTOCOL_HTTPS;
  } else if (std::strncmp(scheme, "http", 4) == 0) {
    protocol = PROTOCOL_HTTP;
  } else if (std::strncmp(scheme, "ftp", 3) == 0) {
    protocol = PROTOCOL_FTP;
  } else {
    return false;
  }
  return true;
}

}  // namespace

InternetClient::~InternetClient() {
  formFields_.clear();
  cookies_.clear();
}

bool InternetClient::Connect(const char* url, const char* user, const char* password,
                             const char* agent) {
  if (!url || std::strlen(url) > MAX_URL_LENGTH) return false;
  try {
    char scheme[URL_PART_CAPACITY] = {};
    char urlUser[URL_PART_CAPACITY] = {};
    char urlPassword[URL_PART_CAPACITY] = {};
    char host[URL_PART_CAPACITY] = {};
    char urlPath[URL_PART_CAPACITY] = {};
    std::int32_t port = 0;
    SplitUrl(url, scheme, urlUser, urlPassword, host, port, urlPath);

    ProtocolKind protocol = PROTOCOL_HTTP;
    if (!ProtocolOfScheme(scheme, protocol)) return false;
    path_ = urlPath;

    if (!password && urlPassword[0]) password = urlPassword;
    if (!user && urlUser[0]) user = urlUser;
    return ConnectServer(host, port, user, password, protocol, agent);
  } catch (...) {
    return false;
  }
}

bool InternetClient::ConnectServer(const char* server, std::int32_t port, const char* user,
                                   const char* password, ProtocolKind protocol, const char* agent) {
  try {
    internet_ = InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    RaiseIfMissingHandle(internet_, OPEN_INTERNET_FAILED);

    if (!IsKnownProtocol(protocol) || port < 0 || port > MAX_PORT) Raise(CONNECT_FAILED);
    const ProtocolTraits traits = TraitsOf(protocol);
    const std::int32_t effectivePort = port == 0 ? traits.defaultPort : port;
    connection_ = InternetConnectA(internet_, server, static_cast<INTERNET_PORT>(effectivePort),
                                   user, password, traits.service, traits.connectFlags, 0);
    RaiseIfMissingHandle(connection_, CONNECT_FAILED);
    if (InternetAttemptConnect(0) != 0) Raise(CONNECT_FAILED);

    // Copies first, so that a failure leaves the earlier connection's record whole.
    std::string serverName = server ? server : "";
    std::string userName = user ? user : userName_;
    std::string storedPassword = password ? password : password_;
    serverName_.swap(serverName);
    userName_.swap(userName);
    password_.swap(storedPassword);
    port_ = effectivePort;
    protocol_ = protocol;
    cookies_.clear();
    formFields_.clear();
    return true;
  } catch (...) {
    CloseHandleField(internet_, NullHandle::kClose);
    CloseHandleField(connection_, NullHandle::kClose);
    return false;
  }
}

bool InternetClient::Request(const char* path, RequestKind kind, const char* referrer) {
  bool result = false;
  try {
    if (!path) Raise(REQUEST_FAILED);
    switch (kind) {
      case REQUEST_GET: result = RequestGet(path, referrer); break;
      case REQUEST_POST: result = RequestPost(path, referrer); break;
      case REQUEST_POST_MULTIPART: result = RequestPostMultipart(path, referrer); break;
      default: CloseHandleField(request_, NullHandle::kClose); return false;
    }
    if (!result) {
      CloseHandleField(request_, NullHandle::kClose);
      return false;
    }
    path_ = path;
    return true;
  } catch (...) {
    CloseHandleField(request_, NullHandle::kClose);
    return result;
  }
}

void InternetClient::OpenRequest(const char* verb, const char* path, const char* referrer,
                                 DWORD flags) {
  RaiseIfMissingHandle(connection_, HANDLE_NOT_OPENED);
  // Stored before it is tested: the caller's cleanup closes whatever the field holds.
  request_ =
      HttpOpenRequestA(connection_, verb, path, "HTTP/1.0", referrer, ACCEPT_TYPES, flags, 0);
  RaiseIfMissingHandle(request_, REQUEST_FAILED);
  RaiseIfFalse(HttpAddRequestHeadersA(request_, ACCEPT_HEADER,
                                      static_cast<DWORD>(std::strlen(ACCEPT_HEADER)),
                                      HTTP_ADDREQ_FLAG_REPLACE),
               ADDITIONAL_HEADER_FAILED);
}

std::string InternetClient::CookieUrl(const char* path) const {
  std::string url;
  if (protocol_ == PROTOCOL_HTTP) url = "http://";
  if (protocol_ == PROTOCOL_HTTPS) url = "https://";
  url += serverName_;
  const bool defaultPort =
      (protocol_ == PROTOCOL_HTTP && port_ == 80) || (protocol_ == PROTOCOL_HTTPS && port_ == 443);
  if (!defaultPort) url += ":" + std::to_string(port_);
  url += path;
  return url;
}

void InternetClient::ApplyCookies(const char* path) const {
  if (cookies_.empty()) return;
  const std::string url = CookieUrl(path);
  for (const auto& cookie : cookies_) {
    RaiseIfFalse(InternetSetCookieA(url.c_str(), cookie->name.c_str(), cookie->value.c_str()),
                 ADD_COOKIE_FAILED);
  }
}

bool InternetClient::RequestGet(const char* path, const char* referrer) {
  const DWORD flags =
      INTERNET_FLAG_NO_CACHE_WRITE | (protocol_ == PROTOCOL_HTTPS ? INTERNET_FLAG_SECURE : 0);
  OpenRequest("GET", path, referrer, flags);
  ApplyCookies(path);
  RaiseIfFalse(HttpSendRequestA(request_, nullptr, 0, nullptr, 0), REQUEST_FAILED);
  return true;
}

DWORD InternetClient::Response(void* buffer, DWORD size) {
  DWORD count = 0;
  try {
    if (!request_) Raise(CONNECTION_FAILED);
    RaiseIfFalse(InternetReadFile(request_, buffer, size, &count), RESPONSE_FAILED);
    return count;
  } catch (...) {
    CloseHandleField(request_, NullHandle::kClose);
    return 0;
  }
}

void InternetClient::Close() {
  CloseHandleField(request_, NullHandle::kSkip);
  CloseHandleField(connection_, NullHandle::kSkip);
  CloseHandleField(internet_, NullHandle::kSkip);
}

void InternetClient::CloseHandleField(HINTERNET& field, NullHandle null) {
  if (field || null == NullHandle::kClose) InternetCloseHandle(field);
  field = nullptr;
}

void InternetClient::AddFormField(const char* name, const char* value, bool isFile) {
  auto field = std::make_unique<FormField>();
  field->name = name ? name : "";
  field->value = value ? value : "";
  field->isFile = isFile ? 1 : 0;
  formFields_.push_back(std::move(field));
}

void InternetClient::AddCookie(const char* name, const char* value) {
  auto cookie = std::make_unique<ClientCookie>();
  cookie->name = name ? name : "";
  cookie->value = value ? value : "";
  cookies_.push_back(std::move(cookie));
}

DWORD InternetClient::PostRequestFlags() const {
  const DWORD flags =
      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT;
  return protocol_ == PROTOCOL_HTTPS ? flags | INTERNET_FLAG_SECURE : flags;
}
