// A request's body as the HTTP layer read it: a form's fields (URL-encoded or multipart, as
// libmicrohttpd's post processor reads them), or else the body's bytes (JSON, say).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace service {

// The bound on what one request may send in its body, form or not.
inline constexpr std::size_t kMaxBody = 512 * 1024;

struct RequestBody {
  std::string content_type;  // as sent, parameters and all; empty without one
  std::vector<std::pair<std::string, std::string>> form;  // in the order sent
  std::string bytes;                                      // when it is not a form
  bool too_long = false;  // passed kMaxBody: what was read of it is dropped
};

}  // namespace service
