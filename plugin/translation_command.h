#pragma once

// Command word, compared without regard to the case of ASCII letters.
inline constexpr const char* COMMAND_WORD = "/xtrn";
// The code area holds a code of up to 5 characters and its terminator.
inline constexpr unsigned LANGUAGE_CODE_AREA = 6;
// The text area holds up to 4079 characters of the parameter text from its first space.
inline constexpr unsigned TEXT_AREA = 4080;

inline constexpr const char* COMMAND_ERROR_MESSAGE = "See the help";
inline constexpr const char* COMMAND_ERROR_TITLE = "Mirelskan Command error";

// Runs one /xtrn command: 0 when the command word is another, else 1. Writes at most
// RESULT_BUFFER_CAPACITY bytes into result; a null result makes no request.
int RunTranslationCommand(const char* command, const char* parameters, char* result);
