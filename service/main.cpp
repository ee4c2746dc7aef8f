// translation-service: answers GET /tr?trtext=TEXT&lp=CODE with the translation of TEXT
// between the markers the plug-in looks for, translating with warm Apertium pipelines and,
// for the codes they do not reach, with the upstream MT servers named on the command line.
#include "service/cache/shared_state.h"
#include "service/cache/translation_cache.h"
#include "service/command_line/command_line.h"
#include "service/corrections/correction_book.h"
#include "service/corrections/suggestions.h"
#include "service/detect/language_detector.h"
#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/router.h"
#include "service/engine/upstream/upstream_option.h"
#include "service/http/http_service.h"
#include "service/http/listen_socket.h"
#include "service/limits/api_keys.h"
#include "service/limits/client_limits.h"
#include "service/metrics/bearer_token.h"
#include "service/metrics/service_metrics.h"
#include "service/posix/log.h"

#include <pthread.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// systemd copies a credential only when the unit starts, so an edit of the operator's file
// reaches the service by a restart alone; the log says so rather than let a reload look like it.
void ReadKeysAgain(service::limits::ApiKeyRing& keys, bool from_credential) {
  sd_notify(0, "RELOADING=1");
  std::string problem = keys.Reload();
  std::string said = problem.empty()
                         ? "API keys read again: " + std::to_string(keys.Current()->size()) +
                               " from " + keys.path()
                         : problem + "; the keys in force stay";
  if (from_credential) {
    said += " (the copy systemd made at the start: an edit of its file takes a restart)";
  }
  service::LogLine(said);
  sd_notify(0, "READY=1");
}

void ReadCorrectionsAgain(service::corrections::CorrectionBook& corrections) {
  sd_notify(0, "RELOADING=1");
  std::string problem = corrections.Reload();
  service::LogLine(problem.empty()
                       ? "corrections read again: " + std::to_string(corrections.size()) +
                             " from " + corrections.path()
                       : problem + "; the corrections in force stay");
  sd_notify(0, "READY=1");
}

// Where the instances of a group keep the corrections file read last. Long-lived: each
// instance that holds a set puts it back when the store has lost it.
constexpr char kSharedCorrectionsKey[] = "mirelskan:corrections";
constexpr std::chrono::hours kSharedCorrectionsTtl{24 * 30};

service::corrections::SharedCopy SharedCorrections(service::cache::SharedState* shared) {
  if (!shared) return {};
  return {[shared] { return shared->Get(kSharedCorrectionsKey); },
          [shared](const std::string& text) {
            return shared->Set(kSharedCorrectionsKey, text, kSharedCorrectionsTtl);
          }};
}

// --list-suggestions and --accept-suggestion: what the operator does with the pending ones.
int RunSuggestionCommand(const service::command_line::Settings& settings) {
  using Command = service::command_line::Settings::Command;
  const std::string& path = settings.corrections_file;
  try {
    if (settings.command == Command::kListSuggestions) {
      std::vector<service::corrections::Correction> pending =
          service::corrections::ReadPending(path);
      if (pending.empty()) std::puts("no suggestion is pending");
      for (std::size_t i = 0; i < pending.size(); ++i) {
        std::printf("%zu\t%s\t%s\t%s\n", i + 1, pending[i].code.c_str(), pending[i].line.c_str(),
                    pending[i].translation.c_str());
      }
      return 0;
    }
    service::corrections::Correction accepted =
        service::corrections::AcceptSuggestion(path, settings.accept_number);
    std::printf("accepted into %s: %s\t%s\t%s\n(systemctl reload, or SIGHUP, answers it)\n",
                path.c_str(), accepted.code.c_str(), accepted.line.c_str(),
                accepted.translation.c_str());
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "translation-service: %s\n", failure.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  service::command_line::Parsed parsed =
      service::command_line::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.settings) {
    std::fputs(parsed.message.c_str(), parsed.exit_status == 0 ? stdout : stderr);
    return parsed.exit_status;
  }
  service::command_line::Settings& settings = *parsed.settings;
  if (settings.command != service::command_line::Settings::Command::kServe) {
    return RunSuggestionCommand(settings);
  }
  const service::ApertiumOptions& options = settings.apertium;
  const service::ListenAddress& address = settings.listen;

  // Every thread inherits this mask, so only the sigwait below sees these signals.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop_signals, signal_number);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  try {
    std::string metrics_token;
    if (!settings.metrics_token_file.empty()) {
      metrics_token = service::metrics::ReadTokenFile(settings.metrics_token_file);
    }
    // Bound first: a taken or forbidden address fails before the pipelines' seconds of start-up.
    service::UniqueFd socket = service::BindSocket(address);
    int port = service::BoundPort(socket.get());
    std::unique_ptr<service::cache::SharedState> shared;
    if (settings.cache.shared) {
      shared = std::make_unique<service::cache::SharedState>(*settings.cache.shared);
    }
    // Read before the pipelines start, so a bad file fails at once. Every instance of a group
    // answers the same corrections, those read last by any of them.
    std::unique_ptr<service::corrections::CorrectionBook> corrections;
    if (!settings.corrections_file.empty() || shared) {
      corrections = std::make_unique<service::corrections::CorrectionBook>(
          settings.corrections_file, SharedCorrections(shared.get()));
      if (!settings.corrections_file.empty()) {
        service::LogLine("corrections: " + std::to_string(corrections->size()) + " from " +
                         corrections->path());
      }
    }
    auto apertium = std::make_unique<service::ApertiumEngine>(options);
    const service::ApertiumEngine* local = apertium.get();  // owned by the router below
    if (apertium->Pairs().empty() && settings.upstreams.empty()) {
      service::LogLine("no language pair can be served from " + options.modes_dir);
      return 1;
    }
    // In priority order: for each code, the first engine that offers it serves it. An upstream
    // that is down now offers its codes once it answers.
    service::Router router(
        service::upstream::EnginesInOrder(std::move(apertium), settings.upstreams), options.codes);
    service::cache::TranslationCache cache(settings.cache.mib << 20, shared.get(),
                                           settings.cache.ttl);
    // Several instances count each client's requests together in the shared state; alone, or
    // while it does not answer, each counts its own.
    service::limits::ClientLimits limits(
        settings.limits,
        [&shared](const std::string& key, std::chrono::seconds window) -> std::optional<long long> {
          if (!shared) return std::nullopt;
          return shared->CountInWindow(key, window);
        });
    service::metrics::ScrapeSources sources;
    sources.engines = [&router] { return router.States(); };
    sources.pipelines_running = [local] { return local->PipelinesRunning(); };
    sources.cache = [&cache] {
      auto stats = cache.Stats();
      return service::metrics::CacheStats{stats.hits, stats.misses, stats.bytes};
    };
    service::metrics::ServiceMetrics metrics(std::move(sources));
    // Loaded once, before the first request, and shared by all of them.
    std::unique_ptr<service::detect::LanguageDetector> detector;
    if (settings.detect) {
      detector = std::make_unique<service::detect::LanguageDetector>();
      std::string analysed;
      for (const auto& language : detector->AnalysedLanguages()) analysed += " " + language;
      service::LogLine("language detection with the word lists of" +
                       (analysed.empty() ? std::string(" no language") : analysed));
    }
    std::unique_ptr<service::limits::ApiKeyRing> keys;
    if (!settings.api.keys_file.empty()) {
      keys = std::make_unique<service::limits::ApiKeyRing>(settings.api.keys_file);
      service::LogLine("API keys: " + std::to_string(keys->Current()->size()) + " from " +
                       keys->path());
    }
    std::unique_ptr<service::corrections::SuggestionBox> suggestions;
    if (settings.suggestions) {
      suggestions =
          std::make_unique<service::corrections::SuggestionBox>(settings.corrections_file);
    }
    service::HttpOptions http_options{&cache,        detector.get(), &limits,     &metrics,
                                      metrics_token, keys.get(),     settings.api};
    http_options.corrections = corrections.get();
    http_options.suggestions = suggestions.get();
    service::HttpService http(router, std::move(socket), address, std::move(http_options));
    if (shared) service::LogLine("sharing state through " + RedisUrl(*settings.cache.shared));
    std::vector<service::Route> routes = router.Routes();
    std::string codes;
    for (const auto& route : routes) codes += (codes.empty() ? "" : " ") + route.code;
    std::string host = address.ipv6 ? "[" + address.host + "]" : address.host;
    service::LogLine("ready on http://" + host + ":" + std::to_string(port) + "/ with " +
                     std::to_string(routes.size()) + " pairs: " + codes);
    // Under systemd (Type=notify) the unit counts as started from here; elsewhere a no-op.
    sd_notify(0, "READY=1");
    // SIGHUP reads the keys and the corrections again (systemctl reload); the others stop the
    // service.
    int received = 0;
    while (sigwait(&stop_signals, &received) == 0 && received == SIGHUP) {
      if (keys) ReadKeysAgain(*keys, settings.api.keys_from_credential);
      if (corrections && !corrections->path().empty()) ReadCorrectionsAgain(*corrections);
    }
    sd_notify(0, "STOPPING=1");
    http.Stop();
    service::LogLine("stopped");
  } catch (const std::exception& failure) {
    service::LogLine(failure.what());
    return 1;
  }
  return 0;
}
