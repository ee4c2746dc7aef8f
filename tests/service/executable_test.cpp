// The translation-service program as started from the command line.
#include "service_test_support.h"

#include "service/http/listen_socket.h"
#include "service/posix/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <iterator>
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

// Standard output and error both go to `errors`.
service::ChildProcess StartProgram(const std::vector<std::string>& argv, service::Pipe& errors) {
  service::UniqueFd nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
  auto program =
      service::ChildProcess::Spawn(argv, nothing.get(), errors.write.get(), errors.write.get());
  errors.write.reset();
  return program;
}

TEST(Executable, ServesLogsOneLinePerRequestWithoutTheTextAndStopsOnSigterm) {
  service::Pipe errors = service::MakePipe();
  int port = FreePort();
  auto program = StartProgram({TRANSLATION_SERVICE_BINARY, "--listen",
                               "127.0.0.1:" + std::to_string(port), "--pairs", "en_es"},
                              errors);
  std::string log;
  ASSERT_TRUE(WaitUntilReady(port));
  auto health = raw_http::Get(port, "/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_NE(health->body.find(R"({"codes":["en_es"],"down_since":null,"name":"apertium",)"
                              R"("ready":true,"reason":null})"),
            std::string::npos)
      << health->body;

  auto result = raw_http::Get(port, "/tr?trtext=Sesquipedalian%20dog&lp=en_es");
  ASSERT_TRUE(result);
  EXPECT_TRUE(CutTranslation(result->body).has_value()) << result->body;
  auto logged = WaitForLine(errors.read.get(), log,
                            std::regex(R"(GET /tr length=(\d+) lp=en_es status=200 ms=[0-9.]+$)"));
  ASSERT_FALSE(logged.empty()) << log;
  EXPECT_EQ(logged[1], "40");

  ASSERT_EQ(::kill(program.pid(), SIGTERM), 0);
  ReadToEnd(errors.read.get(), log);
  EXPECT_NE(log.find("ready on http://127.0.0.1:" + std::to_string(port) + "/ with 1 pairs: en_es"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("stopped"), std::string::npos) << log;
  EXPECT_EQ(log.find("Sesquipedalian"), std::string::npos) << log;
  int status = program.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(Executable, LimitsAndGuardsItsMetricsAsItsOptionsSay) {
  char token_file[] = "/tmp/mirelskan-token-XXXXXX";
  service::UniqueFd token(::mkstemp(token_file));
  ASSERT_TRUE(token);
  const std::string kToken = "t0ken-of-the-operator";
  ASSERT_EQ(::write(token.get(), (kToken + "\n").data(), kToken.size() + 1),
            static_cast<ssize_t>(kToken.size() + 1));
  service::Pipe errors = service::MakePipe();
  int port = FreePort();
  auto program = StartProgram(
      {TRANSLATION_SERVICE_BINARY, "--listen", "127.0.0.1:" + std::to_string(port), "--pairs",
       "en_es", "--rate-limit", "1", "--char-limit", "5", "--metrics-token-file", token_file},
      errors);
  ASSERT_TRUE(WaitUntilReady(port));
  auto too_long = raw_http::Get(port, "/tr?trtext=Hello%21&lp=en_es");
  ASSERT_TRUE(too_long);
  EXPECT_EQ(too_long->status, 400);
  // One a minute, and the text too long counted: of the next two, at least one is refused even
  // if a minute begins between them.
  int refused = 0;
  for (int i = 0; i < 2; ++i) {
    auto answer = raw_http::Get(port, "/tr?trtext=Hello&lp=en_es");
    ASSERT_TRUE(answer);
    refused += answer->status == 429;
  }
  EXPECT_GE(refused, 1);
  auto unauthorized = raw_http::Get(port, "/metrics");
  ASSERT_TRUE(unauthorized);
  EXPECT_EQ(unauthorized->status, 401);
  auto metrics = raw_http::Get(port, "/metrics", "Authorization: Bearer " + kToken + "\r\n");
  ASSERT_TRUE(metrics);
  EXPECT_EQ(metrics->status, 200);
  for (const char* line :
       {"\nmirelskan_pipelines_running 1\n", "\nmirelskan_engine_up{engine=\"apertium\"} 1\n",
        "\nmirelskan_http_requests_total{route=\"/tr\",status=\"400\"} 1\n"}) {
    EXPECT_NE(metrics->body.find(line), std::string::npos) << line << metrics->body;
  }
  ASSERT_EQ(::kill(program.pid(), SIGTERM), 0);
  std::string log;
  ReadToEnd(errors.read.get(), log);
  EXPECT_EQ(log.find(kToken), std::string::npos) << log;
  program.Stop();
  ::unlink(token_file);
}

TEST(Executable, ReadsItsApiKeysAgainOnSighupAndLogsNone) {
  char keys_file[] = "/tmp/mirelskan-keys-XXXXXX";
  service::UniqueFd keys(::mkstemp(keys_file));
  ASSERT_TRUE(keys);
  ASSERT_EQ(::write(keys.get(), "old-key\n", 8), 8);
  service::Pipe errors = service::MakePipe();
  int port = FreePort();
  auto program =
      StartProgram({TRANSLATION_SERVICE_BINARY, "--listen", "127.0.0.1:" + std::to_string(port),
                    "--pairs", "en_es", "--api-keys-file", keys_file, "--require-api-key"},
                   errors);
  ASSERT_TRUE(WaitUntilReady(port));
  auto status_with = [port](const std::string& key) {
    auto answer = raw_http::Get(port, "/translate?langpair=en|es&q=dog&key=" + key);
    return answer ? answer->status : 0;
  };
  EXPECT_EQ(status_with("old-key"), 200);
  EXPECT_EQ(status_with("new-key"), 403);
  ASSERT_EQ(::pwrite(keys.get(), "new-key\n", 8, 0), 8);
  ASSERT_EQ(::kill(program.pid(), SIGHUP), 0);
  std::string log;
  ASSERT_FALSE(
      WaitForLine(errors.read.get(), log, std::regex("API keys read again: 1 from")).empty())
      << log;
  EXPECT_EQ(status_with("new-key"), 200);
  EXPECT_EQ(status_with("old-key"), 403);
  // The keys file broken: the keys in force stay.
  ASSERT_EQ(::pwrite(keys.get(), "new-key x\n", 10, 0), 10);
  ASSERT_EQ(::kill(program.pid(), SIGHUP), 0);
  ASSERT_FALSE(WaitForLine(errors.read.get(), log, std::regex("the keys in force stay")).empty())
      << log;
  EXPECT_EQ(status_with("new-key"), 200);
  ASSERT_EQ(::kill(program.pid(), SIGTERM), 0);
  ReadToEnd(errors.read.get(), log);
  EXPECT_EQ(log.find("old-key"), std::string::npos) << log;
  EXPECT_EQ(log.find("new-key"), std::string::npos) << log;
  int status = program.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::unlink(keys_file);
}

// Refused at the start by its line; read again on SIGHUP, a broken edit leaving the last in force.
TEST(Executable, ReadsItsCorrectionsAgainOnSighup) {
  char path[] = "/tmp/mirelskan-corrections-XXXXXX";
  service::UniqueFd file(::mkstemp(path));
  ASSERT_TRUE(file);
  auto rewrite = [&file](const std::string& text) {
    return ::ftruncate(file.get(), 0) == 0 &&
           ::pwrite(file.get(), text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
  };
  ASSERT_TRUE(rewrite("en_es\tdog\n"));
  int port = FreePort();
  std::vector<std::string> argv = {TRANSLATION_SERVICE_BINARY,
                                   "--listen",
                                   "127.0.0.1:" + std::to_string(port),
                                   "--pairs",
                                   "en_es",
                                   "--corrections",
                                   path,
                                   "--suggestions"};
  service::Pipe refused_errors = service::MakePipe();
  auto refused = StartProgram(argv, refused_errors);
  std::string log;
  ReadToEnd(refused_errors.read.get(), log);
  EXPECT_NE(log.find(std::string("the corrections file ") + path +
                     ", line 1: needs CODE, LINE and TRANSLATION, tab-separated"),
            std::string::npos)
      << log;
  int status = refused.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;

  ASSERT_TRUE(rewrite("en_es\tdog\tone\n"));
  service::Pipe errors = service::MakePipe();
  auto program = StartProgram(argv, errors);
  ASSERT_TRUE(WaitUntilReady(port));
  auto answer = [port] {
    auto page = raw_http::Get(port, "/tr?trtext=Dog!&lp=en_es");
    return page ? CutTranslation(page->body).value_or("") : "";
  };
  EXPECT_EQ(answer(), "one!");
  // A suggestion is kept beside the file, and not answered.
  raw_http::Connection connection(port);
  std::string suggestion = R"({"q":"Dog","s":"perro","source":"en","target":"es"})";
  ASSERT_TRUE(
      connection.Send("POST /suggest HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                      "application/json\r\nContent-Length: " +
                      std::to_string(suggestion.size()) + "\r\n\r\n" + suggestion));
  auto suggested = connection.Read();
  ASSERT_TRUE(suggested);
  EXPECT_EQ(suggested->body, "{\"success\":true}\n");
  std::ifstream pending(std::string(path) + ".pending");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(pending), {}), "en_es\tDog\tperro\n");
  ASSERT_TRUE(rewrite("en_es\tdog\ttwo\n"));
  ASSERT_EQ(::kill(program.pid(), SIGHUP), 0);
  log.clear();
  ASSERT_FALSE(
      WaitForLine(errors.read.get(), log, std::regex("corrections read again: 1 from")).empty())
      << log;
  EXPECT_EQ(answer(), "two!");
  ASSERT_TRUE(rewrite("en_es\tdog\n"));
  ASSERT_EQ(::kill(program.pid(), SIGHUP), 0);
  ASSERT_FALSE(
      WaitForLine(errors.read.get(), log, std::regex("the corrections in force stay")).empty())
      << log;
  EXPECT_EQ(answer(), "two!");
  ASSERT_EQ(::kill(program.pid(), SIGTERM), 0);
  ReadToEnd(errors.read.get(), log);
  status = program.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::unlink((std::string(path) + ".pending").c_str());
  ::unlink(path);
}

// The operator's commands on the pending suggestions, one after the other on the same files.
TEST(Executable, ListsAndAcceptsThePendingSuggestions) {
  char path[] = "/tmp/mirelskan-corrections-XXXXXX";
  service::UniqueFd corrections(::mkstemp(path));
  ASSERT_TRUE(corrections);
  std::string pending = std::string(path) + ".pending";
  std::ofstream(pending) << "en_es\tHi\tHola\nen_es\tBye\tAdi\xc3\xb3s\n";
  struct Step {
    std::vector<std::string> command;
    int status;
    const char* says;
    const char* corrections;  // the file's content afterwards
  };
  const Step kSteps[] = {
      {{"--list-suggestions"}, 0, "1\ten_es\tHi\tHola\n2\ten_es\tBye\tAdi\xc3\xb3s\n", ""},
      {{"--accept-suggestion", "2"},
       0,
       "(systemctl reload, or SIGHUP, answers it)",
       "en_es\tBye\tAdi\xc3\xb3s\n"},
      {{"--list-suggestions"}, 0, "1\ten_es\tHi\tHola\n", "en_es\tBye\tAdi\xc3\xb3s\n"},
      {{"--accept-suggestion", "2"},
       1,
       "translation-service: no pending suggestion 2 (1 pending)\n",
       "en_es\tBye\tAdi\xc3\xb3s\n"},
  };
  for (const Step& step : kSteps) {
    SCOPED_TRACE(step.command[0] + " " + std::to_string(&step - kSteps));
    std::vector<std::string> argv = {TRANSLATION_SERVICE_BINARY, "--corrections", path};
    argv.insert(argv.end(), step.command.begin(), step.command.end());
    service::Pipe output = service::MakePipe();
    auto program = StartProgram(argv, output);
    std::string said;
    ReadToEnd(output.read.get(), said);
    int status = program.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == step.status) << status << said;
    EXPECT_NE(said.find(step.says), std::string::npos) << said;
    std::ifstream file(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), step.corrections);
  }
  ::unlink(pending.c_str());
  ::unlink(path);
}

TEST(Executable, TellsSystemdItIsReadyOnceItServes) {
  char directory[] = "/tmp/mirelskan-notify-XXXXXX";
  ASSERT_NE(::mkdtemp(directory), nullptr);
  std::string path = std::string(directory) + "/notify";
  service::UniqueFd notify(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(notify.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int port = FreePort();
  service::Pipe errors = service::MakePipe();
  auto program = StartProgram({"/usr/bin/env", "NOTIFY_SOCKET=" + path, TRANSLATION_SERVICE_BINARY,
                               "--listen", "127.0.0.1:" + std::to_string(port), "--pairs", "en_es"},
                              errors);
  pollfd entry{notify.get(), POLLIN, 0};
  ASSERT_EQ(::poll(&entry, 1, 120000), 1);
  char message[256] = {};
  ASSERT_GT(::recv(notify.get(), message, sizeof message - 1, 0), 0);
  EXPECT_STREQ(message, "READY=1");
  // Ready means serving: the first request after the message is answered.
  auto health = raw_http::Get(port, "/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  program.Stop();
  ::unlink(path.c_str());
  ::rmdir(directory);
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
  EXPECT_NE(log.find("cannot listen on " + address + ": Address already in use"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("no language pair"), std::string::npos) << log;
}

TEST(Executable, AnswersItsCommandLineInOneClearMessage) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::vector<const char*> says;
  };
  // Without Apertium's programs on PATH, as on a machine where it is not installed.
  const std::vector<std::string> no_apertium = {
      "/usr/bin/env", "PATH=/nonexistent", TRANSLATION_SERVICE_BINARY, "--listen", "127.0.0.1:0"};
  const Case kCases[] = {
      {"help", {TRANSLATION_SERVICE_BINARY, "--help"}, 0, {"usage:", "--pairs", "--version"}},
      {"version", {TRANSLATION_SERVICE_BINARY, "--version"}, 0, {"translation-service 1.0.0\n"}},
      {"unknown option",
       {TRANSLATION_SERVICE_BINARY, "--nonsense"},
       2,
       {"unknown option --nonsense"}},
      {"missing value", {TRANSLATION_SERVICE_BINARY, "--listen"}, 2, {"--listen: needs a value"}},
      {"bad address", {TRANSLATION_SERVICE_BINARY, "--listen", "no-port"}, 2, {"no-port"}},
      {"rate limit not a number",
       {TRANSLATION_SERVICE_BINARY, "--rate-limit", "ten"},
       2,
       {"--rate-limit: needs a whole number from 0 to 1000000000, not ten"}},
      {"negative character limit",
       {TRANSLATION_SERVICE_BINARY, "--char-limit", "-5"},
       2,
       {"--char-limit: needs a whole number from 0 to 1000000000, not -5"}},
      {"proxy by name",
       {TRANSLATION_SERVICE_BINARY, "--trust-proxy", "127.0.0.1,proxy.example"},
       2,
       {"--trust-proxy: not a numeric IPv4 or IPv6 address: proxy.example"}},
      {"no token file",
       {TRANSLATION_SERVICE_BINARY, "--listen", "127.0.0.1:0", "--metrics-token-file",
        "/nonexistent/token"},
       1,
       {"cannot read the metrics token file /nonexistent/token"}},
      {"no modes",
       {TRANSLATION_SERVICE_BINARY, "--listen", "127.0.0.1:0", "--modes", "/nonexistent"},
       1,
       {"no Apertium modes in /nonexistent", "Debian package apertium"}},
      {"Apertium not installed",
       no_apertium,
       1,
       {"program lt-proc is not installed (Debian package lttoolbox); skipped: eng-spa"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    service::Pipe errors = service::MakePipe();
    auto program = StartProgram(c.arguments, errors);
    std::string log;
    ReadToEnd(errors.read.get(), log);
    int status = program.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status << ": " << log;
    for (const char* text : c.says) EXPECT_NE(log.find(text), std::string::npos) << log;
    if (c.status == 2) {
      // The mistake alone, in a line that names the option, without the usage around it.
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
    if (c.status == 1) {
      // One line for what is missing, one for the outcome.
      EXPECT_LE(std::count(log.begin(), log.end(), '\n'), 2) << log;
    }
  }
}

}  // namespace
}  // namespace service_test
