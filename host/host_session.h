#pragma once

#include "plugin_library.h"
#include "sentinel_area.h"
#include "step_parser.h"

#include <string>

// Bytes of every result buffer the host passes, terminator included; guard bytes follow it.
inline constexpr std::size_t RESULT_BUFFER_CAPACITY = 4096;
inline constexpr std::size_t RESULT_BUFFER_GUARD = 1024;

// The records PublishInfo fills. Their sizes and the command table's entry width are the
// host's; the table holds three arrays of 6400 bytes at 4, 6404 and 12804.
inline constexpr std::size_t PLUGIN_INFO_SIZE = 512;
inline constexpr std::size_t COMMAND_ARRAY_SIZE = 6400;
inline constexpr std::size_t COMMAND_DESCRIPTIONS_OFFSET = 4;
inline constexpr std::size_t COMMAND_WORDS_OFFSET =
    COMMAND_DESCRIPTIONS_OFFSET + COMMAND_ARRAY_SIZE;
inline constexpr std::size_t COMMAND_HINTS_OFFSET = COMMAND_WORDS_OFFSET + COMMAND_ARRAY_SIZE;
inline constexpr std::size_t COMMAND_TABLE_SIZE = COMMAND_HINTS_OFFSET + COMMAND_ARRAY_SIZE;
inline constexpr std::size_t COMMAND_ENTRY_WIDTH = 128;
inline constexpr std::size_t COMMAND_ENTRIES = COMMAND_ARRAY_SIZE / COMMAND_ENTRY_WIDTH;
inline constexpr std::size_t THIRD_RECORD_SIZE = 256;
inline constexpr std::size_t RECORD_GUARD = 256;

// One run of the host over a loaded plug-in: Start, any number of steps, Stop. Every step and
// everything the plug-in shows is printed as it happens.
class HostSession {
 public:
  explicit HostSession(PluginLibrary& plugin) : plugin_(plugin) {}

  // Initialize, then PublishInfo with all three records.
  void Start();
  // A line starting with "/" is a command for ParseCommand; one starting with "--" is an
  // action of the host (see the usage text); anything else is no command.
  void Run(const std::string& line);
  void Stop();

  // True once the plug-in wrote where it must not (past a buffer, outside the published
  // fields) or left a result unterminated, or a step could not be understood.
  bool FaultSeen() const { return faultSeen_; }

 private:
  void RunCommand(const std::string& line, const Step& step);
  void RunAction(const std::string& line, const Step& step);
  void PublishInfo(const std::string& records);
  // ParseTag and ReceiveNotify: the numbers and a result buffer (or none).
  void PassNumbers(const Step& step);
  void Toast(const Step& step);
  static std::string ResultText(const SentinelArea& buffer);
  void ReportBufferFaults(const SentinelArea& buffer);
  void Fault(const std::string& line);

  PluginLibrary& plugin_;
  bool faultSeen_ = false;
};
