// translation-service: answers GET /tr?trtext=TEXT&lp=CODE with the translation of TEXT
// between the markers the plug-in looks for, translating with warm Apertium pipelines and,
// for the codes they do not reach, with the upstream MT servers named on the command line.
#include "service/detect/language_detector.h"
#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/router.h"
#include "service/engine/upstream/upstream_option.h"
#include "service/http/http_config.h"
#include "service/http/http_service.h"
#include "service/http/listen_socket.h"
#include "service/posix/log.h"

#include <pthread.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: translation-service [--listen HOST:PORT] [--modes DIR] [--pairs CODE,CODE...]\n"
    "                           [--upstream KIND=URL[,key-file=PATH]]... [--no-detect]\n"
    "  --listen HOST:PORT  where to listen (default %s; [::1]:PORT for IPv6, port 0: any)\n"
    "  --modes DIR         the Apertium modes to look for pairs in (default %s)\n"
    "  --pairs CODES       offer only these language pairs, e.g. fr_en,en_es (default: all)\n"
    "  --upstream KIND=URL a server that translates the codes Apertium does not reach, tried\n"
    "                      in the order given: libretranslate=URL[,key-file=PATH] (the file\n"
    "                      holds the API key) or apy=URL (Apertium-APy)\n"
    "  --no-detect         no language detection: no codes that name only the target\n"
    "                      (en, auto_en), no /detect\n"
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

int PrintUsage(FILE* stream, int status) {
  std::fprintf(stream, kUsage, service::kDefaultListen, service::kDefaultModesDir);
  return status;
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
  bool detect = true;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") return PrintUsage(stdout, 0);
    if (argument == "--no-detect") {
      detect = false;
      continue;
    }
    if (argument == "--version") {
      std::printf("translation-service %s\n", MIRELSKAN_VERSION);
      return 0;
    }
    if (argument != "--listen" && argument != "--modes" && argument != "--pairs" &&
        argument != "--upstream") {
      return BadCommandLine("unknown option " + argument);
    }
    if (i + 1 >= argc) return BadCommandLine(argument + " needs a value");
    std::string value = argv[++i];
    if (argument == "--listen") {
      listen = value;
    } else if (argument == "--modes") {
      options.modes_dir = value;
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
    // Bound first: a taken or forbidden address fails before the pipelines' seconds of start-up.
    service::UniqueFd socket = service::BindSocket(*address);
    int port = service::BoundPort(socket.get());
    auto apertium = std::make_unique<service::ApertiumEngine>(options);
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
    // Loaded once, before the first request, and shared by all of them.
    std::unique_ptr<service::detect::LanguageDetector> detector;
    if (detect) {
      detector = std::make_unique<service::detect::LanguageDetector>();
      std::string analysed;
      for (const auto& language : detector->AnalysedLanguages()) analysed += " " + language;
      service::LogLine("language detection with the word lists of" +
                       (analysed.empty() ? std::string(" no language") : analysed));
    }
    service::HttpService http(router, std::move(socket), *address, detector.get());
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
