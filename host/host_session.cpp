#include "host_session.h"

#include "output.h"

#include <cstdlib>
#include <vector>

const char HOST_USAGE[] =
    "usage: plugin-host.exe <plug-in DLL> [STEP...]\n"
    "       plugin-host.exe <plug-in DLL> --interactive\n"
    "\n"
    "Loads the plug-in by path, calls Initialize and PublishInfo (lines starting with\n"
    "\"published\"), runs each STEP in order (with no STEP, each line of standard input),\n"
    "then calls Uninitialize. Toasts reach a hidden top-level window; message boxes are\n"
    "printed and closed at once. --interactive reads steps from standard input as well, and\n"
    "prints \"ready\" once the plug-in is loaded and \"done\" after each step, for a program\n"
    "that drives the host through pipes.\n"
    "\n"
    "Steps:\n"
    "  /word [parameters]    ParseCommand with \"/word\" and the text after the first space\n"
    "                        (empty without a space), a 4096-byte result buffer and 0\n"
    "  --configure           Configure\n"
    "  --parse-tag[=A,B[,null]]\n"
    "                        ParseTag with the values A and B (default 0,0); \"null\" passes\n"
    "                        no result buffer\n"
    "  --receive-notify[=A,B,C[,null]]\n"
    "                        ReceiveNotify likewise (default 0,0,0)\n"
    "  --toast=PARAM,FLAG,TITLE,MESSAGE\n"
    "                        _DisplayToast@16 called directly. PARAM and FLAG in decimal or\n"
    "                        0x hex; TITLE and MESSAGE take the escapes \\\\ \\\" \\n \\r \\t \\xHH;\n"
    "                        MESSAGE runs to the end and may hold commas\n"
    "  --toast-wide=PARAM,FLAG,TITLE,MESSAGE\n"
    "                        _DisplayToastW@16 likewise: each byte and each \\xHH is one\n"
    "                        UTF-16 unit of that value, \\uHHHH any unit\n"
    "  --publish-info[=RECORDS]\n"
    "                        PublishInfo again; RECORDS names which of the records 1, 2, 3\n"
    "                        to pass (default 123), the others are null\n"
    "  anything else         printed as not a command\n"
    "\n"
    "Output: one event per line; strings in double quotes with the escapes \\\\ \\\" \\n \\r \\t\n"
    "and \\xHH (lower-case) for other bytes below 0x20 or from 0x7F on; wide strings as UTF-8.\n"
    "  command \"<line>\"\n"
    "  result <n> \"<buffer>\" | result <n> unchanged | not handled \"<buffer>\" | not handled unchanged\n"
    "  overrun <n> guard bytes          the plug-in wrote past the result buffer\n"
    "  unterminated result              no terminator within the result buffer\n"
    "  toast form=ansi|wide lparam=0|1 title=\"...\" message=\"...\" param=<n> flag=0x<hex>\n"
    "        reserved=0x<hex>    (a null address prints as null; another lParam as\n"
    "        form=unknown lparam=<n>, without the strings)\n"
    "  messagebox caption=\"...\" text=\"...\"\n"
    "  action \"<step>\", then one of: configure returned <n>;\n"
    "        parse-tag returned <n> \"<buffer>\"|unchanged|no buffer; receive-notify likewise;\n"
    "        display-toast returned <n>; display-toast-wide returned <n>\n"
    "  published initialize=<n> | publish-info=<n> | name=\"...\" | commands=<n> |\n"
    "        command=<i> word=\"...\" description=\"...\" hint=\"...\" | third=<n> |\n"
    "        record=<1|2|3> size=<n> changed=<ranges> outside=<ranges>\n"
    "        (ranges of bytes, first-last, that no longer hold the host's fill byte; outside\n"
    "        counts those beyond the published fields, guard bytes after the record included)\n"
    "  not a command \"<line>\" | unknown action \"<step>\"\n"
    "\n"
    "Exit status: 0; 1 if the plug-in wrote where it must not, left a result unterminated,\n"
    "or a step was not understood; 2 if the plug-in could not be loaded.\n";

namespace {

// Splits at commas into at most `parts` pieces; the last piece takes the rest.
std::vector<std::string> SplitArguments(const std::string& text, std::size_t parts) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (pieces.size() + 1 < parts) {
    const std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) break;
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

bool ParseNumber(const std::string& text, unsigned long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, 0);
  return *end == '\0';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Each plain byte is one unit of its value; \uHHHH only where units may exceed a byte.
bool DecodeEscapes(const std::string& text, bool wide, std::vector<unsigned>& units) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte != '\\') {
      units.push_back(byte);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': units.push_back('\\'); break;
      case '"': units.push_back('"'); break;
      case 'n': units.push_back('\n'); break;
      case 'r': units.push_back('\r'); break;
      case 't': units.push_back('\t'); break;
      case 'x':
      case 'u': {
        const std::size_t digits = text[i] == 'x' ? 2 : 4;
        if (text[i] == 'u' && !wide) return false;
        if (i + digits >= text.size()) return false;
        unsigned unit = 0;
        for (std::size_t d = 1; d <= digits; ++d) {
          const int value = HexDigit(text[i + d]);
          if (value < 0) return false;
          unit = unit * 16 + static_cast<unsigned>(value);
        }
        units.push_back(unit);
        i += digits;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

template <typename Text>
Text FromUnits(const std::vector<unsigned>& units) {
  Text text;
  for (const unsigned unit : units) text += static_cast<typename Text::value_type>(unit);
  return text;
}

// The string field at offset, bounded by its width; the bytes it owns, terminator included.
std::string ReadField(const SentinelArea& record, std::size_t offset, std::size_t width,
                      std::vector<ByteRange>& fields) {
  bool terminated = false;
  std::string text = record.StringAt(offset, offset + width, &terminated);
  fields.push_back({offset, offset + (terminated ? text.size() : width - 1)});
  return text;
}

}  // namespace

void HostSession::Fault(const std::string& line) {
  faultSeen_ = true;
  PrintLine(line);
}

void HostSession::Start() {
  PrintLine("published initialize=" + std::to_string(plugin_.initialize(0, 0, 0)));
  PublishInfo("123");
}

void HostSession::Stop() { plugin_.uninitialize(); }

void HostSession::Run(const std::string& step) {
  if (step.compare(0, 1, "/") == 0)
    RunCommand(step);
  else if (step.compare(0, 2, "--") == 0)
    RunAction(step);
  else
    PrintLine("not a command " + Quote(step));
}

std::string HostSession::ResultText(const SentinelArea& buffer) {
  if (buffer.Unchanged()) return "unchanged";
  return Quote(buffer.StringAt(0, buffer.size()));
}

// After the result line, so that line keeps its fixed form.
void HostSession::ReportBufferFaults(const SentinelArea& buffer) {
  if (const std::size_t overrun = buffer.GuardBytesChanged())
    Fault("overrun " + std::to_string(overrun) + " guard bytes");
  bool terminated = true;
  if (!buffer.Unchanged()) buffer.StringAt(0, buffer.size(), &terminated);
  if (!terminated) Fault("unterminated result");
}

void HostSession::RunCommand(const std::string& line) {
  PrintLine("command " + Quote(line));
  const std::size_t space = line.find(' ');
  const std::string word = line.substr(0, space);
  const std::string parameters = space == std::string::npos ? "" : line.substr(space + 1);

  SentinelArea buffer(RESULT_BUFFER_CAPACITY, RESULT_BUFFER_GUARD);
  const int result = plugin_.parseCommand(word.c_str(), parameters.c_str(), 0,
                                          reinterpret_cast<char*>(buffer.data()));
  const std::string head = result ? "result " + std::to_string(result) : "not handled";
  PrintLine(head + " " + ResultText(buffer));
  ReportBufferFaults(buffer);
}

void HostSession::RunAction(const std::string& action) {
  const std::size_t equals = action.find('=');
  const std::string name = action.substr(0, equals);
  const bool hasArguments = equals != std::string::npos;
  const std::string arguments = hasArguments ? action.substr(equals + 1) : "";

  PrintLine("action " + Quote(action));
  bool understood = false;
  if (name == "--configure" && !hasArguments) {
    PrintLine("configure returned " + std::to_string(plugin_.configure()));
    understood = true;
  } else if (name == "--publish-info") {
    understood = PublishInfo(hasArguments ? arguments : "123");
  } else if (name == "--parse-tag") {
    understood = ParseTag(hasArguments ? arguments : "0,0");
  } else if (name == "--receive-notify") {
    understood = ReceiveNotify(hasArguments ? arguments : "0,0,0");
  } else if ((name == "--toast" || name == "--toast-wide") && hasArguments) {
    understood = Toast(arguments, name == "--toast-wide");
  }
  if (!understood) Fault("unknown action " + Quote(action));
}

bool HostSession::PublishInfo(const std::string& records) {
  if (records.find_first_not_of("123") != std::string::npos) return false;
  const bool passInfo = records.find('1') != std::string::npos;
  const bool passTable = records.find('2') != std::string::npos;
  const bool passThird = records.find('3') != std::string::npos;

  SentinelArea info(PLUGIN_INFO_SIZE, RECORD_GUARD);
  SentinelArea table(COMMAND_TABLE_SIZE, RECORD_GUARD);
  SentinelArea third(THIRD_RECORD_SIZE, RECORD_GUARD);
  const int result = plugin_.publishInfo(passInfo ? info.data() : nullptr,
                                         passTable ? table.data() : nullptr,
                                         passThird ? third.data() : nullptr);
  PrintLine("published publish-info=" + std::to_string(result));

  const auto report = [this](int number, const SentinelArea& record,
                             const std::vector<ByteRange>& fields) {
    const std::vector<ByteRange> outside = record.ChangedOutside(fields);
    if (!outside.empty()) faultSeen_ = true;
    PrintLine("published record=" + std::to_string(number) + " size=" +
              std::to_string(record.size()) + " changed=" + FormatRanges(record.Changed()) +
              " outside=" + FormatRanges(outside));
  };

  if (passInfo) {
    std::vector<ByteRange> fields;
    PrintLine("published name=" + Quote(ReadField(info, 0, PLUGIN_INFO_SIZE, fields)));
    report(1, info, fields);
  }
  if (passTable) {
    std::vector<ByteRange> fields = {{0, 3}};
    const unsigned long count = table.Uint32At(0);
    PrintLine("published commands=" + std::to_string(count));
    for (std::size_t i = 0; i < count && i < COMMAND_ENTRIES; ++i) {
      const std::size_t entry = i * COMMAND_ENTRY_WIDTH;
      const std::string word =
          ReadField(table, COMMAND_WORDS_OFFSET + entry, COMMAND_ENTRY_WIDTH, fields);
      const std::string description =
          ReadField(table, COMMAND_DESCRIPTIONS_OFFSET + entry, COMMAND_ENTRY_WIDTH, fields);
      const std::string hint =
          ReadField(table, COMMAND_HINTS_OFFSET + entry, COMMAND_ENTRY_WIDTH, fields);
      PrintLine("published command=" + std::to_string(i) + " word=" + Quote(word) +
                " description=" + Quote(description) + " hint=" + Quote(hint));
    }
    report(2, table, fields);
  }
  if (passThird) {
    PrintLine("published third=" + std::to_string(third.Uint32At(0)));
    report(3, third, {{0, 3}});
  }
  return true;
}

bool HostSession::ParseTag(const std::string& arguments) {
  const std::vector<std::string> parts = SplitArguments(arguments, 3);
  unsigned long a = 0, b = 0;
  if (parts.size() < 2 || !ParseNumber(parts[0], a) || !ParseNumber(parts[1], b) ||
      (parts.size() == 3 && parts[2] != "null"))
    return false;

  SentinelArea buffer(RESULT_BUFFER_CAPACITY, RESULT_BUFFER_GUARD);
  const bool noBuffer = parts.size() == 3;
  const int result = plugin_.parseTag(a, b, noBuffer ? nullptr : reinterpret_cast<char*>(buffer.data()));
  PrintLine("parse-tag returned " + std::to_string(result) + " " +
            (noBuffer ? std::string("no buffer") : ResultText(buffer)));
  ReportBufferFaults(buffer);
  return true;
}

bool HostSession::ReceiveNotify(const std::string& arguments) {
  const std::vector<std::string> parts = SplitArguments(arguments, 4);
  unsigned long a = 0, b = 0, c = 0;
  if (parts.size() < 3 || !ParseNumber(parts[0], a) || !ParseNumber(parts[1], b) ||
      !ParseNumber(parts[2], c) || (parts.size() == 4 && parts[3] != "null"))
    return false;

  SentinelArea buffer(RESULT_BUFFER_CAPACITY, RESULT_BUFFER_GUARD);
  const bool noBuffer = parts.size() == 4;
  const int result =
      plugin_.receiveNotify(a, b, c, noBuffer ? nullptr : reinterpret_cast<char*>(buffer.data()));
  PrintLine("receive-notify returned " + std::to_string(result) + " " +
            (noBuffer ? std::string("no buffer") : ResultText(buffer)));
  ReportBufferFaults(buffer);
  return true;
}

bool HostSession::Toast(const std::string& arguments, bool wide) {
  const std::vector<std::string> parts = SplitArguments(arguments, 4);
  unsigned long param = 0, flag = 0;
  std::vector<unsigned> title, message;
  if (parts.size() != 4 || !ParseNumber(parts[0], param) || !ParseNumber(parts[1], flag) ||
      !DecodeEscapes(parts[2], wide, title) || !DecodeEscapes(parts[3], wide, message))
    return false;

  const BOOL flagArgument = static_cast<BOOL>(static_cast<DWORD>(flag));
  if (wide) {
    const std::wstring wideTitle = FromUnits<std::wstring>(title);
    const std::wstring wideMessage = FromUnits<std::wstring>(message);
    const LRESULT result = plugin_.displayToastW(wideMessage.c_str(), wideTitle.c_str(),
                                                 static_cast<DWORD>(param), flagArgument);
    PrintLine("display-toast-wide returned " + std::to_string(result));
  } else {
    const std::string ansiTitle = FromUnits<std::string>(title);
    const std::string ansiMessage = FromUnits<std::string>(message);
    const LRESULT result = plugin_.displayToast(ansiMessage.c_str(), ansiTitle.c_str(),
                                                static_cast<DWORD>(param), flagArgument);
    PrintLine("display-toast returned " + std::to_string(result));
  }
  return true;
}
