// A translation service running in-process on a free port of 127.0.0.1, and helpers to talk
// to it over real HTTP.
#pragma once

#include "service/http_service.h"
#include "support/raw_http.h"
#include "service/translator.h"

#include <gtest/gtest.h>

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
  int port_ = 0;
  std::unique_ptr<service::HttpService> http_;
};

// Starts the service in SetUp with the pairs Options() names and stops it in TearDown.
class ServiceTest : public ::testing::Test {
 protected:
  virtual service::TranslatorOptions Options() const;
  void SetUp() override;
  void TearDown() override;

  // A GET of `target` exactly as given: nothing is encoded on the way.
  std::optional<raw_http::Response> Get(const std::string& target) const;
  // The translation cut from the page of /tr?trtext=ENCODED&lp=CODE as the plug-in cuts it;
  // nothing when the page holds no start marker.
  std::optional<std::string> Translate(const std::string& encoded_text,
                                       const std::string& code) const;

  std::unique_ptr<RunningService> service_;
};

// The same with pipelines of a scripted stand-in for Apertium programs, quick to start: each
// copies every request through unchanged, except that one holding HANG never answers, DIE
// exits and TWICE is answered twice. Pairs en_es, es_fr and en_fr (through es).
class FakeModesTest : public ServiceTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  service::TranslatorOptions Options() const override;

  std::string directory_;
};

// The text between the first start marker and the first end marker after it.
std::optional<std::string> CutTranslation(const std::string& page);

using raw_http::PercentEncode;

// Runs a filter program on `input` and returns what it writes.
std::string RunFilter(const std::vector<std::string>& argv, const std::string& input);

}  // namespace service_test
