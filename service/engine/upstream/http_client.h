// HTTP requests to an upstream translation server through libcurl, over connections kept
// alive from one request to the next.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace service::upstream {

struct HttpRequest {
  std::string url;
  std::string json_body;  // POSTed as application/json when not empty; GET otherwise
  std::chrono::milliseconds timeout{5000};  // the whole request, connecting included
  // When given, setting it ends the request early, as a failure.
  const std::atomic<bool>* cancel = nullptr;
};

struct HttpReply {
  // Empty when the server answered; else why not, without the URL ("refused the connection").
  std::string failure;
  long status = 0;
  std::string body;
  long retry_after_seconds = 0;  // 0 without a Retry-After header
};

struct CurlHandleCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using UniqueCurlHandle = std::unique_ptr<CURL, CurlHandleCleanup>;

// Safe to use from many threads at once: each request takes an idle easy handle (a handle keeps
// its connections open between requests) or makes one, and gives it back when done.
class HttpClient {
 public:
  static constexpr std::chrono::milliseconds kConnectTimeout{2000};
  static constexpr std::size_t kMaxIdleHandles = 8;
  static constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;

  HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  HttpReply Send(const HttpRequest& request);

  // Percent-encodes a query value.
  std::string Escape(const std::string& value);

 private:
  UniqueCurlHandle Take();
  void GiveBack(UniqueCurlHandle handle);

  std::mutex mutex_;
  std::vector<UniqueCurlHandle> idle_;
};

}  // namespace service::upstream
