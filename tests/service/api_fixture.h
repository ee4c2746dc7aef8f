// The service the translation APIs' tests send to: "memory" offers six codes and echoes each
// text; "backup" offers de_en and is down; --char-limit 200, --batch-limit 3, the real language
// detector, and a keys file with "open-key" and "tight-key 1".
#pragma once

#include "service_test_support.h"

#include "service/detect/language_detector.h"
#include "service/limits/api_keys.h"
#include "service/limits/client_limits.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace service_test {

class ApiService {
 protected:
  ~ApiService() { Stop(); }

  // (Re)starts the service; `require_key` as --require-api-key.
  void Start(bool require_key) {
    Stop();
    auto memory = std::make_unique<MemoryEngine>(
        "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"},
                                              {"en_zh", "English to Chinese"},
                                              {"es_en", "Spanish to English"},
                                              {"fr_en", "French to English"},
                                              {"fr_es", "French to Spanish"},
                                              {"it_es", "Italian to Spanish"}});
    memory_ = memory.get();
    auto backup = std::make_unique<MemoryEngine>(
        "backup", std::vector<service::Offer>{{"de_en", "German to English"}});
    backup->SetHealth({false, {}, "stopped by the test"});
    std::vector<std::unique_ptr<service::Engine>> engines;
    engines.push_back(std::move(memory));
    engines.push_back(std::move(backup));
    service::limits::LimitSettings settings;
    settings.max_characters = 200;
    limits_ = std::make_unique<service::limits::ClientLimits>(settings);
    char path[] = "/tmp/api-keys-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    keys_path_ = path;
    std::ofstream(keys_path_) << "# the keys handed out\nopen-key\ntight-key 1  # one a minute\n";
    keys_ = std::make_unique<service::limits::ApiKeyRing>(keys_path_);
    service::HttpOptions options;
    options.detector = &Detector();
    options.limits = limits_.get();
    options.keys = keys_.get();
    options.api.batch_limit = 3;
    options.api.require_key = require_key;
    service_ = std::make_unique<RunningService>(std::move(engines), options);
  }

  void Stop() {
    service_.reset();
    memory_ = nullptr;
    if (!keys_path_.empty()) std::remove(keys_path_.c_str());
    keys_path_.clear();
  }

  std::optional<raw_http::Response> Send(const std::string& method, const std::string& target,
                                         const std::string& content_type, const std::string& body) {
    raw_http::Connection connection(service_->port());
    std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!content_type.empty()) request += "Content-Type: " + content_type + "\r\n";
    if (method == "POST") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (!connection.Send(request + "Connection: close\r\n\r\n" + body)) return std::nullopt;
    return connection.Read();
  }

  // Loading the detector's profiles takes a while: one for the whole program.
  static service::detect::LanguageDetector& Detector() {
    static service::detect::LanguageDetector detector;
    return detector;
  }

  std::unique_ptr<service::limits::ClientLimits> limits_;
  std::unique_ptr<service::limits::ApiKeyRing> keys_;
  std::string keys_path_;
  MemoryEngine* memory_ = nullptr;
  std::unique_ptr<RunningService> service_;
};

}  // namespace service_test
