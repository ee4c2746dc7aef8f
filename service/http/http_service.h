// The service's HTTP, on libmicrohttpd: a few threads read every connection and answer at once
// what needs no engine (a remembered translation, /health, the pages, a refusal); a request
// that may wait on an engine goes to a worker, its connection suspended until the answer is
// ready, so that a slow translation holds up nothing else. What is answered is routes.h's
// business.
#pragma once

#include "http_options.h"
#include "listen_socket.h"
#include "service/engine/router.h"
#include "service/posix/unique_fd.h"
#include "worker_pool.h"

struct MHD_Daemon;

namespace service {

class HttpService {
 public:
  // Starts listening on `socket` (from BindSocket) and answers on threads of its own until
  // Stop. Throws std::runtime_error.
  HttpService(const Router& router, UniqueFd socket, const ListenAddress& address,
              HttpOptions options = {});
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;
  ~HttpService();

  // Stops accepting, lets the requests in progress be answered and closes every connection.
  void Stop();

 private:
  struct Callbacks;
  const Router& router_;
  const HttpOptions options_;
  UniqueFd socket_;
  WorkerPool workers_;
  MHD_Daemon* daemon_ = nullptr;
};

}  // namespace service
