#include "translation_command.h"

#include "chunking.h"
#include "help_box.h"
#include "result_buffer.h"
#include "toast.h"
#include "translation/fetch_translation.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsCommandWord(const char* word) {
  const char* expected = COMMAND_WORD;
  for (; *word && *expected; ++word, ++expected)
    if (LowerAscii(*word) != *expected) return false;
  return *word == '\0' && *expected == '\0';
}

// White space of the C locale; bytes above 0x7F never count.
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void ShowCommandError() {
  DisplayToast(COMMAND_ERROR_MESSAGE, COMMAND_ERROR_TITLE, 0, FALSE);
  ShowHelpBox();
}

void TranslateInto(ResultBuffer& out, std::string_view text, const char* code) {
  while (!text.empty() && !out.Full()) {
    const std::size_t length = NextChunkLength(text);
    try {
      const std::string chunk(text.substr(0, length));
      out.AppendLine(FetchTranslation(chunk.c_str(), code));
    } catch (...) {
      out.AppendLine(TRANSLATION_FAILED_TEXT);
    }
    text.remove_prefix(length);
  }
}

}  // namespace

int RunTranslationCommand(const char* command, const char* parameters, char* result) {
  if (!command || !IsCommandWord(command)) return 0;

  char code[LANGUAGE_CODE_AREA] = {};
  char text[TEXT_AREA] = {};
  const char* space = parameters ? std::strchr(parameters, ' ') : nullptr;
  if (!space || static_cast<std::size_t>(space - parameters) >= LANGUAGE_CODE_AREA) {
    ShowCommandError();
    return 1;
  }
  std::memcpy(code, parameters, static_cast<std::size_t>(space - parameters));
  std::strncpy(text, space, TEXT_AREA - 1);

  const char* trimmed = text;
  while (IsCSpace(*trimmed)) ++trimmed;

  if (!result) return 1;
  ResultBuffer out(result, RESULT_BUFFER_CAPACITY);
  TranslateInto(out, trimmed, code);
  return 1;
}
