#include "service/engine/upstream/upstream_engine.h"

#include "service/engine/language_names.h"
#include "service/posix/log.h"
#include "service/text/span_markers.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace service::upstream {
namespace {

std::string Seconds(std::chrono::seconds seconds) { return std::to_string(seconds.count()) + " s"; }

}  // namespace

UpstreamEngine::UpstreamEngine(std::string url, std::unique_ptr<UpstreamApi> api,
                               UpstreamLimits limits)
    : url_(std::move(url)),
      api_(std::move(api)),
      limits_(limits),
      name_(api_->Kind() + " " + url_),
      down_since_(std::chrono::system_clock::now()) {
  Learn();
  relearning_ = std::thread([this] { RelearnUntilStopped(); });
}

UpstreamEngine::~UpstreamEngine() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  relearning_.join();
}

std::string UpstreamEngine::Name() const { return name_; }

std::vector<Offer> UpstreamEngine::Offers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Offer> offers;
  for (const UpstreamPair& pair : pairs_) {
    // ReadPairs keeps only codes of the plug-in's languages, so both names exist.
    std::string source = LanguageName(pair.code.substr(0, 2)).value_or(pair.source);
    std::string target = LanguageName(pair.code.substr(3)).value_or(pair.target);
    offers.push_back({pair.code, source + " to " + target + " (" + api_->DisplayName() + ")"});
  }
  return offers;
}

EngineHealth UpstreamEngine::Health() const {
  std::lock_guard<std::mutex> lock(mutex_);
  EngineHealth health;
  if (Clock::now() < down_until_) {
    health.down_since = down_since_;
    health.reason = url_ + " " + down_reason_;
  } else if (!learnt_) {
    health.down_since = down_since_;
    health.reason = url_ + " has not listed its languages yet";
  } else {
    health.ready = true;
  }
  return health;
}

void UpstreamEngine::Learn() {
  std::vector<UpstreamPair> pairs;
  bool listed = false;
  try {
    HttpRequest request = api_->PairsRequest(url_);
    request.timeout = limits_.request;
    request.cancel = &stopping_;
    auto read = [&](const std::string& body) {
      pairs = api_->ReadPairs(body);
      return std::string();
    };
    std::string what;
    listed = Exchange(request, read, &what).has_value();
  } catch (const std::exception& error) {
    Fail(std::string("could not be asked for its languages: ") + error.what(), limits_.down);
  }
  if (!listed) return;
  std::lock_guard<std::mutex> lock(mutex_);
  pairs_ = std::move(pairs);
  learnt_ = true;
}

void UpstreamEngine::RelearnUntilStopped() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    // Until the first list has come, ask again as soon as the upstream is no longer left alone.
    auto wait = learnt_ ? limits_.relearn : limits_.down;
    if (wake_.wait_for(lock, wait, [this] { return stopping_.load(); })) break;
    lock.unlock();
    Learn();
    lock.lock();
  }
}

std::optional<std::string> UpstreamEngine::Exchange(
    const HttpRequest& request, const std::function<std::string(const std::string& body)>& read,
    std::string* what) {
  HttpReply reply = client_.Send(request);
  if (!reply.failure.empty()) {
    *what = reply.failure;
    if (stopping_) return std::nullopt;  // not the upstream's fault
    Fail(*what, limits_.down);
    return std::nullopt;
  }
  const std::string status = std::to_string(reply.status);
  if (reply.status == 429) {
    auto wait = reply.retry_after_seconds > 0 ? std::chrono::seconds(reply.retry_after_seconds)
                                              : limits_.down;
    *what = "answered 429 (too many requests)";
    Fail(*what, std::min(wait, limits_.longest_retry_after));
    return std::nullopt;
  }
  if (reply.status >= 500) {
    *what = "answered " + status + " (server error)";
    Fail(*what, limits_.down);
    return std::nullopt;
  }
  if (reply.status == 403) {
    *what = "answered 403 (forbidden)";
    bool first = !forbidden_logged_.exchange(true);
    Fail(first ? *what + ": " + api_->ForbiddenRemedy() : *what, std::nullopt);
    return std::nullopt;
  }
  if (reply.status != 200) {
    *what = "answered " + status + (reply.status == 400 ? " (bad request)" : "");
    Fail(*what, std::nullopt);
    return std::nullopt;
  }
  try {
    return read(reply.body);
  } catch (const std::exception&) {
    // The parser's message may quote the answer, which holds the text.
    *what = "sent an answer that is not whole";
    Fail(*what, limits_.down);
    return std::nullopt;
  }
}

void UpstreamEngine::Fail(const std::string& what, std::optional<std::chrono::seconds> down_for) {
  if (!down_for) {
    LogLine(name_ + " " + what + "; this request fails");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto now = Clock::now();
    if (now >= down_until_) down_since_ = std::chrono::system_clock::now();
    down_until_ = std::max(down_until_, now + *down_for);
    down_reason_ = what;
  }
  LogLine(name_ + " " + what + "; left alone for " + Seconds(*down_for));
}

std::optional<std::string> UpstreamEngine::DownProblem() const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto left = down_until_ - Clock::now();
  if (left <= Clock::duration::zero()) return std::nullopt;
  auto seconds = std::chrono::ceil<std::chrono::seconds>(left);
  return name_ + " is down (" + down_reason_ + "), tried again in " + Seconds(seconds);
}

Translation UpstreamEngine::Translate(std::string_view code, const std::vector<Piece>& pieces) {
  Translation translation;
  try {
    std::optional<UpstreamPair> pair;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const UpstreamPair& served : pairs_) {
        if (served.code == code) pair = served;
      }
    }
    if (!pair) {
      translation.problem = name_ + " does not serve " + std::string(code);
      LogLine(translation.problem);
      return translation;
    }
    if (std::optional<std::string> down = DownProblem()) {
      translation.problem = *down;
      LogLine(translation.problem);
      return translation;
    }
    size_t bytes = 0;
    for (const Piece& piece : pieces) bytes += piece.text.size();
    auto bound = limits_.request + limits_.per_kib * static_cast<long>(bytes / 1024);
    auto deadline = Clock::now() + bound;

    TranslateText send = [&](std::string_view text) -> std::optional<std::string> {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= std::chrono::milliseconds::zero()) {
        translation.problem =
            name_ + " took longer than " + std::to_string(bound.count()) + " ms for the text";
        LogLine(translation.problem);
        return std::nullopt;
      }
      HttpRequest request = api_->TranslateRequest(url_, *pair, text, client_);
      request.timeout = left;
      std::string what;
      std::optional<std::string> translated = Exchange(
          request, [this](const std::string& body) { return api_->ReadTranslation(body); }, &what);
      if (!translated) translation.problem = name_ + " " + what;
      return translated;
    };
    if (std::optional<std::string> text = TranslateAroundSpans(pieces, send)) {
      translation.ok = true;
      translation.text = std::move(*text);
    }
  } catch (const std::exception& error) {
    translation.ok = false;
    translation.problem = name_ + " failed: " + error.what();
    LogLine(translation.problem);
  }
  return translation;
}

}  // namespace service::upstream
