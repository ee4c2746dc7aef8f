// What the host prints: one event per line on standard output, strings in double quotes with C
// escapes, so that a test can compare the lines as they are.
#pragma once

#include <string>
#include <string_view>

// The bytes in double quotes: \\ \" \n \r \t, and \xHH (lower-case) for other bytes below 0x20
// or from 0x7F on.
std::string Quote(std::string_view bytes);

// UTF-16 text as UTF-8, for printing what the wide toast form sent.
std::string Utf8FromWide(const wchar_t* text, std::size_t length);

// Writes the line and a line feed, and flushes so that lines keep their order with whatever
// else the process writes.
void PrintLine(const std::string& line);
