#include "internet_client.h"

#include "body_block.h"
#include "client_errors.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace client_error;

namespace {

// The pieces around boundary, name, value and path. The plan counts parts from the same pieces
// that the writer copies, so the block always holds what is written.
constexpr char DASHES[] = "--";
constexpr char DISPOSITION[] = "\r\nContent-Disposition: form-data; name=\"";
constexpr char FILENAME[] = "\"; filename=\"";
constexpr char HEADER_END[] = "\"\r\n\r\n";
constexpr char CRLF[] = "\r\n";
constexpr char CLOSING_END[] = "--\r\n";

template <std::size_t N>
constexpr std::size_t Length(const char (&)[N]) {
  return N - 1;
}

constexpr std::size_t PLAIN_PART_FIXED =
    Length(DASHES) + Length(DISPOSITION) + Length(HEADER_END) + Length(CRLF);
constexpr std::size_t FILE_HEADER_FIXED =
    Length(DASHES) + Length(DISPOSITION) + Length(FILENAME) + Length(HEADER_END);
constexpr std::size_t CLOSING_FIXED = Length(DASHES) + Length(CLOSING_END);
static_assert(PLAIN_PART_FIXED == 49 && FILE_HEADER_FIXED == 60 && CLOSING_FIXED == 6,
              "the part formats' documented lengths");

// A file as the body's sizing saw it. An unreadable file's part is its header alone.
struct FileMeasure {
  bool readable;
  DWORD size;  // INVALID_FILE_SIZE when not readable
};

struct FileClose {
  void operator()(HANDLE file) const { CloseHandle(file); }
};
using UniqueFile = std::unique_ptr<void, FileClose>;

UniqueFile OpenForReading(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == nullptr || file == INVALID_HANDLE_VALUE) return UniqueFile();
  return UniqueFile(file);
}

FileMeasure MeasureFile(const std::string& path) {
  const UniqueFile file = OpenForReading(path);
  if (!file) return {false, INVALID_FILE_SIZE};
  const DWORD size = GetFileSize(file.get(), nullptr);
  return {size != INVALID_FILE_SIZE, size};
}

struct BodyPlan {
  DWORD estimate = 0;              // the allowances, in the client's 32-bit arithmetic
  std::uint64_t exactLength = 0;   // what the fields and the files as measured take
  std::vector<FileMeasure> files;  // one per file field, in list order
};

BodyPlan PlanBody(const std::list<std::unique_ptr<FormField>>& fields,
                  std::uint64_t boundaryLength) {
  BodyPlan plan;
  for (const auto& field : fields) {
    const std::uint64_t texts = boundaryLength + field->name.size() + field->value.size();
    if (!field->isFile) {
      plan.estimate += PLAIN_PART_ALLOWANCE;
      plan.exactLength += PLAIN_PART_FIXED + texts;
      continue;
    }
    const FileMeasure measure = MeasureFile(field->value);
    // A failed measure counts as INVALID_FILE_SIZE and so wraps to an allowance of 6143.
    plan.estimate += measure.size + FILE_PART_ALLOWANCE;
    plan.exactLength +=
        FILE_HEADER_FIXED + texts + (measure.readable ? std::uint64_t{measure.size} + 2 : 0);
    plan.files.push_back(measure);
  }
  plan.exactLength += boundaryLength + CLOSING_FIXED;
  return plan;
}

char* Append(char* at, const char* text, std::size_t length) {
  std::memcpy(at, text, length);
  return at + length;
}
char* Append(char* at, const char* text) { return Append(at, text, std::strlen(text)); }
char* Append(char* at, const std::string& text) { return Append(at, text.data(), text.size()); }

char* AppendDispositionStart(char* at, const char* boundary, const std::string& name) {
  at = Append(at, DASHES);
  at = Append(at, boundary);
  at = Append(at, DISPOSITION);
  return Append(at, name);
}

DWORD WritePlainPart(const FormField& field, char* destination, const char* boundary) {
  char* at = AppendDispositionStart(destination, boundary, field.name);
  at = Append(at, HEADER_END);
  at = Append(at, field.value);
  at = Append(at, CRLF);
  *at = '\0';  // overwritten by whatever follows the part
  return static_cast<DWORD>(at - destination);
}

DWORD WriteFileHeader(const FormField& field, char* destination, const char* boundary) {
  char* at = AppendDispositionStart(destination, boundary, field.name);
  at = Append(at, FILENAME);
  at = Append(at, field.value);
  at = Append(at, HEADER_END);
  return static_cast<DWORD>(at - destination);
}

// Takes at most limit bytes of the file. Whole blocks are read in place; a block that could
// reach past the limit goes through scratch, so a file that grew cannot overrun its room.
DWORD ReadContent(HANDLE file, char* destination, DWORD limit) {
  char scratch[FILE_READ_BLOCK];
  DWORD count = 0;
  for (;;) {
    const DWORD room = limit - count;
    char* target = room >= FILE_READ_BLOCK ? destination + count : scratch;
    DWORD read = 0;
    if (!ReadFile(file, target, FILE_READ_BLOCK, &read, nullptr) || read == 0) break;
    const DWORD taken = std::min(read, room);
    if (target == scratch) std::memcpy(destination + count, scratch, taken);
    count += taken;
    if (taken < read) break;
  }
  return count;
}

// measured: how the body's sizing saw this file, or null when the caller sized the room from
// the file as it is now.
DWORD WriteFilePart(const FormField& field, char* destination, const char* boundary,
                    const FileMeasure* measured) {
  const DWORD header = WriteFileHeader(field, destination, boundary);
  const UniqueFile file = OpenForReading(field.value);
  if (!file || (measured && !measured->readable)) return header;
  const DWORD size = GetFileSize(file.get(), nullptr);
  const DWORD limit = measured ? std::min(size, measured->size) : size;
  const DWORD count = ReadContent(file.get(), destination + header, limit);
  Append(destination + header + count, CRLF);
  return header + count + 2;
}

}  // namespace

DWORD FormField::WritePart(char* destination, const char* boundary) const {
  return isFile ? WriteFilePart(*this, destination, boundary, nullptr)
                : WritePlainPart(*this, destination, boundary);
}

DWORD InternetClient::EstimateMultipartSize() const { return PlanBody(formFields_, 0).estimate; }

DWORD InternetClient::BuildMultipartBody(char** body, const char* boundary) const {
  const std::size_t boundaryLength = std::strlen(boundary);
  const BodyPlan plan = PlanBody(formFields_, boundaryLength);
  if (!body || *body) return 0;
  if (plan.exactLength > MAX_BODY_LENGTH) Raise(BODY_ALLOCATION_FAILED);

  // The estimate alone can be too small (large plain values, long paths, no fields at all).
  char* block = TakeBodyBlock(std::max<std::uint64_t>(plan.estimate, plan.exactLength) + 1);
  *body = block;
  char* at = block;
  auto measure = plan.files.begin();
  for (const auto& field : formFields_) {
    at += field->isFile ? WriteFilePart(*field, at, boundary, &*measure++)
                        : WritePlainPart(*field, at, boundary);
  }
  at = Append(at, DASHES);
  at = Append(at, boundary, boundaryLength);
  at = Append(at, CLOSING_END);
  return static_cast<DWORD>(at - block);
}

void InternetClient::FreeMultipartBody(char* body) const {
  if (body) ProcessHeapRelease()(body);
}
