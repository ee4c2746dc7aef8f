#include "request_summary.h"

#include "form_query.h"
#include "wire/wire_contract.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

namespace service {

namespace {

// The language pair as typed only when it looks like one.
std::string LoggedPair(std::string_view path, std::string_view target) {
  if (path != WIRE_TRANSLATION_PATH) return "-";
  auto code = FormField(TargetQuery(target), WIRE_PAIR_FIELD);
  if (!code) return "(none)";
  bool plain = code->size() <= 16 && std::all_of(code->begin(), code->end(), [](char c) {
                 return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
               });
  return plain ? *code : "(invalid)";
}

std::string LoggedRoute(std::string_view method, std::string_view path) {
  static const char* const kMethods[] = {"GET",    "HEAD",    "POST", "PUT",
                                         "DELETE", "OPTIONS", "PATCH"};
  if (std::find(std::begin(kMethods), std::end(kMethods), method) == std::end(kMethods)) {
    return "-";
  }
  return std::string(method) + (path == "/" || path == WIRE_TRANSLATION_PATH
                                    ? " " + std::string(path)
                                    : std::string(" (other)"));
}

}  // namespace

std::string RequestSummary(std::string_view method, std::string_view target, int status,
                           double milliseconds) {
  std::string_view path = TargetPath(target);
  char time[32];
  std::snprintf(time, sizeof time, "%.1f", milliseconds);
  return LoggedRoute(method, path) + " length=" + std::to_string(target.size()) +
         " lp=" + LoggedPair(path, target) + " status=" + std::to_string(status) + " ms=" + time;
}

}  // namespace service
