// The service's HTTP, on libmicrohttpd: each connection gets a thread of its own, since a
// translation blocks while it runs; what is answered is routes.h's business.
#pragma once

#include "listen_socket.h"
#include "service/detect/language_detector.h"
#include "service/engine/router.h"
#include "service/posix/unique_fd.h"

struct MHD_Daemon;

namespace service {

class HttpService {
 public:
  // Starts listening on `socket` (from BindSocket) and answers on threads of its own until
  // Stop. With a `detector`, the codes that name only the target and /detect are answered
  // too. Throws std::runtime_error.
  HttpService(const Router& router, UniqueFd socket, const ListenAddress& address,
              const detect::LanguageDetector* detector = nullptr);
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;
  ~HttpService();

  // Stops accepting, lets the requests in progress be answered and closes every connection.
  void Stop();

 private:
  struct Callbacks;
  const Router& router_;
  const detect::LanguageDetector* detector_;
  UniqueFd socket_;
  MHD_Daemon* daemon_ = nullptr;
};

}  // namespace service
