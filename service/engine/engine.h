// What every translation engine offers the service: the codes it serves and a way to translate
// a text, with the parts of the text that must pass unchanged marked as such.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace service {

// How long one translation may take, whatever the engine: a base plus an allowance per KiB of
// text, so a hung engine is noticed quickly while a 64 KiB text still has time to pass.
inline constexpr std::chrono::milliseconds kTranslationBoundBase{5000};
inline constexpr std::chrono::milliseconds kTranslationBoundPerKiB{100};

struct Offer {
  std::string code;         // as the plug-in writes it, e.g. "fr_en"
  std::string description;  // e.g. "French to English (through Spanish)"
};

// A text cut into what the engine translates and what comes back exactly as it stands (links,
// addresses, code, ...). Pieces are in the text's order; joined, they are the text.
struct Piece {
  std::string text;  // UTF-8
  bool keep = false;
  // On a kept piece that stands between two sentences (a paragraph's tag, a line break): the
  // text before it ends a sentence there, whatever its punctuation, and the blanks around it
  // are its own. Engines translate the text on either side as sentences apart.
  bool ends_sentence = false;
  // On a kept piece that opens a chat line as its addressee ("bob: "): kept only where the
  // engine's source language has no such word, for "Nota: " and "ERROR: " are labels to
  // translate with the sentence they open. Engines that cannot tell keep it.
  bool keep_if_unknown = false;
};

struct Translation {
  bool ok = false;
  std::string text;     // UTF-8
  std::string problem;  // why not, when !ok; never holds the text
};

struct EngineHealth {
  bool ready = false;
  std::chrono::system_clock::time_point down_since;  // when !ready
  std::string reason;                                // when !ready
};

class Engine {
 public:
  virtual ~Engine() = default;

  // How the logs, the home page and /health name this engine, e.g. "apertium".
  virtual std::string Name() const = 0;

  // The codes served now, sorted by code; an upstream's list changes as it learns its languages.
  virtual std::vector<Offer> Offers() const = 0;

  // Translates one of Offers()' codes. Every kept piece is in the result byte for byte and in
  // order. Safe to call from many threads at once; bounded in time.
  virtual Translation Translate(std::string_view code, const std::vector<Piece>& pieces) = 0;

  virtual EngineHealth Health() const = 0;
};

}  // namespace service
