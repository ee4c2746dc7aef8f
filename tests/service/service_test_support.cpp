#include "service_test_support.h"

#include "service/child_process.h"
#include "service/pages.h"

#include <poll.h>

#include <chrono>

namespace service_test {

RunningService::RunningService(service::TranslatorOptions options)
    : translator_(std::move(options)), http_(translator_) {
  port_ = http_.Bind(service::ListenAddress{"127.0.0.1", 0, false});
  thread_ = std::thread([this] { http_.Run(); });
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!http_.Running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

RunningService::~RunningService() {
  http_.Stop();
  thread_.join();
}

service::TranslatorOptions ServiceTest::Options() const {
  service::TranslatorOptions options;
  options.codes = {"en_es", "es_en", "fr_en", "fr_es"};
  return options;
}

void ServiceTest::SetUp() {
  service_ = std::make_unique<RunningService>(Options());
  ASSERT_FALSE(service_->translator().Pairs().empty()) << "no pipeline started";
}

void ServiceTest::TearDown() { service_.reset(); }

httplib::Result ServiceTest::Get(const std::string& target) const {
  httplib::Client client("127.0.0.1", service_->port());
  client.set_url_encode(false);
  client.set_read_timeout(60, 0);
  return client.Get(target.c_str());
}

std::optional<std::string> ServiceTest::Translate(const std::string& encoded_text,
                                                  const std::string& code) const {
  auto result = Get("/tr?trtext=" + encoded_text + "&lp=" + code);
  if (!result) {
    ADD_FAILURE() << "no answer: " << httplib::to_string(result.error());
    return std::nullopt;
  }
  return CutTranslation(result->body);
}

std::optional<std::string> CutTranslation(const std::string& page) {
  std::size_t start = page.find(service::kTranslationStartMarker);
  if (start == std::string::npos) return std::nullopt;
  start += service::kTranslationStartMarker.size();
  std::size_t end = page.find(service::kTranslationEndMarker, start);
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string Encode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) && byte < 0x80) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
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
