// A translation service running in-process on a free port of 127.0.0.1, and helpers to talk
// to it over real HTTP.
#pragma once

#include "service/http_service.h"
#include "service/translator.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace service_test {

class RunningService {
 public:
  explicit RunningService(service::TranslatorOptions options);
  ~RunningService();

  int port() const { return port_; }
  service::Translator& translator() { return translator_; }

 private:
  service::Translator translator_;
  service::HttpService http_;
  int port_ = 0;
  std::thread thread_;
};

// Starts the service in SetUp with the pairs Options() names and stops it in TearDown.
class ServiceTest : public ::testing::Test {
 protected:
  virtual service::TranslatorOptions Options() const;
  void SetUp() override;
  void TearDown() override;

  // A GET of `target` exactly as given: nothing is encoded on the way.
  httplib::Result Get(const std::string& target) const;
  // The translation cut from the page of /tr?trtext=ENCODED&lp=CODE as the plug-in cuts it;
  // nothing when the page holds no start marker.
  std::optional<std::string> Translate(const std::string& encoded_text,
                                       const std::string& code) const;

  std::unique_ptr<RunningService> service_;
};

// The text between the first start marker and the first end marker after it.
std::optional<std::string> CutTranslation(const std::string& page);

// Percent-encodes every byte that is not an ASCII letter or digit.
std::string Encode(std::string_view text);

// Runs a filter program on `input` and returns what it writes.
std::string RunFilter(const std::vector<std::string>& argv, const std::string& input);

}  // namespace service_test
