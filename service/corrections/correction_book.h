// The corrections in force: read from the operator's file at start and on SIGHUP, and, in a group
// of instances, the same set for every instance through what the group shares. The last file
// read by any instance of the group is what the group answers; an instance's own thread looks
// for it every `refresh`, so no request waits on the group's store. Safe from many threads.
#pragma once

#include "corrections.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace service::corrections {

// The group's copy of the corrections file's text (Redis); null functions: no group.
struct SharedCopy {
  // The text published last, or nothing (none, or the store does not answer now).
  std::function<std::optional<std::string>()> read;
  std::function<bool(const std::string& text)> publish;
};

class CorrectionBook {
 public:
  // Reads `path` when not empty and publishes it to the group; throws std::runtime_error naming
  // the path and the line when it cannot. An empty path: only the group's corrections.
  explicit CorrectionBook(std::string path, SharedCopy shared = {},
                          std::chrono::milliseconds refresh = std::chrono::seconds(2));
  ~CorrectionBook();
  CorrectionBook(const CorrectionBook&) = delete;
  CorrectionBook& operator=(const CorrectionBook&) = delete;

  // Reads the file again and publishes it; on failure keeps the corrections in force and
  // returns why, else "".
  std::string Reload();

  // The correction's answer to `utf8_line` for `code`, or nothing.
  std::optional<std::string> Answer(std::string_view code, std::string_view utf8_line);

  std::size_t size() const;
  const std::string& path() const { return path_; }

  // Takes the group's set now when it differs from the one in force (the thread does it every
  // refresh).
  void FollowGroup();

 private:
  std::optional<std::string> ReadFile(std::string* problem) const;
  void Replace(std::shared_ptr<const Corrections> corrections, std::string text);
  void FollowUntilStopped();

  const std::string path_;
  const SharedCopy shared_;
  const std::chrono::milliseconds refresh_;

  mutable std::mutex mutex_;
  std::shared_ptr<const Corrections> current_;
  std::string text_;  // what current_ was read from

  std::mutex following_;  // one look at the group at a time
  std::mutex stop_mutex_;
  std::condition_variable stop_changed_;
  bool stopping_ = false;
  std::thread follower_;  // last: joined before the members above go
};

}  // namespace service::corrections
