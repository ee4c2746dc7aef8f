#include "suggestions.h"

#include "service/posix/unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace service::corrections {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error("cannot " + what + " " + path + " (" + std::strerror(errno) + ")");
}

// The pending file open and locked against the other side; closed (and so unlocked) with `fd`.
UniqueFd OpenLocked(const std::string& path, int flags) {
  UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC, 0600));
  if (!fd) return fd;
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) Fail("lock", path);
  }
  return fd;
}

void WriteAll(int fd, std::string_view bytes, off_t at, const std::string& path) {
  while (!bytes.empty()) {
    ssize_t written = at < 0 ? ::write(fd, bytes.data(), bytes.size())
                             : ::pwrite(fd, bytes.data(), bytes.size(), at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail("write", path);
    bytes.remove_prefix(static_cast<std::size_t>(written));
    if (at >= 0) at += written;
  }
}

std::string ReadAll(int fd, const std::string& path) {
  std::string text;
  char buffer[4096];
  for (off_t at = 0;;) {
    ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("read", path);
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
}

std::vector<Correction> Parsed(const std::string& text, const std::string& path) {
  std::string problem;
  auto lines = ParseLines(text, &problem);
  if (!lines) throw std::runtime_error("the suggestions file " + path + ", " + problem);
  return std::move(*lines);
}

std::string Formatted(const Correction& line) {
  std::string problem;
  return FormatLine(line.code, line.line, line.translation, &problem);
}

}  // namespace

std::string PendingPath(const std::string& corrections_path) {
  return corrections_path + ".pending";
}

SuggestionBox::SuggestionBox(std::string corrections_path)
    : pending_path_(PendingPath(corrections_path)) {}

std::string SuggestionBox::Add(std::string_view code, std::string_view line,
                               std::string_view translation, bool* bad_input) {
  std::string problem;
  std::string formatted = FormatLine(code, line, translation, &problem);
  *bad_input = formatted.empty();
  if (*bad_input) return problem;
  try {
    UniqueFd pending = OpenLocked(pending_path_, O_WRONLY | O_APPEND | O_CREAT);
    if (!pending) Fail("open", pending_path_);
    WriteAll(pending.get(), formatted, -1, pending_path_);
  } catch (const std::runtime_error& failure) {
    return failure.what();
  }
  return "";
}

std::vector<Correction> ReadPending(const std::string& corrections_path) {
  std::string path = PendingPath(corrections_path);
  UniqueFd pending = OpenLocked(path, O_RDONLY);
  if (!pending && errno == ENOENT) return {};
  if (!pending) Fail("open", path);
  return Parsed(ReadAll(pending.get(), path), path);
}

Correction AcceptSuggestion(const std::string& corrections_path, std::size_t number) {
  std::string path = PendingPath(corrections_path);
  // Rewritten in place rather than replaced, so the file keeps the owner the service writes as.
  UniqueFd pending = OpenLocked(path, O_RDWR);
  if (!pending && errno == ENOENT) throw std::runtime_error("no suggestion is pending");
  if (!pending) Fail("open", path);
  std::vector<Correction> lines = Parsed(ReadAll(pending.get(), path), path);
  if (number < 1 || number > lines.size()) {
    throw std::runtime_error("no pending suggestion " + std::to_string(number) + " (" +
                             std::to_string(lines.size()) + " pending)");
  }
  Correction accepted = lines[number - 1];
  UniqueFd corrections(
      ::open(corrections_path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (!corrections) Fail("open", corrections_path);
  std::string existing = ReadAll(corrections.get(), corrections_path);
  std::string added = Formatted(accepted);
  if (!existing.empty() && existing.back() != '\n') added.insert(0, "\n");
  WriteAll(corrections.get(), added, -1, corrections_path);
  std::string rest;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i + 1 != number) rest += Formatted(lines[i]);
  }
  if (::ftruncate(pending.get(), 0) != 0) Fail("rewrite", path);
  WriteAll(pending.get(), rest, 0, path);
  return accepted;
}

}  // namespace service::corrections
