// The service's command line, read into its settings or refused in one line.
#include "service/command_line/command_line.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

using service::command_line::ParseCommandLine;
using service::command_line::Parsed;
using service::command_line::Settings;

// What a test reads of the settings, in one line: listen, modes, codes, seconds to start;
// upstreams; detection; per minute, characters, whether 127.0.0.1 is a trusted proxy; cache
// MiB, days, shared state; metrics token file; keys file, key required, batch limit.
std::string Show(const Settings& s) {
  std::string codes;
  for (const auto& code : s.apertium.codes) codes += (codes.empty() ? "" : ",") + code;
  std::string upstreams;
  for (const auto& upstream : s.upstreams) {
    upstreams += (upstream.kind == service::upstream::UpstreamOption::Kind::kApy ? "apy " : "lt ") +
                 upstream.url + " ";
  }
  auto text = [](const std::string& value) { return value.empty() ? std::string("-") : value; };
  return service::ShowAddress(s.listen) + " " + s.apertium.modes_dir + " " + text(codes) + " " +
         std::to_string(s.apertium.startup_timeout.count() / 1000) + "s | " + upstreams +
         "| detect " + (s.detect ? "on" : "off") + " | " +
         std::to_string(s.limits.requests_per_minute) + " " +
         std::to_string(s.limits.max_characters) + " " +
         (s.limits.proxies.Contains("127.0.0.1") ? "proxy" : "-") + " | " +
         std::to_string(s.cache.mib) + " " + std::to_string(s.cache.ttl.count() / 24) + " " +
         (s.cache.shared ? s.cache.shared->host : "-") + " | " + text(s.metrics_token_file) +
         " | " + text(s.api.keys_file) + " " + (s.api.require_key ? "required" : "optional") + " " +
         std::to_string(s.api.batch_limit);
}

struct Case {
  const char* name;
  std::vector<std::string> arguments;
  const char* credentials;  // $CREDENTIALS_DIRECTORY, or unset
  int status;
  const char* result;  // Show(settings) for status -1, else the message
};

Parsed Parse(const Case& c) {
  if (c.credentials != nullptr) {
    setenv("CREDENTIALS_DIRECTORY", c.credentials, 1);
  } else {
    unsetenv("CREDENTIALS_DIRECTORY");
  }
  Parsed parsed = ParseCommandLine(c.arguments);
  unsetenv("CREDENTIALS_DIRECTORY");
  return parsed;
}

constexpr const char* kCredentials = "/run/credentials/mirelskan-translation-service.service";

TEST(CommandLine, ReadsEveryOptionIntoTheSettings) {
  static const Case kCases[] = {
      {"nothing: the defaults",
       {},
       nullptr,
       -1,
       "localhost:80 /usr/share/apertium/modes - 30s | | detect on | 0 0 - | 64 7 - | - | - "
       "optional 0"},
      {"where, what and how long",
       {"--listen", "[::1]:8080", "--modes", "/opt/modes", "--pairs", "en_es,,es_en",
        "--start-seconds", "3600", "--no-detect"},
       nullptr,
       -1,
       "[::1]:8080 /opt/modes en_es,es_en 3600s | | detect off | 0 0 - | 64 7 - | - | - optional "
       "0"},
      {"the last of one option counts, = as well as a word",
       {"--listen=127.0.0.1:1", "--listen", "127.0.0.1:2", "--pairs", "en_es", "--pairs=es_en"},
       nullptr,
       -1,
       "127.0.0.1:2 /usr/share/apertium/modes es_en 30s | | detect on | 0 0 - | 64 7 - | - | - "
       "optional 0"},
      {"upstreams in the order given",
       {"--upstream", "apy=http://apy.example:2737/", "--upstream",
        "libretranslate=https://lt.example"},
       nullptr,
       -1,
       "localhost:80 /usr/share/apertium/modes - 30s | apy http://apy.example:2737 lt "
       "https://lt.example | detect on | 0 0 - | 64 7 - | - | - optional 0"},
      {"limits and the cache",
       {"--rate-limit", "1000000000", "--char-limit", "0", "--trust-proxy", "10.0.0.1,127.0.0.1",
        "--cache-mib", "0", "--cache-days", "30", "--shared-state", "redis://cache.lan:6380"},
       nullptr,
       -1,
       "localhost:80 /usr/share/apertium/modes - 30s | | detect on | 1000000000 0 proxy | 0 30 "
       "cache.lan | - | - optional 0"},
      {"files for the token and the keys",
       {"--metrics-token-file", "/etc/token", "--api-keys-file", "/etc/keys", "--require-api-key",
        "--batch-limit", "1000000"},
       nullptr,
       -1,
       "localhost:80 /usr/share/apertium/modes - 30s | | detect on | 0 0 - | 64 7 - | /etc/token "
       "| /etc/keys required 1000000"},
      {"credentials for the token and the keys",
       {"--metrics-token-credential", "metrics.token", "--api-keys-credential", "api.keys"},
       kCredentials,
       -1,
       "localhost:80 /usr/share/apertium/modes - 30s | | detect on | 0 0 - | 64 7 - | "
       "/run/credentials/mirelskan-translation-service.service/metrics.token | "
       "/run/credentials/mirelskan-translation-service.service/api.keys optional 0"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Parsed parsed = Parse(c);
    ASSERT_TRUE(parsed.settings) << parsed.message;
    EXPECT_EQ(parsed.message, "");
    EXPECT_EQ(Show(*parsed.settings), c.result);
  }
}

TEST(CommandLine, AnswersHelpAndVersionAndRefusesAMistakeInOneLine) {
  static const Case kCases[] = {
      {"version", {"--version"}, nullptr, 0, "translation-service 1.0.0\n"},
      {"unknown option",
       {"--pairs", "en_es", "--nonsense", "1"},
       nullptr,
       2,
       "translation-service: unknown option --nonsense\n"},
      {"a word that is no option",
       {"en_es"},
       nullptr,
       2,
       "translation-service: unexpected word en_es\n"},
      {"a word after the end of the options",
       {"--no-detect", "--", "en_es"},
       nullptr,
       2,
       "translation-service: unexpected word en_es\n"},
      {"missing value",
       {"--pairs", "en_es", "--listen"},
       nullptr,
       2,
       "translation-service: --listen: needs a value\n"},
      {"a value for a flag",
       {"--require-api-key=yes"},
       nullptr,
       2,
       "translation-service: --require-api-key: takes no value\n"},
      {"a key required and none to take",
       {"--require-api-key"},
       nullptr,
       2,
       "translation-service: --require-api-key: needs --api-keys-file or --api-keys-credential\n"},
      {"no port",
       {"--listen", "localhost"},
       nullptr,
       2,
       "translation-service: --listen: not HOST:PORT: localhost\n"},
      {"rate limit not a number",
       {"--rate-limit", "x"},
       nullptr,
       2,
       "translation-service: --rate-limit: needs a whole number from 0 to 1000000000, not x\n"},
      {"no seconds to start",
       {"--start-seconds", "0"},
       nullptr,
       2,
       "translation-service: --start-seconds: needs a whole number from 1 to 3600, not 0\n"},
      {"batch too large",
       {"--batch-limit", "1000001"},
       nullptr,
       2,
       "translation-service: --batch-limit: needs a whole number from 0 to 1000000, not 1000001\n"},
      {"a bad value before a good one",
       {"--rate-limit", "+5", "--rate-limit", "5"},
       nullptr,
       2,
       "translation-service: --rate-limit: needs a whole number from 0 to 1000000000, not +5\n"},
      {"cache size",
       {"--cache-mib", "1000000"},
       nullptr,
       2,
       "translation-service: --cache-mib: not a whole number from 0 to 999999: 1000000\n"},
      {"shared state not Redis",
       {"--shared-state", "http://cache.lan"},
       nullptr,
       2,
       "translation-service: --shared-state: not a redis:// URL: http://cache.lan\n"},
      {"upstream without a kind",
       {"--upstream", "http://lt.example"},
       nullptr,
       2,
       "translation-service: --upstream: takes "
       "libretranslate=URL[,key-file=PATH|,key-credential=NAME][,first] or apy=URL[,first], not "
       "\"http://lt.example\"\n"},
      {"proxy by name",
       {"--trust-proxy", "127.0.0.1,proxy.example"},
       nullptr,
       2,
       "translation-service: --trust-proxy: not a numeric IPv4 or IPv6 address: proxy.example\n"},
      {"suggestions without corrections",
       {"--suggestions"},
       nullptr,
       2,
       "translation-service: --suggestions: needs --corrections FILE\n"},
      {"suggestion number 0",
       {"--corrections", "/var/lib/c.tsv", "--accept-suggestion", "0"},
       nullptr,
       2,
       "translation-service: --accept-suggestion: needs a whole number from 1 to 1000000000, not "
       "0\n"},
      {"empty token file",
       {"--metrics-token-file", ""},
       nullptr,
       2,
       "translation-service: --metrics-token-file: needs a path\n"},
      {"keys from a file and a credential",
       {"--api-keys-file", "/etc/keys", "--api-keys-credential", "api.keys"},
       kCredentials,
       2,
       "translation-service: --api-keys-file excludes --api-keys-credential\n"},
      {"credential outside the unit",
       {"--api-keys-credential", "api.keys"},
       nullptr,
       2,
       "translation-service: --api-keys-credential: needs $CREDENTIALS_DIRECTORY: give the unit "
       "LoadCredential=api.keys:PATH\n"},
      {"credential with a path",
       {"--metrics-token-credential", "../token"},
       kCredentials,
       2,
       "translation-service: --metrics-token-credential: needs a credential name without /\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Parsed parsed = Parse(c);
    EXPECT_FALSE(parsed.settings);
    EXPECT_EQ(parsed.exit_status, c.status);
    EXPECT_EQ(parsed.message, c.result);
  }
}

TEST(CommandLine, HelpShowsTheSynopsisAndEachOptionWithItsValue) {
  Parsed parsed = ParseCommandLine({"--help"});
  EXPECT_FALSE(parsed.settings);
  EXPECT_EQ(parsed.exit_status, 0);
  static const char* const kLines[] = {
      "usage: translation-service [--listen HOST:PORT] [--modes DIR] [--pairs CODE,CODE...]\n",
      "                           [--require-api-key] [--batch-limit N]\n",
      "\n  --listen HOST:PORT  where to listen (default localhost:80; [::1]:PORT for IPv6, port "
      "0: any)\n",
      "\n  --start-seconds N   how long a pipeline may take to load its dictionaries before its\n"
      "                      pairs are left out (default 30; more on a slow or emulated "
      "machine)\n",
      "\n  --metrics-token-credential NAME\n"
      "                      the same, TOKEN in the systemd credential NAME\n",
      "\n  --require-api-key   those APIs refuse",
  };
  for (const char* line : kLines) {
    EXPECT_NE(parsed.message.find(line), std::string::npos) << line << "\n" << parsed.message;
  }
}

}  // namespace
