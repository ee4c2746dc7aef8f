#include "service_test_support.h"

#include "service/http/listen_socket.h"
#include "service/http/pages.h"
#include "service/posix/child_process.h"
#include "translation/fetch_translation.h"

#include <poll.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace service_test {

RunningService::RunningService(std::vector<std::unique_ptr<service::Engine>> engines,
                               const service::detect::LanguageDetector* detector)
    : router_(std::move(engines)) {
  service::ListenAddress address{"127.0.0.1", 0, false};
  service::UniqueFd socket = service::BindSocket(address);
  port_ = service::BoundPort(socket.get());
  http_ = std::make_unique<service::HttpService>(router_, std::move(socket), address, detector);
}

RunningService::~RunningService() { http_.reset(); }

std::vector<std::unique_ptr<service::Engine>> ServiceTest::Engines() {
  auto apertium = std::make_unique<service::ApertiumEngine>(Options());
  apertium_ = apertium.get();
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::move(apertium));
  return engines;
}

service::ApertiumOptions ServiceTest::Options() const {
  service::ApertiumOptions options;
  options.codes = {"en_es", "es_en", "fr_en", "fr_es"};
  return options;
}

void ServiceTest::SetUp() {
  service_ = std::make_unique<RunningService>(Engines());
  ASSERT_FALSE(service_->router().Routes().empty()) << "no engine offers anything";
}

void ServiceTest::TearDown() { service_.reset(); }

namespace {

const char kStage[] = R"(#!/usr/bin/perl
if (grep { $_ eq '--help' || $_ eq '-h' } @ARGV) {
  print "USAGE: stage [-z]\n  -z  flush output on the null character\n";
  exit 0;
}
exit 3 unless grep { $_ eq '-z' } @ARGV;
$/ = "\0";
$| = 1;
while (my $request = <STDIN>) {
  sleep 3600 if $request =~ /HANG/;
  exit 1 if $request =~ /DIE/;
  print $request;
  print $request if $request =~ /TWICE/;
}
)";

}  // namespace

void FakeModesTest::SetUp() {
  char pattern[] = "/tmp/mirelskan-modes-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  directory_ = pattern;
  std::string stage = directory_ + "/stage";
  std::ofstream(stage) << kStage;
  ASSERT_EQ(::chmod(stage.c_str(), 0755), 0);
  // cat takes no -z: the service must find that out rather than add it.
  std::ofstream(directory_ + "/en-es.mode") << "'" << stage << "' | cat\n";
  std::ofstream(directory_ + "/es-fr.mode") << stage << " -n $2\n";
  std::ofstream(directory_ + "/es-fr_variant.mode") << "false\n";
  ServiceTest::SetUp();
}

void FakeModesTest::TearDown() {
  ServiceTest::TearDown();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

service::ApertiumOptions FakeModesTest::Options() const {
  service::ApertiumOptions options;
  options.modes_dir = directory_;
  options.exchange_timeout = std::chrono::milliseconds(500);
  // The stand-in starts in milliseconds; this keeps the bound a hung pipeline costs short.
  options.startup_timeout = std::chrono::milliseconds(5000);
  return options;
}

std::vector<std::unique_ptr<service::Engine>> MemoryEngineTest::Engines() {
  auto memory = std::make_unique<MemoryEngine>(
      "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"},
                                            {"en_fr", "English to French"},
                                            {"es_fr", "Spanish to French"}});
  auto backup = std::make_unique<MemoryEngine>(
      "backup", std::vector<service::Offer>{{"de_en", "German to English"},
                                            {"en_fr", "English to French, again"},
                                            {"eo_en", "Esperanto to English"}});
  memory_ = memory.get();
  backup_ = backup.get();
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::move(memory));
  engines.push_back(std::move(backup));
  return engines;
}

std::optional<raw_http::Response> ServiceTest::Get(const std::string& target) const {
  return raw_http::Get(service_->port(), target);
}

std::optional<std::string> ServiceTest::Translate(const std::string& encoded_text,
                                                  const std::string& code) const {
  auto result = Get("/tr?trtext=" + encoded_text + "&lp=" + code);
  if (!result) {
    ADD_FAILURE() << "no answer to " << encoded_text.substr(0, 80);
    return std::nullopt;
  }
  return CutTranslation(result->body);
}

std::optional<std::string> CutTranslation(const std::string& page) {
  std::string translation;
  if (!ExtractTranslation(page, translation)) return std::nullopt;
  return translation;
}

bool WaitUntilReady(int port, std::chrono::milliseconds bound) {
  auto give_up = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < give_up) {
    auto answer = raw_http::Get(port, "/health");
    if (answer && (answer->status == 200 || answer->status == 503)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

int FreePort() {
  service::ListenAddress any{"127.0.0.1", 0, false};
  service::UniqueFd socket = service::BindSocket(any);
  return service::BoundPort(socket.get());
}

std::string RunFilter(const std::vector<std::string>& argv, const std::string& input) {
  service::Pipe to_child = service::MakePipe();
  service::Pipe from_child = service::MakePipe();
  auto child = service::ChildProcess::Spawn(argv, to_child.read.get(), from_child.write.get(), 2);
  to_child.read.reset();
  from_child.write.reset();
  // Small inputs only: the pipe holds them whole, so writing first cannot block.
  EXPECT_EQ(::write(to_child.write.get(), input.data(), input.size()),
            static_cast<ssize_t>(input.size()));
  to_child.write.reset();
  std::string output;
  char buffer[4096];
  ssize_t count;
  while ((count = ::read(from_child.read.get(), buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<std::size_t>(count));
  }
  return output;
}

}  // namespace service_test
