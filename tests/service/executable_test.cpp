// The translation-service program as started from the command line.
#include "service_test_support.h"

#include "service/child_process.h"
#include "service/listen_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <regex>

namespace service_test {
namespace {

// Reads the program's standard error until `pattern` matches a line or it ends; the
// matched groups, or nothing.
std::vector<std::string> WaitForLine(int fd, std::string& log, const std::regex& pattern) {
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::smatch match;
  for (std::size_t scanned = 0;;) {
    for (std::size_t end; (end = log.find('\n', scanned)) != std::string::npos; scanned = end + 1) {
      std::string line = log.substr(scanned, end - scanned);
      if (std::regex_search(line, match, pattern)) return {match.begin(), match.end()};
    }
    pollfd entry{fd, POLLIN, 0};
    if (std::chrono::steady_clock::now() > give_up || ::poll(&entry, 1, 1000) < 0) return {};
    char buffer[4096];
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count == 0) return {};
    if (count > 0) log.append(buffer, static_cast<std::size_t>(count));
  }
}

void ReadToEnd(int fd, std::string& log) { WaitForLine(fd, log, std::regex("(?!)")); }

service::ChildProcess StartProgram(const std::vector<std::string>& argv, service::Pipe& errors) {
  service::UniqueFd nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
  auto program =
      service::ChildProcess::Spawn(argv, nothing.get(), nothing.get(), errors.write.get());
  errors.write.reset();
  return program;
}

TEST(Executable, ServesLogsOneLinePerRequestWithoutTheTextAndStopsOnSigterm) {
  service::Pipe errors = service::MakePipe();
  auto program = StartProgram(
      {TRANSLATION_SERVICE_BINARY, "--listen", "127.0.0.1:0", "--pairs", "en_es"}, errors);
  std::string log;
  auto ready =
      WaitForLine(errors.read.get(), log, std::regex(R"(ready on http://127\.0\.0\.1:(\d+)/)"));
  ASSERT_FALSE(ready.empty()) << log;

  auto result = raw_http::Get(std::stoi(ready[1]), "/tr?trtext=Sesquipedalian%20dog&lp=en_es");
  ASSERT_TRUE(result);
  EXPECT_TRUE(CutTranslation(result->body).has_value()) << result->body;
  auto logged = WaitForLine(errors.read.get(), log,
                            std::regex(R"(GET /tr length=(\d+) lp=en_es status=200 ms=[0-9.]+$)"));
  ASSERT_FALSE(logged.empty()) << log;
  EXPECT_EQ(logged[1], "40");

  ASSERT_EQ(::kill(program.pid(), SIGTERM), 0);
  ReadToEnd(errors.read.get(), log);
  EXPECT_NE(log.find("stopped"), std::string::npos) << log;
  EXPECT_EQ(log.find("Sesquipedalian"), std::string::npos) << log;
  int status = program.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(Executable, ATakenPortFailsBeforeAnyPipelineStarts) {
  service::ListenAddress any{"127.0.0.1", 0, false};
  service::UniqueFd taken = service::BindSocket(any);
  service::StartListening(taken.get(), any);
  std::string address = "127.0.0.1:" + std::to_string(service::BoundPort(taken.get()));
  service::Pipe errors = service::MakePipe();
  // With no modes to start, a service that started its pipelines first would say so instead.
  auto program = StartProgram(
      {TRANSLATION_SERVICE_BINARY, "--listen", address, "--modes", "/nonexistent"}, errors);
  std::string log;
  ReadToEnd(errors.read.get(), log);
  int status = program.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_NE(log.find("cannot listen on " + address + ": Address already in use"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("no language pair"), std::string::npos) << log;
}

TEST(Executable, RefusesABadCommandLine) {
  for (const char* argument : {"--listen", "--nonsense"}) {
    service::Pipe errors = service::MakePipe();
    auto program = StartProgram({TRANSLATION_SERVICE_BINARY, argument, "no-port"}, errors);
    std::string log;
    ReadToEnd(errors.read.get(), log);
    int status = program.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << argument << ": " << log;
  }
}

}  // namespace
}  // namespace service_test
