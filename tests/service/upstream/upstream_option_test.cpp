#include "service/engine/upstream/upstream_option.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

using service::upstream::MakeUpstreamEngine;
using service::upstream::ParseUpstreamOption;
using service::upstream::UpstreamOption;

// Files the cases name by these paths.
constexpr char kKeyFile[] = "/tmp/upstream-option-test-key";
constexpr char kEmptyKeyFile[] = "/tmp/upstream-option-test-empty-key";

class UpstreamOptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // As systemd hands a unit its credentials: the key files are in /tmp.
    setenv("CREDENTIALS_DIRECTORY", "/tmp", 1);
    std::ofstream(kKeyFile) << "  s3cret-4711\n";
    std::ofstream(kEmptyKeyFile) << " \n";
  }
  void TearDown() override {
    unsetenv("CREDENTIALS_DIRECTORY");
    std::remove(kKeyFile);
    std::remove(kEmptyKeyFile);
  }
};

TEST_F(UpstreamOptionTest, ReadsKindUrlAndKey) {
  struct Case {
    const char* value;
    UpstreamOption::Kind kind;
    const char* url;
    const char* key_file;
    const char* api_key;
    bool first;
  };
  static const Case kCases[] = {
      {"libretranslate=http://127.0.0.1:5000", UpstreamOption::Kind::kLibreTranslate,
       "http://127.0.0.1:5000", "", "", false},
      {"libretranslate=https://lt.example/mt/,key-file=/tmp/upstream-option-test-key",
       UpstreamOption::Kind::kLibreTranslate, "https://lt.example/mt",
       "/tmp/upstream-option-test-key", "s3cret-4711", false},
      {"apy=http://localhost:2737/", UpstreamOption::Kind::kApy, "http://localhost:2737", "", "",
       false},
      {"libretranslate=http://127.0.0.1:5000,key-credential=upstream-option-test-key",
       UpstreamOption::Kind::kLibreTranslate, "http://127.0.0.1:5000",
       "/tmp/upstream-option-test-key", "s3cret-4711", false},
      {"apy=http://localhost:2737,first", UpstreamOption::Kind::kApy, "http://localhost:2737", "",
       "", true},
      {"libretranslate=http://127.0.0.1:5000,first,key-file=/tmp/upstream-option-test-key",
       UpstreamOption::Kind::kLibreTranslate, "http://127.0.0.1:5000",
       "/tmp/upstream-option-test-key", "s3cret-4711", true},
      {"libretranslate=http://127.0.0.1:5000,key-credential=upstream-option-test-key,first",
       UpstreamOption::Kind::kLibreTranslate, "http://127.0.0.1:5000",
       "/tmp/upstream-option-test-key", "s3cret-4711", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.value);
    std::string error;
    std::optional<UpstreamOption> option = ParseUpstreamOption(c.value, &error);
    ASSERT_TRUE(option) << error;
    EXPECT_EQ(option->kind, c.kind);
    EXPECT_EQ(option->url, c.url);
    EXPECT_EQ(option->key_file, c.key_file);
    EXPECT_EQ(option->api_key, c.api_key);
    EXPECT_EQ(option->first, c.first);
  }
}

TEST_F(UpstreamOptionTest, SaysWhatIsWrong) {
  struct Case {
    const char* value;
    const char* error;
  };
  static const Case kCases[] = {
      {"",
       "--upstream takes libretranslate=URL[,key-file=PATH|,key-credential=NAME][,first] or "
       "apy=URL[,first], not "
       "\"\""},
      {"http://127.0.0.1:5000",
       "--upstream takes libretranslate=URL[,key-file=PATH|,key-credential=NAME][,first] or "
       "apy=URL[,first], not "
       "\"http://127.0.0.1:5000\""},
      {"deepl=http://127.0.0.1:5000",
       "--upstream: unknown kind \"deepl\" (--upstream takes "
       "libretranslate=URL[,key-file=PATH|,key-credential=NAME][,first] or apy=URL[,first])"},
      {"libretranslate=", "--upstream libretranslate= needs a URL starting http:// or https://"},
      {"apy=ftp://127.0.0.1", "--upstream apy= needs a URL starting http:// or https://"},
      {"apy=http://", "--upstream apy= has no usable URL"},
      {"apy=http://127.0.0.1:2737,key-file=/tmp/upstream-option-test-key",
       "--upstream apy=URL takes only first after the URL"},
      {"apy=http://127.0.0.1:2737,first,first", "--upstream: first is given twice"},
      {"libretranslate=http://127.0.0.1:5000,key-file=/tmp/upstream-option-test-key,"
       "key-credential=upstream-option-test-key",
       "--upstream libretranslate=URL: one key-file= or key-credential= only"},
      {"libretranslate=http://127.0.0.1:5000,key=s3cret-4711",
       "--upstream libretranslate=URL: unknown setting \"key=s3cret-4711\" (only key-file=PATH, "
       "key-credential=NAME or first)"},
      {"libretranslate=http://127.0.0.1:5000,key-file=", "--upstream: key-file= needs a path"},
      {"libretranslate=http://127.0.0.1:5000,key-file=/nonexistent/key",
       "--upstream: cannot read key-file=/nonexistent/key (No such file or directory)"},
      {"libretranslate=http://127.0.0.1:5000,key-file=/tmp",
       "--upstream: cannot read key-file=/tmp (Is a directory)"},
      {"libretranslate=http://127.0.0.1:5000,key-file=/tmp/upstream-option-test-empty-key",
       "--upstream: key-file=/tmp/upstream-option-test-empty-key holds no key"},
      {"libretranslate=http://127.0.0.1:5000,key-credential=",
       "--upstream: key-credential= needs a credential name without /"},
      {"libretranslate=http://127.0.0.1:5000,key-credential=../etc/shadow",
       "--upstream: key-credential= needs a credential name without /"},
      {"libretranslate=http://127.0.0.1:5000,key-credential=absent-key",
       "--upstream: cannot read key-file=/tmp/absent-key (No such file or directory)"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.value);
    std::string error;
    EXPECT_FALSE(ParseUpstreamOption(c.value, &error));
    EXPECT_EQ(error, c.error);
  }
}

// Outside a unit that loads credentials there is no directory to find the key in.
TEST_F(UpstreamOptionTest, CredentialNeedsTheUnitsDirectory) {
  unsetenv("CREDENTIALS_DIRECTORY");
  std::string error;
  EXPECT_FALSE(
      ParseUpstreamOption("libretranslate=http://127.0.0.1:5000,key-credential=lt", &error));
  EXPECT_EQ(error,
            "--upstream: key-credential=lt needs $CREDENTIALS_DIRECTORY: give the unit "
            "LoadCredential=lt:PATH");
}

TEST_F(UpstreamOptionTest, MakesTheEngineOfTheKindNamed) {
  struct Case {
    const char* value;
    const char* name;
  };
  // Port 1 of loopback refuses: the engines start all the same.
  static const Case kCases[] = {
      {"libretranslate=http://127.0.0.1:1", "libretranslate http://127.0.0.1:1"},
      {"apy=http://127.0.0.1:1", "apy http://127.0.0.1:1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.value);
    std::string error;
    std::optional<UpstreamOption> option = ParseUpstreamOption(c.value, &error);
    ASSERT_TRUE(option) << error;
    std::unique_ptr<service::Engine> engine = MakeUpstreamEngine(*option);
    EXPECT_EQ(engine->Name(), c.name);
    EXPECT_TRUE(engine->Offers().empty());
  }
}

}  // namespace
