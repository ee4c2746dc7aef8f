#pragma once

#include <cstddef>

inline constexpr const char* PLUGIN_NAME = "Mirelskan Plugin";
inline constexpr const char* COMMAND_DESCRIPTION = "To translate text";
inline constexpr const char* COMMAND_NAME = "xtrn";
inline constexpr const char* COMMAND_PARAMETER_HINT = "langue_code text to translate";

// Where the host's command table keeps command 0's strings.
inline constexpr std::size_t COMMAND_COUNT_OFFSET = 0;
inline constexpr std::size_t COMMAND_DESCRIPTIONS_OFFSET = 4;
inline constexpr std::size_t COMMAND_NAMES_OFFSET = 6404;
inline constexpr std::size_t COMMAND_HINTS_OFFSET = 12804;

// Writes the plug-in's name and command table into the host's records, touching no other
// byte; a null record is skipped.
void PublishPluginInfo(void* pluginInfo, void* commandTable, void* thirdRecord);

// Writes the empty string when the host gave a buffer.
void WriteEmptyResult(char* result);
