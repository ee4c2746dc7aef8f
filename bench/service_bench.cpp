// The load side of bench/service_bench.py: requests against translation-service, against
// Apertium-APy, or straight to an in-process ApertiumEngine (the bare pipelines, no HTTP).
//   service_bench --service-port N --apy-port N --pairs CODE,CODE...
// Reads one command a line and answers each with one line:
//   run SYSTEM CLIENTS SECONDS CODE[,CODE...]   SYSTEM: service, apy or bare; client i asks
//       for CODE number i modulo their count, one request after another, each on a new
//       connection as the plug-in makes them. Answers
//       "requests=N seconds=S errors=E ms=L,L,..." with every request's latency.
//   simultaneous CLIENTS CODE      that many connect and send at the same moment (service)
//   half-sent IDLE REQUESTS CODE   requests one by one while IDLE clients hold half a request
// Prints "ready" once the bare pipelines have started.
#include "service/engine/apertium/apertium_engine.h"
#include "support/raw_http.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// 136 bytes each, ending with the space the plug-in's chunking leaves there.
const char kEnglish[] =
    "The city council announced on Tuesday that the new bridge across the river will open to "
    "traffic next spring, after two years of delays. ";
const char kSpanish[] =
    "El ayuntamiento dijo el martes que el nuevo puente sobre el rio se abrira al "
    "trafico la proxima primavera, despues de dos anos de obra. ";
const char kFrench[] =
    "Le conseil municipal a dit mardi que le nouveau pont sur la riviere sera ouvert a la "
    "circulation au printemps prochain, apres deux ans. ";
static_assert(sizeof kEnglish - 1 == 136 && sizeof kSpanish - 1 == 136 && sizeof kFrench - 1 == 136,
              "plug-in chunks of 136 bytes");

struct Workload {
  const char* code;
  const char* apy_path;  // the query of APy's own endpoint, before the text
  const char* text;
};

const Workload kWorkloads[] = {
    {"en_es", "/translate?markUnknown=no&langpair=eng%7Cspa&q=", kEnglish},
    {"es_en", "/translate?markUnknown=no&langpair=spa%7Ceng&q=", kSpanish},
    {"fr_es", "/translate?markUnknown=no&langpair=fra%7Cspa&q=", kFrench},
    {"es_it", "/translate?markUnknown=no&langpair=spa%7Cita&q=", kSpanish},
    {"fr_en", "/translateChain?markUnknown=no&langpairs=fra%7Cspa%7Ceng&q=", kFrench},
};

const Workload* FindWorkload(const std::string& code) {
  for (const Workload& workload : kWorkloads) {
    if (code == workload.code) return &workload;
  }
  return nullptr;
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream stream(list);
  for (std::string item; std::getline(stream, item, ',');) {
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

class Systems {
 public:
  Systems(int service_port, int apy_port, std::vector<std::string> codes)
      : service_port_(service_port), apy_port_(apy_port) {
    service::ApertiumOptions options;
    options.codes = std::move(codes);
    translator_ = std::make_unique<service::ApertiumEngine>(options);
  }

  std::string ServiceTarget(const Workload& workload) const {
    return std::string("/tr?trtext=") + raw_http::PercentEncode(workload.text) +
           "&lp=" + workload.code;
  }

  // One request; false when it was not answered with a translation.
  bool Ask(const std::string& system, const Workload& workload) {
    if (system == "bare") {
      const service::LanguagePair* pair = translator_->Find(workload.code);
      return pair && translator_->TranslatePair(*pair, workload.text).ok;
    }
    if (system == "apy") {
      auto result =
          raw_http::Get(apy_port_, workload.apy_path + raw_http::PercentEncode(workload.text));
      return result && result->status == 200 &&
             result->body.find("\"translatedText\"") != std::string::npos;
    }
    auto result = raw_http::Get(service_port_, ServiceTarget(workload));
    return result && result->status == 200 &&
           result->body.find("<div style=padding:10px;>") != std::string::npos;
  }

  int service_port() const { return service_port_; }

 private:
  int service_port_;
  int apy_port_;
  std::unique_ptr<service::ApertiumEngine> translator_;
};

void PrintSamples(long requests, double seconds, long errors, std::vector<double> samples) {
  std::printf("requests=%ld seconds=%.3f errors=%ld ms=", requests, seconds, errors);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    std::printf(i == 0 ? "%.3f" : ",%.3f", samples[i]);
  }
  std::printf("\n");
}

void Run(Systems& systems, const std::string& system, int clients, double seconds,
         const std::vector<const Workload*>& workloads) {
  std::atomic<bool> stop{false};
  std::atomic<long> errors{0};
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
  std::vector<std::thread> threads;
  auto start = Clock::now();
  for (int client = 0; client < clients; ++client) {
    threads.emplace_back([&, client] {
      const Workload& workload = *workloads[static_cast<std::size_t>(client) % workloads.size()];
      while (!stop) {
        auto begin = Clock::now();
        if (!systems.Ask(system, workload)) ++errors;
        latencies[static_cast<std::size_t>(client)].push_back(
            Milliseconds(Clock::now() - begin).count());
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  for (auto& thread : threads) thread.join();
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& own : latencies) all.insert(all.end(), own.begin(), own.end());
  PrintSamples(static_cast<long>(all.size()), elapsed, errors, all);
}

// Every client connects and sends at the same moment; each one's wait for its answer.
void Simultaneous(Systems& systems, int count, const Workload& workload) {
  std::vector<raw_http::Connection> clients;
  for (int i = 0; i < count; ++i) clients.emplace_back(systems.service_port());
  std::string request =
      "GET " + systems.ServiceTarget(workload) + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
  auto start = Clock::now();
  for (auto& client : clients) client.Send(request);
  std::vector<double> waits;
  long errors = 0;
  for (auto& client : clients) {
    auto result = client.Read();
    if (!result || result->status != 200) ++errors;
    waits.push_back(Milliseconds(Clock::now() - start).count());
  }
  PrintSamples(count, Milliseconds(Clock::now() - start).count() / 1000, errors, waits);
}

// Normal requests while `idle` other clients hold connections with half a request sent.
void HalfSent(Systems& systems, int idle, int requests, const Workload& workload) {
  std::vector<raw_http::Connection> stalled;
  for (int i = 0; i < idle; ++i) {
    stalled.emplace_back(systems.service_port());
    stalled.back().Send("GET /tr?trtext=half");
  }
  std::vector<double> waits;
  long errors = 0;
  auto start = Clock::now();
  for (int i = 0; i < requests; ++i) {
    auto begin = Clock::now();
    if (!systems.Ask("service", workload)) ++errors;
    waits.push_back(Milliseconds(Clock::now() - begin).count());
  }
  PrintSamples(requests, Milliseconds(Clock::now() - start).count() / 1000, errors, waits);
}

int Serve(Systems& systems) {
  std::printf("ready\n");
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "run") {
      std::string system, codes;
      int clients = 0;
      double seconds = 0;
      words >> system >> clients >> seconds >> codes;
      std::vector<const Workload*> workloads;
      for (const std::string& code : Split(codes)) {
        if (const Workload* workload = FindWorkload(code)) workloads.push_back(workload);
      }
      if (clients < 1 || seconds <= 0 || workloads.empty() ||
          (system != "service" && system != "apy" && system != "bare")) {
        std::printf("error: %s\n", line.c_str());
      } else {
        Run(systems, system, clients, seconds, workloads);
      }
    } else if (command == "simultaneous" || command == "half-sent") {
      int first = 0, second = 0;
      std::string code;
      words >> first;
      if (command == "half-sent") words >> second;
      words >> code;
      const Workload* workload = FindWorkload(code);
      if (!workload || first < 1 || (command == "half-sent" && second < 1)) {
        std::printf("error: %s\n", line.c_str());
      } else if (command == "simultaneous") {
        Simultaneous(systems, first, *workload);
      } else {
        HalfSent(systems, first, second, *workload);
      }
    } else {
      std::printf("error: %s\n", line.c_str());
    }
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int service_port = 0;
  int apy_port = 0;
  std::string pairs;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--service-port") {
      service_port = std::stoi(argv[i + 1]);
    } else if (name == "--apy-port") {
      apy_port = std::stoi(argv[i + 1]);
    } else if (name == "--pairs") {
      pairs = argv[i + 1];
    }
  }
  if (argc % 2 == 0 || service_port <= 0 || apy_port <= 0 || pairs.empty()) {
    std::fprintf(stderr, "usage: service_bench --service-port N --apy-port N --pairs CODES\n");
    return 2;
  }
  Systems systems(service_port, apy_port, Split(pairs));
  return Serve(systems);
}
