#pragma once

#include "platform/win32.h"

#include <string>

// One entry of a client's form-field list. A file field's value is the path of the local
// file whose contents a multipart POST sends.
struct FormField {
  std::string name;
  std::string value;
  unsigned char isFile = 0;

  // Writes name=value (no terminator) at destination, which the caller sized; returns its length.
  DWORD WritePair(char* destination) const;
  // Writes this field's multipart part at destination, which the caller sized; returns its length.
  DWORD WritePart(char* destination, const char* boundary) const;
};

struct ClientCookie {
  std::string name;
  std::string value;
};
