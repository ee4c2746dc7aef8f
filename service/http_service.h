// The HTTP face of the service: GET /tr translates, GET / shows the form.
#pragma once

#include "translator.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace service {

struct ListenAddress {
  std::string host;
  int port = 0;
  bool ipv6 = false;
};

// "HOST:PORT", or "[V6-ADDRESS]:PORT"; a port of 0 asks for any free port.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

class HttpService {
 public:
  explicit HttpService(Translator& translator);
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;
  ~HttpService();

  // Opens the listening socket; returns the port. A host name is looked up as IPv4 only:
  // "localhost" then means 127.0.0.1, which every client tries. Throws std::runtime_error.
  int Bind(const ListenAddress& address);
  // Serves until Stop; call after Bind.
  void Run();
  // Callable from any thread; Run returns after the requests in progress are answered.
  void Stop();
  bool Running() const;

 private:
  class Server;
  Translator& translator_;
  std::unique_ptr<Server> server_;
};

}  // namespace service
