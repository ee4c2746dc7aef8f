// Latency of one plug-in chunk through the service's warm pipelines against starting
// `apertium` for each request, and throughput with concurrent clients.
#include "service/child_process.h"
#include "service/text_encoding.h"
#include "support/raw_http.h"

#include <fcntl.h>
#include <libgen.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// 136 bytes, ending with the space the plug-in's chunking leaves there.
const char kChunk[] =
    "The city council announced on Tuesday that the new bridge across the river will open to "
    "traffic next spring, after two years of delays. ";
static_assert(sizeof kChunk - 1 == 136, "a plug-in chunk of 136 bytes");

struct Settings {
  std::string service;
  std::string code = "en_es";
  std::string mode = "eng-spa";
  int warm = 300;
  int cold = 40;
  int clients = 4;
  double seconds = 5;
};

std::string Encode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

double Percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(samples.size())));
  return samples[std::max<std::size_t>(rank, 1) - 1];
}

std::string Cut(const std::string& page) {
  const std::string start = "<td bgcolor=white class=s><div style=padding:10px;>";
  std::size_t at = page.find(start);
  if (at == std::string::npos) return "(no translation: " + page.substr(0, 200) + ")";
  at += start.size();
  return page.substr(at, page.find("</div></td>", at) - at);
}

// One request as the plug-in makes it: a connection of its own.
std::string Request(int port, const std::string& target) {
  auto result = raw_http::Get(port, target);
  return result ? Cut(result->body) : "(no answer)";
}

std::string RunApertium(const std::string& mode, const std::string& text) {
  service::Pipe input = service::MakePipe();
  service::Pipe output = service::MakePipe();
  auto program = service::ChildProcess::Spawn({"apertium", "-u", mode}, input.read.get(),
                                              output.write.get(), 2);
  input.read.reset();
  output.write.reset();
  if (::write(input.write.get(), text.data(), text.size()) < 0) return "(write failed)";
  input.write.reset();
  std::string translation;
  char buffer[4096];
  ssize_t count;
  while ((count = ::read(output.read.get(), buffer, sizeof buffer)) > 0) {
    translation.append(buffer, static_cast<std::size_t>(count));
  }
  program.Stop();
  return translation;
}

// Every client connects and sends at the same moment; each one's wait for its answer.
std::vector<double> SimultaneousClients(int port, const std::string& target, int count) {
  std::vector<raw_http::Connection> clients;
  for (int i = 0; i < count; ++i) clients.emplace_back(port);
  std::string request = "GET " + target + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
  auto start = Clock::now();
  for (auto& client : clients) client.Send(request);
  std::vector<double> waits;
  for (auto& client : clients) {
    client.Read();
    waits.push_back(Milliseconds(Clock::now() - start).count());
  }
  return waits;
}

// Normal requests while `idle` other clients hold connections with half a request sent.
std::vector<double> BesideIdleClients(int port, const std::string& target, int idle, int requests) {
  std::vector<raw_http::Connection> stalled;
  for (int i = 0; i < idle; ++i) {
    stalled.emplace_back(port);
    stalled.back().Send("GET /tr?trtext=half");
  }
  std::vector<double> waits;
  for (int i = 0; i < requests; ++i) {
    auto start = Clock::now();
    Request(port, target);
    waits.push_back(Milliseconds(Clock::now() - start).count());
  }
  return waits;
}

void Report(const char* label, const std::vector<double>& samples) {
  std::printf("%-34s %9.1f ms %9.1f ms   (%zu requests)\n", label, Percentile(samples, 0.5),
              Percentile(samples, 0.99), samples.size());
}

int Run(const Settings& settings) {
  service::Pipe errors = service::MakePipe();
  service::UniqueFd nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
  auto service = service::ChildProcess::Spawn(
      {settings.service, "--listen", "127.0.0.1:0", "--pairs", settings.code}, nothing.get(),
      nothing.get(), errors.write.get());
  errors.write.reset();

  // The service logs a line per request: read them all, or it would block once the pipe fills.
  std::string log;
  char buffer[4096];
  std::smatch ready;
  const std::regex ready_line(R"(ready on http://127\.0\.0\.1:(\d+)/)");
  while (!std::regex_search(log, ready, ready_line)) {
    ssize_t count = ::read(errors.read.get(), buffer, sizeof buffer);
    if (count <= 0) {
      std::fprintf(stderr, "the service did not start:\n%s", log.c_str());
      return 1;
    }
    log.append(buffer, static_cast<std::size_t>(count));
  }
  const int port = std::stoi(ready[1]);
  std::thread drain([fd = errors.read.get()] {
    char discard[4096];
    while (::read(fd, discard, sizeof discard) > 0) {
    }
  });

  const std::string chunk = kChunk;
  const std::string target = "/tr?trtext=" + Encode(chunk) + "&lp=" + settings.code;
  std::string warm_translation = Request(port, target);
  std::vector<double> warm;
  for (int i = 0; i < settings.warm; ++i) {
    auto start = Clock::now();
    Request(port, target);
    warm.push_back(Milliseconds(Clock::now() - start).count());
  }

  std::string cold_translation = RunApertium(settings.mode, chunk);
  std::vector<double> cold;
  for (int i = 0; i < settings.cold; ++i) {
    auto start = Clock::now();
    RunApertium(settings.mode, chunk);
    cold.push_back(Milliseconds(Clock::now() - start).count());
  }

  std::vector<double> simultaneous = SimultaneousClients(port, target, 64);
  std::vector<double> beside_idle = BesideIdleClients(port, target, 200, 50);

  std::atomic<bool> stop{false};
  std::atomic<long> answered{0};
  std::vector<std::thread> clients;
  auto start = Clock::now();
  for (int i = 0; i < settings.clients; ++i) {
    clients.emplace_back([&] {
      while (!stop) {
        Request(port, target);
        ++answered;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(settings.seconds));
  stop = true;
  for (auto& client : clients) client.join();
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  ::kill(service.pid(), SIGTERM);
  service.Stop();
  drain.join();

  std::printf("%zu-byte chunk, %s (%s), one connection per request\n", chunk.size(),
              settings.code.c_str(), settings.mode.c_str());
  std::printf("%-34s %12s %12s\n", "", "median", "p99");
  Report("warm pipeline, over HTTP", warm);
  Report(("apertium -u " + settings.mode + " per request").c_str(), cold);
  Report("64 clients at once, each one's wait", simultaneous);
  std::printf("%-34s %9.1f ms\n", "  the slowest of the 64", Percentile(simultaneous, 1.0));
  Report("beside 200 half-sent requests", beside_idle);
  double speedup = Percentile(cold, 0.5) / Percentile(warm, 0.5);
  std::printf("speed-up of the median: %.0fx (target: at least 50x) %s\n", speedup,
              speedup >= 50 ? "met" : "MISSED");
  std::printf("%d concurrent clients: %.0f requests/s (%ld in %.1f s)\n", settings.clients,
              static_cast<double>(answered) / elapsed, answered.load(), elapsed);
  // The service answers plain ASCII in Windows-1252, apertium in UTF-8.
  warm_translation = service::Windows1252ToUtf8(warm_translation);
  auto words = [](std::string text) {
    text.erase(text.find_last_not_of(" \n") + 1);
    return text;
  };
  std::printf("same translation both ways: %s\n",
              words(warm_translation) == words(cold_translation) ? "yes" : "NO");
  if (words(warm_translation) != words(cold_translation)) {
    std::printf("  warm: %s\n  cold: %s\n", warm_translation.c_str(), cold_translation.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  std::string self = argv[0];
  settings.service = std::string(::dirname(self.data())) + "/translation-service";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    std::string value = argv[i + 1];
    if (name == "--service")
      settings.service = value;
    else if (name == "--warm")
      settings.warm = std::stoi(value);
    else if (name == "--cold")
      settings.cold = std::stoi(value);
    else if (name == "--clients")
      settings.clients = std::stoi(value);
    else if (name == "--seconds")
      settings.seconds = std::stod(value);
    else {
      std::fprintf(stderr,
                   "usage: service_bench [--service PATH] [--warm N] [--cold N] [--clients N] "
                   "[--seconds S]\n");
      return 2;
    }
  }
  if (settings.warm < 1 || settings.cold < 1 || settings.clients < 1) return 2;
  return Run(settings);
}
