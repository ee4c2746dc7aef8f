#include "service/engine/upstream/http_client.h"

#include <stdexcept>

namespace service::upstream {
namespace {

// curl_global_init before any handle exists, from the first client; cleaned up at exit.
class CurlGlobal {
 public:
  CurlGlobal() {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      throw std::runtime_error("libcurl could not be initialised");
    }
  }
  ~CurlGlobal() { curl_global_cleanup(); }
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;
};

struct CurlListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using UniqueCurlList = std::unique_ptr<curl_slist, CurlListFree>;

struct CurlStringFree {
  void operator()(char* text) const { curl_free(text); }
};

struct Sink {
  std::string* body;
  bool too_long = false;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  size_t bytes = size * count;
  if (sink->body->size() + bytes > HttpClient::kMaxBodyBytes) {
    sink->too_long = true;
    return 0;  // makes the transfer fail with CURLE_WRITE_ERROR
  }
  sink->body->append(data, bytes);
  return bytes;
}

int CheckCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

std::string Describe(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_CONNECT: return "refused the connection";
    case CURLE_COULDNT_RESOLVE_HOST: return "has a host name that does not resolve";
    case CURLE_OPERATION_TIMEDOUT: return "did not answer in time";
    case CURLE_ABORTED_BY_CALLBACK: return "was left: the service is stopping";
    case CURLE_GOT_NOTHING: return "closed the connection without answering";
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR: return "broke off its answer";
    default:
      // curl's own words for the code, never its error buffer, which may hold the URL.
      return std::string("could not be reached: ") + curl_easy_strerror(code);
  }
}

void ThrowIfCurlFailed(CURLcode code) {
  if (code != CURLE_OK) throw std::runtime_error(curl_easy_strerror(code));
}

}  // namespace

HttpClient::HttpClient() { static CurlGlobal global; }

UniqueCurlHandle HttpClient::Take() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      UniqueCurlHandle handle = std::move(idle_.back());
      idle_.pop_back();
      return handle;
    }
  }
  UniqueCurlHandle handle(curl_easy_init());
  if (!handle) throw std::runtime_error("curl_easy_init failed");
  return handle;
}

void HttpClient::GiveBack(UniqueCurlHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (idle_.size() < kMaxIdleHandles) idle_.push_back(std::move(handle));
}

HttpReply HttpClient::Send(const HttpRequest& request) {
  UniqueCurlHandle handle = Take();
  CURL* curl = handle.get();
  // Forgets the last request's options; the handle's open connections stay.
  curl_easy_reset(curl);

  HttpReply reply;
  Sink sink{&reply.body};
  UniqueCurlList headers;
  ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str()));
  ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https"));
  // Timeouts without SIGALRM: many threads send at once.
  ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
  ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                                     static_cast<long>(kConnectTimeout.count())));
  ThrowIfCurlFailed(
      curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count())));
  ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append));
  ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink));
  if (request.cancel) {
    ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L));
    ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckCancel));
    ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, request.cancel));
  }
  if (!request.json_body.empty()) {
    headers.reset(curl_slist_append(nullptr, "Content-Type: application/json"));
    if (!headers) throw std::runtime_error("curl_slist_append failed");
    ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()));
    ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                                       static_cast<curl_off_t>(request.json_body.size())));
    ThrowIfCurlFailed(curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.json_body.data()));
  }

  CURLcode code = curl_easy_perform(curl);
  if (code != CURLE_OK) {
    reply.failure = sink.too_long ? "answered more than " +
                                        std::to_string(kMaxBodyBytes / (1024 * 1024)) + " MiB"
                                  : Describe(code);
    reply.body.clear();
  } else {
    ThrowIfCurlFailed(curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status));
    curl_off_t retry_after = 0;
    ThrowIfCurlFailed(curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retry_after));
    reply.retry_after_seconds = static_cast<long>(retry_after);
  }
  GiveBack(std::move(handle));
  return reply;
}

std::string HttpClient::Escape(const std::string& value) {
  UniqueCurlHandle handle = Take();
  std::unique_ptr<char, CurlStringFree> escaped(
      curl_easy_escape(handle.get(), value.data(), static_cast<int>(value.size())));
  GiveBack(std::move(handle));
  if (!escaped) throw std::runtime_error("curl_easy_escape failed");
  return escaped.get();
}

}  // namespace service::upstream
