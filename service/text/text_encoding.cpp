#include "text_encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace service {

namespace {

// ICU takes no more than 2^30 - 1 bytes in a call (and an int32_t length): a longer text is
// converted in pieces that end before a character's first byte, so no character is split. Far
// more than any request the service takes.
constexpr std::size_t kPiece = std::size_t{1} << 28;

std::string_view NextPiece(std::string_view text) {
  if (text.size() <= kPiece) return text;
  std::size_t end = kPiece;
  while (end > kPiece - U8_MAX_LENGTH && U8_IS_TRAIL(static_cast<std::uint8_t>(text[end]))) --end;
  return text.substr(0, end);
}

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

// One for each conversion: a converter keeps state between its calls and is no thread's to
// share; the table behind it ICU loads once.
Converter Open(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("ICU has no converter for ") + name + ": " +
                             u_errorName(status));
  }
  return converter;
}

// Every character the target cannot hold becomes one '?'. ICU's own substitution would leave out
// the default-ignorable ones (U+200B, the variation selectors, ...) and write the SUB control.
void QuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, std::int32_t, UChar32,
                  UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, status);
}

// ICU's windows-1252 (ibm-5348) maps the five bytes the code page leaves undefined to the C1
// controls of the same value, and back, as Windows does: every byte goes to UTF-8 and back
// unchanged. No "best fit" stands in for a character it cannot hold (ICU uses none unless asked).
std::string Convert(std::string_view text, const char* from, const char* to) {
  Converter source = Open(from);
  Converter target = Open(to);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(target.get(), QuestionMark, nullptr, nullptr, nullptr, &status);
  std::string converted(text.size() + text.size() / 2 + 8, '\0');
  std::size_t written = 0;
  UChar pivot[1024];
  UChar* pivot_source = pivot;
  UChar* pivot_target = pivot;
  const char* next = text.data();
  const char* end = text.data() + text.size();
  bool reset = true;
  while (U_SUCCESS(status)) {
    char* out = converted.data() + written;
    ucnv_convertEx(target.get(), source.get(), &out, converted.data() + converted.size(), &next,
                   end, pivot, &pivot_source, &pivot_target, pivot + std::size(pivot), reset,
                   /*flush=*/true, &status);
    written = static_cast<std::size_t>(out - converted.data());
    reset = false;
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    status = U_ZERO_ERROR;
    converted.resize(converted.size() * 2);
  }
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("ICU could not convert from ") + from + " to " + to +
                             ": " + u_errorName(status));
  }
  converted.resize(written);
  return converted;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    std::string_view piece = NextPiece(bytes);
    const auto* data = reinterpret_cast<const std::uint8_t*>(piece.data());
    const auto length = static_cast<std::int32_t>(piece.size());
    for (std::int32_t i = 0; i < length;) {
      UChar32 code_point;
      // Strict since ICU 60: an overlong form, a surrogate or anything above U+10FFFF is < 0.
      U8_NEXT(data, i, length, code_point);
      if (code_point < 0) return false;
    }
    bytes.remove_prefix(piece.size());
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string text;
  // Each byte is a character: a piece may end anywhere.
  for (std::size_t start = 0; start < bytes.size(); start += kPiece) {
    text += Convert(bytes.substr(start, kPiece), "windows-1252", "UTF-8");
  }
  return text;
}

std::string Utf8ToWindows1252(std::string_view text) {
  std::string bytes;
  while (!text.empty()) {
    std::string_view piece = NextPiece(text);
    bytes += Convert(piece, "UTF-8", "windows-1252");
    text.remove_prefix(piece.size());
  }
  return bytes;
}

}  // namespace service
