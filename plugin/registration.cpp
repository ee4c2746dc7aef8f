#include "registration.h"

#include <cstdint>
#include <cstring>

namespace {

void CopyWithTerminator(void* record, std::size_t offset, const char* text) {
  std::memcpy(static_cast<unsigned char*>(record) + offset, text, std::strlen(text) + 1);
}

// Little-endian, like the host's records.
void WriteUint32(void* record, std::size_t offset, std::uint32_t value) {
  unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  std::memcpy(static_cast<unsigned char*>(record) + offset, bytes, sizeof bytes);
}

}  // namespace

void PublishPluginInfo(void* pluginInfo, void* commandTable, void* thirdRecord) {
  if (pluginInfo) CopyWithTerminator(pluginInfo, 0, PLUGIN_NAME);
  if (commandTable) {
    WriteUint32(commandTable, COMMAND_COUNT_OFFSET, 1);
    CopyWithTerminator(commandTable, COMMAND_DESCRIPTIONS_OFFSET, COMMAND_DESCRIPTION);
    CopyWithTerminator(commandTable, COMMAND_NAMES_OFFSET, COMMAND_NAME);
    CopyWithTerminator(commandTable, COMMAND_HINTS_OFFSET, COMMAND_PARAMETER_HINT);
  }
  if (thirdRecord) WriteUint32(thirdRecord, 0, 0);
}

void WriteEmptyResult(char* result) {
  if (result) result[0] = '\0';
}
