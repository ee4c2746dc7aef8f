#include "service/command_line/command_line.h"

#include "service/http/http_config.h"
#include "service/posix/credential.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <exception>
#include <functional>
#include <utility>

namespace service::command_line {
namespace {

constexpr char kProgram[] = "translation-service";

constexpr char kSynopsis[] =
    "usage: translation-service [--listen HOST:PORT] [--modes DIR] [--pairs CODE,CODE...]\n"
    "                           [--upstream "
    "KIND=URL[,key-file=PATH|,key-credential=NAME][,first]]...\n"
    "                           [--start-seconds N] [--no-detect] [--cache-mib N]\n"
    "                           [--shared-state redis://HOST:PORT] [--cache-days N]\n"
    "                           [--rate-limit N] [--char-limit N] [--trust-proxy ADDR,...]\n"
    "                           [--metrics-token-file PATH | --metrics-token-credential NAME]\n"
    "                           [--api-keys-file PATH | --api-keys-credential NAME]\n"
    "                           [--require-api-key] [--batch-limit N]\n"
    "                           [--corrections FILE [--suggestions]]\n"
    "       translation-service --corrections FILE --list-suggestions | --accept-suggestion N\n";

// The synopsis above the options CLI11 lists, each with the text it is added with.
class Help : public CLI::Formatter {
 public:
  Help() { column_width(22); }
  std::string make_usage(const CLI::App*, std::string) const override { return kSynopsis; }
};

// A value the option cannot take; CLI11 puts the option's name before the problem.
[[noreturn]] void Refuse(const std::string& problem) { throw CLI::ValidationError(problem); }

// The parsers of other folders name their option themselves ("--upstream: ...",
// "--cache-mib: ..."): said once.
std::string WithoutName(const std::string& problem, const std::string& name) {
  for (const std::string& prefix : {name + ": ", name + " "}) {
    if (problem.compare(0, prefix.size(), prefix) == 0) return problem.substr(prefix.size());
  }
  return problem;
}

unsigned long long WholeNumber(const std::string& text, unsigned long long low,
                               unsigned long long high) {
  unsigned long long number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < low ||
      number > high) {
    Refuse("needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
           ", not " + text);
  }
  return number;
}

std::string NonEmptyPath(const std::string& text) {
  if (text.empty()) Refuse("needs a path");
  return text;
}

std::string Credential(const std::string& name) {
  std::string path;
  CredentialLookup lookup = FindCredential(name, &path);
  if (lookup != CredentialLookup::kFound) Refuse(CredentialProblem(lookup, name));
  return path;
}

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

// An option that takes a value each time it is given: `read` gets each in the order given, so
// the last one counts where only one can.
CLI::Option* AddValue(CLI::App& app, const std::string& name, const std::string& value_name,
                      const std::string& help, std::function<void(const std::string&)> read) {
  return app.add_option(name, help)
      ->option_text(value_name)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->each(std::move(read));
}

void AddOptions(CLI::App& app, Settings& settings) {
  AddValue(app, "--listen", "HOST:PORT",
           std::string("where to listen (default ") + kDefaultListen +
               "; [::1]:PORT for IPv6, port 0: any)",
           [&settings](const std::string& value) {
             auto address = ParseListenAddress(value);
             if (!address) Refuse("not HOST:PORT: " + value);
             settings.listen = *address;
           });
  AddValue(
      app, "--modes", "DIR",
      std::string("the Apertium modes to look for pairs in (default ") + kDefaultModesDir + ")",
      [&settings](const std::string& value) { settings.apertium.modes_dir = value; });
  AddValue(app, "--pairs", "CODES",
           "offer only these language pairs, e.g. fr_en,en_es (default: all)",
           [&settings](const std::string& value) { settings.apertium.codes = SplitCodes(value); });
  AddValue(app, "--upstream", "KIND=URL",
           "a server that translates the codes Apertium does not reach, tried\n"
           "in the order given: libretranslate=URL[,key-file=PATH] (the file\n"
           "holds the API key; key-credential=NAME: the systemd credential\n"
           "NAME holds it) or apy=URL (Apertium-APy); ,first: asked before\n"
           "Apertium for the codes both serve, Apertium then its failover",
           [&settings](const std::string& value) {
             std::string problem;
             auto upstream = upstream::ParseUpstreamOption(value, &problem);
             if (!upstream) Refuse(WithoutName(problem, "--upstream"));
             settings.upstreams.push_back(std::move(*upstream));
           });
  AddValue(app, "--start-seconds", "N",
           "how long a pipeline may take to load its dictionaries before its\n"
           "pairs are left out (default " +
               std::to_string(kStartupTimeout.count() / 1000) +
               "; more on a slow or emulated machine)",
           [&settings](const std::string& value) {
             settings.apertium.startup_timeout = std::chrono::seconds(WholeNumber(value, 1, 3600));
           });
  app.add_flag_callback(
         "--no-detect", [&settings] { settings.detect = false; },
         "no language detection: no codes that name only the target\n"
         "(en, auto_en), no /detect")
      ->disable_flag_override();

  const std::pair<const char*, const char*> cache_options[] = {
      {"--cache-mib", "remember up to N MiB of answers in memory (default 64; 0: none)"},
      {"--shared-state",
       "share remembered answers and limit counters with the other\n"
       "instances of a group through Redis (its own memory still first)"},
      {"--cache-days", "how long the shared state keeps an answer (default 7; 0: none)"},
  };
  for (const auto& [name, help] : cache_options) {
    std::string option = name;
    AddValue(app, option, option == "--shared-state" ? "redis://HOST:PORT" : "N", help,
             [&settings, option](const std::string& value) {
               std::string problem = cache::ApplyCacheOption(option, value, &settings.cache);
               if (!problem.empty()) Refuse(WithoutName(problem, option));
             });
  }

  AddValue(app, "--rate-limit", "N",
           "at most N translations per minute per client, then 429 with\n"
           "Retry-After (default 0: no limit)",
           [&settings](const std::string& value) {
             settings.limits.requests_per_minute =
                 static_cast<long long>(WholeNumber(value, 0, 1000000000));
           });
  AddValue(app, "--char-limit", "N",
           "at most N characters in one request's text (each text of a batch),\n"
           "else 400 (default 0: no limit)",
           [&settings](const std::string& value) {
             settings.limits.max_characters =
                 static_cast<std::size_t>(WholeNumber(value, 0, 1000000000));
           });
  AddValue(app, "--trust-proxy", "ADDRS",
           "the proxies (numeric addresses) whose X-Forwarded-For names the\n"
           "client; from anyone else the header is ignored",
           [&settings](const std::string& value) {
             std::string problem;
             auto proxies = limits::TrustedProxies::Parse(value, &problem);
             if (!proxies) Refuse(problem);
             settings.limits.proxies = std::move(*proxies);
           });

  CLI::Option* token_file = AddValue(
      app, "--metrics-token-file", "PATH",
      "GET /metrics answers only Authorization: Bearer TOKEN,\n"
      "TOKEN being this file's first line",
      [&settings](const std::string& value) { settings.metrics_token_file = NonEmptyPath(value); });
  CLI::Option* token_credential = AddValue(
      app, "--metrics-token-credential", "NAME", "the same, TOKEN in the systemd credential NAME",
      [&settings](const std::string& value) { settings.metrics_token_file = Credential(value); });
  token_credential->excludes(token_file);

  CLI::Option* keys_file = AddValue(
      app, "--api-keys-file", "PATH",
      "the keys LibreTranslate's and Apertium-APy's APIs take, one a line,\n"
      "each optionally followed by its own translations per minute;\n"
      "# starts a comment; a key not in the file gets 403 (/tr takes none)",
      [&settings](const std::string& value) { settings.api.keys_file = NonEmptyPath(value); });
  CLI::Option* keys_credential =
      AddValue(app, "--api-keys-credential", "NAME", "the same file as the systemd credential NAME",
               [&settings](const std::string& value) {
                 settings.api.keys_file = Credential(value);
                 settings.api.keys_from_credential = true;
               });
  keys_credential->excludes(keys_file);
  app.add_flag("--require-api-key", settings.api.require_key,
               "those APIs refuse a request without a key, as LibreTranslate does")
      ->disable_flag_override();
  AddValue(app, "--batch-limit", "N",
           "at most N texts in one request of those APIs, else 400\n"
           "(default 0: no limit)",
           [&settings](const std::string& value) {
             settings.api.batch_limit = static_cast<std::size_t>(WholeNumber(value, 0, 1000000));
           });
  AddValue(
      app, "--corrections", "FILE",
      "the operator's translations of chat lines, answered before any\n"
      "engine: CODE<TAB>LINE<TAB>TRANSLATION a line, # starts a comment\n"
      "line; read again on SIGHUP; with --shared-state the whole group\n"
      "answers the file read last",
      [&settings](const std::string& value) { settings.corrections_file = NonEmptyPath(value); });
  app.add_flag("--suggestions", settings.suggestions,
               "LibreTranslate's POST /suggest keeps better translations pending\n"
               "in FILE.pending beside --corrections FILE, for the operator")
      ->disable_flag_override();
  CLI::Option* list =
      app.add_flag_callback(
             "--list-suggestions",
             [&settings] { settings.command = Settings::Command::kListSuggestions; },
             "print the pending suggestions, numbered, and exit")
          ->disable_flag_override();
  AddValue(app, "--accept-suggestion", "N",
           "move pending suggestion N into the corrections file and exit\n"
           "(then systemctl reload, or SIGHUP, to answer it)",
           [&settings](const std::string& value) {
             settings.command = Settings::Command::kAcceptSuggestion;
             settings.accept_number = static_cast<std::size_t>(WholeNumber(value, 1, 1000000000));
           })
      ->excludes(list);
}

Parsed Refused(const std::string& problem) {
  return Parsed{std::nullopt, 2, std::string(kProgram) + ": " + problem + "\n"};
}

// CLI11's own messages for what no value parser sees, on one line.
std::string Problem(const CLI::ParseError& error) {
  std::string text = error.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    // "--listen: 1 required HOST:PORT missing" (the value was to be the last word) or
    // "require-api-key was given a disallowed flag override" (--require-api-key=VALUE).
    std::string name = text.substr(0, text.find_first_of(": "));
    if (text.find(" flag override") == std::string::npos) return name + ": needs a value";
    return (name.compare(0, 2, "--") == 0 ? "" : "--") + name + ": takes no value";
  }
  return text.substr(0, text.find('\n'));
}

}  // namespace

Parsed ParseCommandLine(const std::vector<std::string>& arguments) {
  Settings settings;
  settings.listen = *ParseListenAddress(kDefaultListen);
  CLI::App app("", kProgram);
  app.formatter(std::make_shared<Help>());
  app.set_help_flag("-h,--help", "show this text and exit");
  app.set_version_flag("--version", std::string(kProgram) + " " + MIRELSKAN_VERSION,
                       "show the version and exit");
  // Left over for the one message below rather than CLI11's list of them.
  app.allow_extras();
  try {
    AddOptions(app, settings);
    // CLI11 takes the words last first.
    std::vector<std::string> words(arguments.rbegin(), arguments.rend());
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    return Parsed{std::nullopt, 0, app.help()};
  } catch (const CLI::CallForVersion& version) {
    return Parsed{std::nullopt, 0, std::string(version.what()) + "\n"};
  } catch (const CLI::ParseError& error) {
    return Refused(Problem(error));
  } catch (const std::exception& error) {
    return Refused(error.what());
  }
  std::vector<std::string> extras = app.remaining();
  if (!extras.empty()) {
    // "-- WORD" names the word as the mistake, not the "--" before it.
    const std::string& extra = extras.size() > 1 && extras[0] == "--" ? extras[1] : extras[0];
    return Refused((extra.size() > 1 && extra[0] == '-' ? "unknown option " : "unexpected word ") +
                   extra);
  }
  bool suggestion_command = settings.command != Settings::Command::kServe;
  if ((settings.suggestions || suggestion_command) && settings.corrections_file.empty()) {
    return Refused(std::string(settings.suggestions ? "--suggestions"
                               : settings.command == Settings::Command::kListSuggestions
                                   ? "--list-suggestions"
                                   : "--accept-suggestion") +
                   ": needs --corrections FILE");
  }
  // Without keys every request would be refused.
  if (settings.api.require_key && settings.api.keys_file.empty()) {
    return Refused("--require-api-key: needs --api-keys-file or --api-keys-credential");
  }
  return Parsed{std::move(settings), 0, ""};
}

}  // namespace service::command_line
