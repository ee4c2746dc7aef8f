// For tests only: a LibreTranslate server written from its documented API, not from its code.
// GET /languages lists the plug-in's 13 languages (Chinese as zh-Hans and zh-Hant, as since
// 1.7); POST /translate answers as the test scripts it and keeps every body it received;
// GET /calls counts them ({"translate": N}).
#pragma once

#include <microhttpd.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace upstream_test {

enum class Behaviour {
  kAnswer,       // {"translatedText": the text's ASCII letters in capitals + " [target]"}
  kBadRequest,   // 400
  kForbidden,    // 403
  kRateLimited,  // 429 without Retry-After
  kRetryAfter7,  // 429 with Retry-After: 7
  kServerError,  // 500
  kStall,        // no answer until the stand-in stops
  kTruncated,    // 200 with JSON cut short
};

class LibreTranslateStandIn {
 public:
  // On 127.0.0.1:port, any free port when 0.
  explicit LibreTranslateStandIn(int port = 0);
  ~LibreTranslateStandIn();
  LibreTranslateStandIn(const LibreTranslateStandIn&) = delete;
  LibreTranslateStandIn& operator=(const LibreTranslateStandIn&) = delete;

  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void Script(Behaviour behaviour);
  void ListOnly(std::vector<std::string> languages);  // as /languages names them
  std::vector<nlohmann::json> Received() const;       // the /translate bodies, in order
  int Connections() const;                            // TCP connections accepted so far

 private:
  static MHD_Result Access(void* self, MHD_Connection* connection, const char* url,
                           const char* method, const char* version, const char* upload_data,
                           size_t* upload_data_size, void** request_context);
  static void Completed(void* self, MHD_Connection* connection, void** request_context,
                        MHD_RequestTerminationCode code);
  static void Notify(void* self, MHD_Connection* connection, void** socket_context,
                     MHD_ConnectionNotificationCode code);
  MHD_Result Answer(MHD_Connection* connection, const std::string& url, const std::string& body);

  mutable std::mutex mutex_;
  std::condition_variable stopping_changed_;
  bool stopping_ = false;
  Behaviour behaviour_ = Behaviour::kAnswer;
  std::vector<std::string> languages_ = {"en", "es", "fr", "it", "pt",      "de",     "nl",
                                         "el", "ja", "ko", "ru", "zh-Hans", "zh-Hant"};
  std::vector<nlohmann::json> received_;
  int connections_ = 0;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
};

}  // namespace upstream_test
