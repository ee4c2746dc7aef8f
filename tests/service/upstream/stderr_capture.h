// What the code under test writes to standard error while this lives, kept in a file.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace upstream_test {

class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    int file = ::mkstemp(path_);
    if (file < 0) throw std::runtime_error("no file to capture standard error in");
    ::close(file);
    // Appending, so that reading the file never moves where standard error writes.
    int appending = ::open(path_, O_WRONLY | O_APPEND | O_CLOEXEC);
    saved_ = ::dup(STDERR_FILENO);
    bool redirected = appending >= 0 && saved_ >= 0 && ::dup2(appending, STDERR_FILENO) >= 0;
    if (appending >= 0) ::close(appending);
    if (!redirected) throw std::runtime_error("standard error could not be captured");
  }
  ~StderrCapture() {
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    ::unlink(path_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  std::string Text() const {
    std::fflush(stderr);
    std::ifstream file(path_, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

 private:
  char path_[32] = "/tmp/stderr-capture-XXXXXX";
  int saved_ = -1;
};

}  // namespace upstream_test
