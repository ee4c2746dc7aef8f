// Better translations that users suggest: kept pending in a file beside the corrections file
// (FILE.pending, the same format), never answered until the operator accepts one into the
// corrections. Both sides lock the pending file, so a suggestion sent while one is being
// accepted is not lost.
#pragma once

#include "corrections.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace service::corrections {

std::string PendingPath(const std::string& corrections_path);

// What the service keeps of the suggestions it is sent. Safe from many threads.
class SuggestionBox {
 public:
  explicit SuggestionBox(std::string corrections_path);

  // Keeps the suggestion pending. "" when kept; else why not: a field that cannot be kept
  // (*bad_input set), or the file that cannot be written.
  std::string Add(std::string_view code, std::string_view line, std::string_view translation,
                  bool* bad_input);

 private:
  const std::string pending_path_;
};

// The pending suggestions, in the order sent; none when there is no pending file. Throws
// std::runtime_error naming the file (and the line) when it cannot be read.
std::vector<Correction> ReadPending(const std::string& corrections_path);

// Moves the pending suggestion `number` (from 1, as ReadPending lists them) to the end of the
// corrections file, and returns it. Throws std::runtime_error saying why not.
Correction AcceptSuggestion(const std::string& corrections_path, std::size_t number);

}  // namespace service::corrections
