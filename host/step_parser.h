// The steps plugin-host takes, read from their text alone: no Win32 here, so the reading is
// tested natively. See HOST_USAGE for the forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Step {
  enum class Kind {
    kNotACommand,    // neither "/" nor "--" first
    kUnknownAction,  // "--" first, but no action the host understands
    kCommand,
    kConfigure,
    kPublishInfo,
    kParseTag,
    kReceiveNotify,
    kToast,
    kToastWide,
  };
  Kind kind = Kind::kNotACommand;
  // kCommand: "/word" and the text after the first space (empty without a space).
  std::string word;
  std::string parameters;
  // kPublishInfo: which of the records "1", "2", "3" to pass; the others are null.
  std::string records;
  // kParseTag, kReceiveNotify: their DWORD arguments; kToast, kToastWide: param and flag. As
  // strtoul reads them (decimal or 0x hex), cut to 32 bits.
  std::vector<std::uint32_t> numbers;
  // kParseTag, kReceiveNotify: pass no result buffer.
  bool noBuffer = false;
  // kToast, kToastWide: the escapes decoded, one unit each (UTF-16 units for the wide form).
  std::vector<unsigned> title;
  std::vector<unsigned> message;
};

Step ParseStep(const std::string& line);
