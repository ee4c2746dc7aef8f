// HTTP over a plain socket to 127.0.0.1, byte for byte as the caller writes it: what a client
// library would tidy (raw spaces, a second '?', a body on a GET, pipelining) goes out as is.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace raw_http {

struct Response {
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The first header of that name (any case), or "".
  std::string Header(std::string_view name) const;
};

class Connection {
 public:
  // Connects at once, from `source` (another loopback address such as 127.0.0.2) when given;
  // Connected() tells whether it worked.
  explicit Connection(int port, const char* source = nullptr);
  Connection(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  bool Connected() const { return socket_ >= 0; }
  bool Send(std::string_view bytes);
  // One response: to its Content-Length, or to the end of the connection when it has none.
  // Nothing when the head is malformed or the answer does not arrive within `timeout`. The
  // answer to a HEAD has no body whatever its Content-Length says.
  std::optional<Response> Read(std::chrono::milliseconds timeout = std::chrono::seconds(60),
                               bool answers_head = false);
  // Whether the server closes the connection within `timeout`, with no further bytes.
  bool ClosedByServer(std::chrono::milliseconds timeout);

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);
  int socket_ = -1;
  std::string buffer_;
  bool ended_ = false;
};

// Every byte that is not an ASCII letter or digit as %XX: text as a form field's value.
std::string PercentEncode(std::string_view text);

// "GET target HTTP/1.0" with a Host header and `headers` (each line ending in CRLF), on a
// connection of its own, from `source` when given.
std::optional<Response> Get(int port, std::string_view target, std::string_view headers = {},
                            const char* source = nullptr);

}  // namespace raw_http
