// Both POST bodies through the client, with files that grow, shrink or vanish between the
// sizing and the read, and with failures on the way: the length announced is the length handed
// over, the body is what the fields say, and no heap block, file or request handle is left.
//
// Input: controls \0 path \0 then per field: name \0 value \0 field controls \0
//   controls[0] bit 0 multipart; [1] a call that fails (index into kFailing, 0 none), [2] its
//   nth call, [3] bit 0 its last error is the redirect confirmation; [4] the files change just
//   before that CreateFileA (0 never); [5] bit 0 one cookie
//   field controls[0] bit 0 file field (the value is its path), bit 1 missing at first, bit 2
//   missing after the change; [1..2] size at first, [3..4] size after the change; the rest is
//   the pattern the contents repeat
#include "fuzz/fuzz_support.h"
#include "net/internet_client.h"
#include "win32_stand_in.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

constexpr std::size_t kMaxFields = 12;
constexpr unsigned kMaxFileSize = 12000;

const char* const kFailing[] = {nullptr,
                                "HttpOpenRequestA",
                                "HttpAddRequestHeadersA",
                                "InternetSetCookieA",
                                "HttpSendRequestA",
                                "HttpSendRequestExA",
                                "InternetWriteFile",
                                "HttpEndRequestA",
                                "HeapAlloc",
                                "CreateFileA",
                                "GetFileSize",
                                "ReadFile"};

struct Field {
  std::string name;
  std::string value;
  bool isFile;
};

// A file's contents before and after the change; nothing when it does not exist.
struct FileStates {
  std::optional<std::string> before;
  std::optional<std::string> after;
};

std::string Contents(const std::string& pattern, unsigned size) {
  const std::string unit = pattern.empty() ? std::string("x") : pattern;
  std::string contents;
  while (contents.size() < size) contents += unit;
  contents.resize(size);
  return contents;
}

std::string FormBody(const std::vector<Field>& fields) {
  std::string body;
  for (const Field& field : fields)
    body += (body.empty() ? "" : "&") + field.name + "=" + field.value;
  return body;
}

std::string PartHeader(const Field& field) {
  std::string header = std::string("--") + MULTIPART_BOUNDARY +
                       "\r\nContent-Disposition: form-data; name=\"" + field.name;
  if (field.isFile) header += "\"; filename=\"" + field.value;
  return header + "\"\r\n\r\n";
}

std::string Closing() { return std::string("--") + MULTIPART_BOUNDARY + "--\r\n"; }

// The body when no file changed: each file's contents whole.
std::string MultipartBody(const std::vector<Field>& fields,
                          const std::map<std::string, FileStates>& files) {
  std::string body;
  for (const Field& field : fields) {
    body += PartHeader(field);
    if (!field.isFile) {
      body += field.value + "\r\n";
    } else if (const auto& contents = files.at(field.value).before) {
      body += *contents + "\r\n";
    }
  }
  return body + Closing();
}

// Shortest and longest body the fields allow with files of any state seen.
std::pair<std::size_t, std::size_t> MultipartBounds(
    const std::vector<Field>& fields, const std::map<std::string, FileStates>& files) {
  std::size_t shortest = Closing().size();
  std::size_t longest = shortest;
  for (const Field& field : fields) {
    const std::size_t fixed = PartHeader(field).size();
    if (!field.isFile) {
      shortest += fixed + field.value.size() + 2;
      longest += fixed + field.value.size() + 2;
      continue;
    }
    const FileStates& states = files.at(field.value);
    shortest += fixed;
    longest += fixed + 2 +
               std::max(states.before ? states.before->size() : 0,
                        states.after ? states.after->size() : 0);
  }
  return {shortest, longest};
}

std::optional<std::size_t> AnnouncedLength() {
  const std::string prefix = "Content-Length: ";
  for (const standin::Call& call : standin::CallsTo("HttpAddRequestHeadersA")) {
    if (call.args[1].compare(0, prefix.size(), prefix) == 0)
      return std::stoul(call.args[1].substr(prefix.size()));
  }
  return std::nullopt;
}

void Install(const std::map<std::string, FileStates>& files, bool after) {
  for (const auto& [path, states] : files) {
    const auto& contents = after ? states.after : states.before;
    if (contents) {
      standin::AddFile(path, *contents);
    } else {
      standin::RemoveFile(path);
    }
  }
}

void CheckFormBody(const std::vector<Field>& fields) {
  const auto sends = standin::CallsTo("HttpSendRequestA");
  if (sends.empty()) return;
  const std::string expected = FormBody(fields);
  Require(standin::SentBodies().size() == 1 && standin::SentBodies()[0] == expected,
          "the form body is the fields joined, nothing more");
  Require(sends[0].args[4] == std::to_string(expected.size()),
          "the length handed over is the body's");
}

void CheckMultipartBody(const std::vector<Field>& fields,
                        const std::map<std::string, FileStates>& files, bool exact) {
  const auto writes = standin::CallsTo("InternetWriteFile");
  if (writes.empty()) return;
  const auto announced = AnnouncedLength();
  Require(announced && std::to_string(*announced) == writes[0].args[2],
          "Content-Length is the count handed to InternetWriteFile");
  if (standin::WrittenBodies().empty()) return;
  const std::string& body = standin::WrittenBodies()[0];
  const auto [shortest, longest] = MultipartBounds(fields, files);
  Require(body.size() >= shortest && body.size() <= longest, "the body's length is in bounds");
  Require(body.size() >= Closing().size() &&
              body.compare(body.size() - Closing().size(), Closing().size(), Closing()) == 0,
          "the body ends with the closing boundary");
  if (exact) Require(body == MultipartBody(fields, files), "the body is what the fields say");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzParts parts(data, size);
  const bool multipart = parts.Byte(0, 0) & 1;
  const unsigned failing = parts.Byte(0, 1) % (sizeof kFailing / sizeof *kFailing);
  const unsigned changeAt = parts.Byte(0, 4);

  std::vector<Field> fields;
  std::map<std::string, FileStates> files;
  for (std::size_t p = 2; p + 2 < parts.Count() && fields.size() < kMaxFields; p += 3) {
    const unsigned flags = parts.Byte(p + 2, 0);
    fields.push_back({parts.Part(p), parts.Part(p + 1), (flags & 1) != 0});
    if (!fields.back().isFile) continue;
    const std::string& controls = parts.Part(p + 2);
    const std::string pattern = controls.substr(std::min<std::size_t>(5, controls.size()));
    FileStates& states = files[fields.back().value];
    states.before.reset();
    states.after.reset();
    if (!(flags & 2)) states.before = Contents(pattern, parts.Word(p + 2, 1) % kMaxFileSize);
    if (!(flags & 4)) states.after = Contents(pattern, parts.Word(p + 2, 3) % kMaxFileSize);
  }

  standin::Reset();
  Install(files, false);
  unsigned opens = 0;
  standin::SetCreateFileHook([&](const std::string&) {
    if (++opens == changeAt) Install(files, true);
  });

  InternetClient client;
  Require(client.Connect("http://localhost", nullptr, nullptr, "agent"), "the client connects");
  if (kFailing[failing]) {
    const DWORD lastError = (parts.Byte(0, 3) & 1) ? ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION : 0;
    standin::FailCall(kFailing[failing], parts.Byte(0, 2) % 4, lastError);
  }
  for (const Field& field : fields)
    client.AddFormField(field.name.c_str(), field.value.c_str(), field.isFile);
  if (parts.Byte(0, 5) & 1) client.AddCookie("session", "1");

  const ExactCString path(parts.Part(1));
  const bool sent =
      client.Request(path.get(), multipart ? REQUEST_POST_MULTIPART : REQUEST_POST, nullptr);
  Require(standin::LiveHeapBlocks() == 0, "no body block left");
  Require(standin::OpenFileHandles() == 0, "no file handle left");
  Require(sent == (client.RequestHandle() != nullptr), "a failed request leaves no request handle");

  if (multipart) {
    const bool unchanged = changeAt == 0 || opens < changeAt;
    CheckMultipartBody(fields, files, sent && !kFailing[failing] && unchanged);
  } else {
    CheckFormBody(fields);
  }
  client.Close();
  Require(standin::OpenInternetHandles() == 0, "no internet handle left after Close");
  return 0;
}
