// What the operator sets for the translation APIs other clients speak (LibreTranslate's and
// Apertium-APy's): their keys and the size of a batch. The plug-in's /tr takes none of it.
#pragma once

#include <cstddef>
#include <string>

namespace service {

struct ApiOptions {
  // One key per line, each optionally followed by its own translations per minute; "#" starts
  // a comment. Empty: the APIs take any key, or none. Read at start and on SIGHUP.
  std::string keys_file;
  // The file is a systemd credential: the copy systemd made when the unit started, which a
  // SIGHUP reads again unchanged.
  bool keys_from_credential = false;
  // A request without a key is refused, as LibreTranslate refuses it.
  bool require_key = false;
  // The most texts one /translate may carry; 0: no limit but the body's.
  std::size_t batch_limit = 0;
};

}  // namespace service
