// An engine that forwards to an upstream machine-translation server, learning the pairs it serves
// and standing back while it is down. What differs between kinds of server is an UpstreamApi.
#pragma once

#include "service/engine/engine.h"
#include "service/engine/upstream/http_client.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace service::upstream {

struct UpstreamLimits {
  // A request may take as long as a local one: this plus per_kib per KiB of text.
  std::chrono::milliseconds request = kTranslationBoundBase;
  std::chrono::milliseconds per_kib = kTranslationBoundPerKiB;
  // How long a failing upstream is left alone (also while it has not yet listed its pairs).
  std::chrono::seconds down{30};
  std::chrono::seconds relearn{600};
  // A Retry-After beyond this is taken as this.
  std::chrono::seconds longest_retry_after{3600};
};

// A pair an upstream serves: the plug-in's code and the languages as the upstream spells them.
struct UpstreamPair {
  std::string code;    // "de_en"
  std::string source;  // "de", "deu", ...
  std::string target;
};

// The requests and answers of one kind of server. Read* throw on an answer that is not whole.
class UpstreamApi {
 public:
  virtual ~UpstreamApi() = default;
  virtual std::string Kind() const = 0;         // "libretranslate", in names and logs
  virtual std::string DisplayName() const = 0;  // "LibreTranslate", in descriptions
  virtual HttpRequest PairsRequest(const std::string& url) const = 0;
  // Sorted by code; pairs outside the plug-in's languages are left out.
  virtual std::vector<UpstreamPair> ReadPairs(const std::string& body) const = 0;
  virtual HttpRequest TranslateRequest(const std::string& url, const UpstreamPair& pair,
                                       std::string_view text, HttpClient& client) const = 0;
  virtual std::string ReadTranslation(const std::string& body) const = 0;
  // What to do about a 403.
  virtual std::string ForbiddenRemedy() const = 0;
};

class UpstreamEngine : public Engine {
 public:
  // Learns the pairs before returning (bounded by limits.request) and again every
  // limits.relearn; an upstream that does not answer offers nothing until it does.
  UpstreamEngine(std::string url, std::unique_ptr<UpstreamApi> api, UpstreamLimits limits);
  ~UpstreamEngine() override;
  UpstreamEngine(const UpstreamEngine&) = delete;
  UpstreamEngine& operator=(const UpstreamEngine&) = delete;

  std::string Name() const override;  // "libretranslate http://127.0.0.1:5000"
  std::vector<Offer> Offers() const override;
  Translation Translate(std::string_view code, const std::vector<Piece>& pieces) override;
  EngineHealth Health() const override;

 private:
  using Clock = std::chrono::steady_clock;

  void Learn();
  void RelearnUntilStopped();
  // The upstream's answer, read by `read`; nothing after logging why not in *what and, when the
  // upstream is at fault, marking it down.
  std::optional<std::string> Exchange(
      const HttpRequest& request, const std::function<std::string(const std::string& body)>& read,
      std::string* what);
  void Fail(const std::string& what, std::optional<std::chrono::seconds> down_for);
  std::optional<std::string> DownProblem() const;

  const std::string url_;
  const std::unique_ptr<UpstreamApi> api_;
  const UpstreamLimits limits_;
  const std::string name_;
  HttpClient client_;
  std::atomic<bool> forbidden_logged_{false};

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopping_{false};  // also ends a relearning request under way
  bool learnt_ = false;
  std::vector<UpstreamPair> pairs_;
  Clock::time_point down_until_{};
  std::chrono::system_clock::time_point down_since_{};
  std::string down_reason_;

  std::thread relearning_;  // last: stopped and joined before the members above go
};

}  // namespace service::upstream
