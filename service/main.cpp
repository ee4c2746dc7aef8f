// translation-service: answers GET /tr?trtext=TEXT&lp=CODE with the translation of TEXT
// between the markers the plug-in looks for, translating with warm Apertium pipelines and,
// for the codes they do not reach, with the upstream MT servers named on the command line.
#include "service/cache/cache_options.h"
#include "service/cache/shared_state.h"
#include "service/cache/translation_cache.h"
#include "service/detect/language_detector.h"
#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/router.h"
#include "service/engine/upstream/upstream_option.h"
#include "service/http/http_config.h"
#include "service/http/http_service.h"
#include "service/http/listen_socket.h"
#include "service/limits/client_limits.h"
#include "service/metrics/bearer_token.h"
#include "service/metrics/service_metrics.h"
#include "service/posix/log.h"

#include <pthread.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: translation-service [--listen HOST:PORT] [--modes DIR] [--pairs CODE,CODE...]\n"
    "                           [--upstream KIND=URL[,key-file=PATH|,key-credential=NAME]]...\n"
    "                           [--start-seconds N] [--no-detect] [--cache-mib N]\n"
    "                           [--shared-state redis://HOST:PORT] [--cache-days N]\n"
    "                           [--rate-limit N] [--char-limit N] [--trust-proxy ADDR,...]\n"
    "                           [--metrics-token-file PATH]\n"
    "  --listen HOST:PORT  where to listen (default %s; [::1]:PORT for IPv6, port 0: any)\n"
    "  --modes DIR         the Apertium modes to look for pairs in (default %s)\n"
    "  --pairs CODES       offer only these language pairs, e.g. fr_en,en_es (default: all)\n"
    "  --upstream KIND=URL a server that translates the codes Apertium does not reach, tried\n"
    "                      in the order given: libretranslate=URL[,key-file=PATH] (the file\n"
    "                      holds the API key; key-credential=NAME: the systemd credential\n"
    "                      NAME holds it) or apy=URL (Apertium-APy)\n"
    "  --start-seconds N   how long a pipeline may take to load its dictionaries before its\n"
    "                      pairs are left out (default %d; more on a slow or emulated machine)\n"
    "  --no-detect         no language detection: no codes that name only the target\n"
    "                      (en, auto_en), no /detect\n"
    "%s"
    "  --rate-limit N      at most N translations per minute per client, then 429 with\n"
    "                      Retry-After (default 0: no limit)\n"
    "  --char-limit N      at most N characters in one request's text, else 400 (default 0:\n"
    "                      no limit)\n"
    "  --trust-proxy ADDRS the proxies (numeric addresses) whose X-Forwarded-For names the\n"
    "                      client; from anyone else the header is ignored\n"
    "  --metrics-token-file PATH  GET /metrics answers only Authorization: Bearer TOKEN,\n"
    "                      TOKEN being this file's first line\n"
    "  --help, --version   show this text, or the version, and exit\n";

std::vector<std::string> SplitCodes(const std::string& list) {
  std::vector<std::string> codes;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) codes.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return codes;
}

std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
  if (text.empty() || text.size() > 4 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  int seconds = std::stoi(text);
  if (seconds < 1 || seconds > 3600) return std::nullopt;
  return std::chrono::seconds(seconds);
}

int PrintUsage(FILE* stream, int status) {
  std::fprintf(stream, kUsage, service::kDefaultListen, service::kDefaultModesDir,
               static_cast<int>(service::kStartupTimeout.count() / 1000),
               service::cache::kCacheUsage);
  return status;
}

// The limits per client and the metrics' token, as the command line sets them.
struct GuardOptions {
  service::limits::LimitSettings limits;
  std::string metrics_token_file;
};

bool IsGuardOption(const std::string& argument) {
  return argument == "--rate-limit" || argument == "--char-limit" || argument == "--trust-proxy" ||
         argument == "--metrics-token-file";
}

// What is wrong with the value, or "" once it is taken.
std::string ApplyGuardOption(const std::string& argument, const std::string& value,
                             GuardOptions& guards) {
  if (argument == "--metrics-token-file") {
    guards.metrics_token_file = value;
    return "";
  }
  if (argument == "--trust-proxy") {
    std::string problem;
    auto proxies = service::limits::TrustedProxies::Parse(value, &problem);
    if (!proxies) return "--trust-proxy: " + problem;
    guards.limits.proxies = std::move(*proxies);
    return "";
  }
  unsigned long long number = 0;
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || number > 1000000000) {
    return argument + " needs a whole number from 0 to 1000000000, not " + value;
  }
  if (argument == "--rate-limit") {
    guards.limits.requests_per_minute = static_cast<long long>(number);
  } else {
    guards.limits.max_characters = static_cast<std::size_t>(number);
  }
  return "";
}

int BadCommandLine(const std::string& problem) {
  std::fprintf(stderr, "translation-service: %s\n", problem.c_str());
  return PrintUsage(stderr, 2);
}

}  // namespace

int main(int argc, char** argv) {
  std::string listen = service::kDefaultListen;
  service::ApertiumOptions options;
  std::vector<service::upstream::UpstreamOption> upstreams;
  GuardOptions guards;
  service::cache::CacheOptions cache_options;
  bool detect = true;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (service::cache::IsCacheOption(argument)) {
      if (i + 1 >= argc) return BadCommandLine(argument + " needs a value");
      std::string problem = service::cache::ApplyCacheOption(argument, argv[++i], &cache_options);
      if (!problem.empty()) return BadCommandLine(problem);
      continue;
    }
    if (argument == "--help" || argument == "-h") return PrintUsage(stdout, 0);
    if (argument == "--no-detect") {
      detect = false;
      continue;
    }
    if (argument == "--version") {
      std::printf("translation-service %s\n", MIRELSKAN_VERSION);
      return 0;
    }
    if (IsGuardOption(argument)) {
      if (i + 1 >= argc) return BadCommandLine(argument + " needs a value");
      std::string problem = ApplyGuardOption(argument, argv[++i], guards);
      if (!problem.empty()) return BadCommandLine(problem);
      continue;
    }
    if (argument != "--listen" && argument != "--modes" && argument != "--pairs" &&
        argument != "--upstream" && argument != "--start-seconds") {
      return BadCommandLine("unknown option " + argument);
    }
    if (i + 1 >= argc) return BadCommandLine(argument + " needs a value");
    std::string value = argv[++i];
    if (argument == "--listen") {
      listen = value;
    } else if (argument == "--modes") {
      options.modes_dir = value;
    } else if (argument == "--start-seconds") {
      auto seconds = ParseSeconds(value);
      if (!seconds) return BadCommandLine("--start-seconds takes a whole number from 1 to 3600");
      options.startup_timeout = *seconds;
    } else if (argument == "--upstream") {
      std::string problem;
      auto upstream = service::upstream::ParseUpstreamOption(value, &problem);
      if (!upstream) return BadCommandLine("--upstream: " + problem);
      upstreams.push_back(std::move(*upstream));
    } else {
      options.codes = SplitCodes(value);
    }
  }
  auto address = service::ParseListenAddress(listen);
  if (!address) {
    std::fprintf(stderr, "translation-service: not HOST:PORT: %s\n", listen.c_str());
    return 2;
  }

  // Every thread inherits this mask, so only the sigwait below sees these signals.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop_signals, signal_number);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  try {
    std::string metrics_token;
    if (!guards.metrics_token_file.empty()) {
      metrics_token = service::metrics::ReadTokenFile(guards.metrics_token_file);
    }
    // Bound first: a taken or forbidden address fails before the pipelines' seconds of start-up.
    service::UniqueFd socket = service::BindSocket(*address);
    int port = service::BoundPort(socket.get());
    auto apertium = std::make_unique<service::ApertiumEngine>(options);
    const service::ApertiumEngine* local = apertium.get();  // owned by the router below
    if (apertium->Pairs().empty() && upstreams.empty()) {
      service::LogLine("no language pair can be served from " + options.modes_dir);
      return 1;
    }
    // In priority order: for each code, the first engine that offers it serves it. An upstream
    // that is down now offers its codes once it answers.
    std::vector<std::unique_ptr<service::Engine>> engines;
    engines.push_back(std::move(apertium));
    for (const auto& upstream : upstreams) {
      engines.push_back(service::upstream::MakeUpstreamEngine(upstream));
    }
    service::Router router(std::move(engines), options.codes);
    std::unique_ptr<service::cache::SharedState> shared;
    if (cache_options.shared) {
      shared = std::make_unique<service::cache::SharedState>(*cache_options.shared);
    }
    service::cache::TranslationCache cache(cache_options.mib << 20, shared.get(),
                                           cache_options.ttl);
    // Several instances count each client's requests together in the shared state; alone, or
    // while it does not answer, each counts its own.
    service::limits::ClientLimits limits(
        guards.limits,
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
    if (detect) {
      detector = std::make_unique<service::detect::LanguageDetector>();
      std::string analysed;
      for (const auto& language : detector->AnalysedLanguages()) analysed += " " + language;
      service::LogLine("language detection with the word lists of" +
                       (analysed.empty() ? std::string(" no language") : analysed));
    }
    service::HttpOptions http_options{&cache,        detector.get(), &limits, &metrics,
                                      metrics_token, nullptr,        {}};
    service::HttpService http(router, std::move(socket), *address, std::move(http_options));
    if (shared) service::LogLine("sharing state through " + RedisUrl(*cache_options.shared));
    std::vector<service::Route> routes = router.Routes();
    std::string codes;
    for (const auto& route : routes) codes += (codes.empty() ? "" : " ") + route.code;
    std::string host = address->ipv6 ? "[" + address->host + "]" : address->host;
    service::LogLine("ready on http://" + host + ":" + std::to_string(port) + "/ with " +
                     std::to_string(routes.size()) + " pairs: " + codes);
    // Under systemd (Type=notify) the unit counts as started from here; elsewhere a no-op.
    sd_notify(0, "READY=1");
    int received = 0;
    sigwait(&stop_signals, &received);
    sd_notify(0, "STOPPING=1");
    http.Stop();
    service::LogLine("stopped");
  } catch (const std::exception& failure) {
    service::LogLine(failure.what());
    return 1;
  }
  return 0;
}
