#include "correction_book.h"

#include "service/posix/log.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace service::corrections {

CorrectionBook::CorrectionBook(std::string path, SharedCopy shared,
                               std::chrono::milliseconds refresh)
    : path_(std::move(path)),
      shared_(std::move(shared)),
      refresh_(refresh),
      current_(std::make_shared<const Corrections>()) {
  if (!path_.empty()) {
    std::string problem = Reload();
    if (!problem.empty()) throw std::runtime_error(problem);
  }
  if (shared_.read) follower_ = std::thread([this] { FollowUntilStopped(); });
}

CorrectionBook::~CorrectionBook() {
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stopping_ = true;
  }
  stop_changed_.notify_all();
  if (follower_.joinable()) follower_.join();
}

void CorrectionBook::FollowUntilStopped() {
  std::unique_lock<std::mutex> lock(stop_mutex_);
  while (!stopping_) {
    lock.unlock();
    FollowGroup();
    lock.lock();
    stop_changed_.wait_for(lock, refresh_, [this] { return stopping_; });
  }
}

std::string CorrectionBook::Reload() {
  std::string problem;
  std::optional<std::string> text = ReadFile(&problem);
  if (!text) return problem;
  auto corrections = Corrections::Parse(*text, &problem);
  if (!corrections) return "the corrections file " + path_ + ", " + problem;
  Replace(std::make_shared<const Corrections>(std::move(*corrections)), *text);
  if (shared_.publish) shared_.publish(*text);
  return "";
}

std::optional<std::string> CorrectionBook::Answer(std::string_view code,
                                                  std::string_view utf8_line) {
  std::shared_ptr<const Corrections> corrections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    corrections = current_;
  }
  return corrections->Answer(code, utf8_line);
}

std::size_t CorrectionBook::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_->size();
}

std::optional<std::string> CorrectionBook::ReadFile(std::string* problem) const {
  std::ifstream file(path_, std::ios::binary);
  std::stringstream text;
  if (!file) {
    *problem = "cannot read the corrections file " + path_;
    return std::nullopt;
  }
  // An empty file holds no corrections; rdbuf() of it sets failbit, which is no failure.
  if (file.peek() == std::ifstream::traits_type::eof() && !file.bad()) return std::string();
  if (!(text << file.rdbuf())) {
    *problem = "cannot read the corrections file " + path_;
    return std::nullopt;
  }
  return text.str();
}

void CorrectionBook::Replace(std::shared_ptr<const Corrections> corrections, std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = std::move(corrections);
  text_ = std::move(text);
}

void CorrectionBook::FollowGroup() {
  if (!shared_.read) return;
  std::lock_guard<std::mutex> asking(following_);
  std::optional<std::string> text = shared_.read();
  std::string in_force;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    in_force = text_;
  }
  if (!text) {
    // A store that restarted empty gets the group's set back from whoever holds it.
    if (!in_force.empty() && shared_.publish) shared_.publish(in_force);
    return;
  }
  if (*text == in_force) return;
  std::string problem;
  auto corrections = Corrections::Parse(*text, &problem);
  if (!corrections) {
    LogLine("the group's corrections, " + problem + "; the corrections in force stay");
    return;
  }
  LogLine("corrections of the group taken: " + std::to_string(corrections->size()));
  Replace(std::make_shared<const Corrections>(std::move(*corrections)), std::move(*text));
}

}  // namespace service::corrections
