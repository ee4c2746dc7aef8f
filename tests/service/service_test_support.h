// A translation service running in-process on a free port of 127.0.0.1, and helpers to talk
// to it over real HTTP.
#pragma once

#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/router.h"
#include "service/http/http_service.h"
#include "support/memory_engine.h"
#include "support/raw_http.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace service_test {

class RunningService {
 public:
  // Serves through a router over `engines`, in priority order, with what `options` turns on.
  explicit RunningService(std::vector<std::unique_ptr<service::Engine>> engines,
                          service::HttpOptions options = {});
  ~RunningService();

  int port() const { return port_; }
  const service::Router& router() const { return router_; }

 private:
  service::Router router_;
  int port_ = 0;
  std::unique_ptr<service::HttpService> http_;
};

// Starts the service in SetUp with the engines Engines() gives and stops it in TearDown: by
// default Apertium with the pairs Options() names.
class ServiceTest : public ::testing::Test {
 protected:
  virtual std::vector<std::unique_ptr<service::Engine>> Engines();
  virtual service::ApertiumOptions Options() const;
  void SetUp() override;
  void TearDown() override;

  service::ApertiumEngine& apertium() { return *apertium_; }

  // A GET of `target` exactly as given: nothing is encoded on the way.
  std::optional<raw_http::Response> Get(const std::string& target) const;
  // The translation cut from the page of /tr?trtext=ENCODED&lp=CODE as the plug-in cuts it;
  // nothing when the page holds no start marker.
  std::optional<std::string> Translate(const std::string& encoded_text,
                                       const std::string& code) const;

  std::unique_ptr<RunningService> service_;
  service::ApertiumEngine* apertium_ = nullptr;  // owned by the service's router
};

// The same with pipelines of a scripted stand-in for Apertium programs, quick to start: each
// copies every request through unchanged, except that one holding HANG never answers, DIE
// exits and TWICE is answered twice. Pairs en_es, es_fr and en_fr (through es).
class FakeModesTest : public ServiceTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  service::ApertiumOptions Options() const override;

  std::string directory_;
};

// The same in front of two engines in memory, which echo each text: "memory" offers en_es,
// en_fr and es_fr; "backup", after it, en_fr (which "memory" serves), de_en and eo_en (which
// the plug-in's help does not list).
class MemoryEngineTest : public ServiceTest {
 protected:
  std::vector<std::unique_ptr<service::Engine>> Engines() override;

  MemoryEngine* memory_ = nullptr;
  MemoryEngine* backup_ = nullptr;
};

// The translation as the plug-in cuts it out of a page, with the plug-in's own code.
std::optional<std::string> CutTranslation(const std::string& page);

using raw_http::PercentEncode;

// Polls GET /health on `port` until the service answers it, for at most `bound`; whether it did.
// The service listens only once its local engine is ready, so any answer means it serves.
bool WaitUntilReady(int port, std::chrono::milliseconds bound = std::chrono::seconds(120));

// A port of 127.0.0.1 that was free a moment ago, for a program told where to listen.
int FreePort();

// Runs a filter program on `input` and returns what it writes.
std::string RunFilter(const std::vector<std::string>& argv, const std::string& input);

}  // namespace service_test
