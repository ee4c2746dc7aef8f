#include "host_session.h"

#include "output.h"

#include <vector>

namespace {

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

void HostSession::Run(const std::string& line) {
  const Step step = ParseStep(line);
  if (step.kind == Step::Kind::kNotACommand)
    PrintLine("not a command " + Quote(line));
  else if (step.kind == Step::Kind::kCommand)
    RunCommand(line, step);
  else
    RunAction(line, step);
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

void HostSession::RunCommand(const std::string& line, const Step& step) {
  PrintLine("command " + Quote(line));
  SentinelArea buffer(RESULT_BUFFER_CAPACITY, RESULT_BUFFER_GUARD);
  const int result = plugin_.parseCommand(step.word.c_str(), step.parameters.c_str(), 0,
                                          reinterpret_cast<char*>(buffer.data()));
  const std::string head = result ? "result " + std::to_string(result) : "not handled";
  PrintLine(head + " " + ResultText(buffer));
  ReportBufferFaults(buffer);
}

void HostSession::RunAction(const std::string& line, const Step& step) {
  PrintLine("action " + Quote(line));
  switch (step.kind) {
    case Step::Kind::kConfigure:
      PrintLine("configure returned " + std::to_string(plugin_.configure()));
      break;
    case Step::Kind::kPublishInfo: PublishInfo(step.records); break;
    case Step::Kind::kParseTag:
    case Step::Kind::kReceiveNotify: PassNumbers(step); break;
    case Step::Kind::kToast:
    case Step::Kind::kToastWide: Toast(step); break;
    default: Fault("unknown action " + Quote(line));
  }
}

void HostSession::PublishInfo(const std::string& records) {
  const bool passInfo = records.find('1') != std::string::npos;
  const bool passTable = records.find('2') != std::string::npos;
  const bool passThird = records.find('3') != std::string::npos;

  SentinelArea info(PLUGIN_INFO_SIZE, RECORD_GUARD);
  SentinelArea table(COMMAND_TABLE_SIZE, RECORD_GUARD);
  SentinelArea third(THIRD_RECORD_SIZE, RECORD_GUARD);
  const int result =
      plugin_.publishInfo(passInfo ? info.data() : nullptr, passTable ? table.data() : nullptr,
                          passThird ? third.data() : nullptr);
  PrintLine("published publish-info=" + std::to_string(result));

  const auto report = [this](int number, const SentinelArea& record,
                             const std::vector<ByteRange>& fields) {
    const std::vector<ByteRange> outside = record.ChangedOutside(fields);
    if (!outside.empty()) faultSeen_ = true;
    PrintLine("published record=" + std::to_string(number) +
              " size=" + std::to_string(record.size()) +
              " changed=" + FormatRanges(record.Changed()) + " outside=" + FormatRanges(outside));
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
}

void HostSession::PassNumbers(const Step& step) {
  const bool parseTag = step.kind == Step::Kind::kParseTag;
  const std::vector<std::uint32_t>& n = step.numbers;
  SentinelArea buffer(RESULT_BUFFER_CAPACITY, RESULT_BUFFER_GUARD);
  char* const result = step.noBuffer ? nullptr : reinterpret_cast<char*>(buffer.data());
  const int returned = parseTag ? plugin_.parseTag(n[0], n[1], result)
                                : plugin_.receiveNotify(n[0], n[1], n[2], result);
  PrintLine(std::string(parseTag ? "parse-tag" : "receive-notify") + " returned " +
            std::to_string(returned) + " " +
            (step.noBuffer ? std::string("no buffer") : ResultText(buffer)));
  ReportBufferFaults(buffer);
}

void HostSession::Toast(const Step& step) {
  const DWORD param = step.numbers[0];
  const BOOL flag = static_cast<BOOL>(step.numbers[1]);
  if (step.kind == Step::Kind::kToastWide) {
    const std::wstring title = FromUnits<std::wstring>(step.title);
    const std::wstring message = FromUnits<std::wstring>(step.message);
    const LRESULT result = plugin_.displayToastW(message.c_str(), title.c_str(), param, flag);
    PrintLine("display-toast-wide returned " + std::to_string(result));
  } else {
    const std::string title = FromUnits<std::string>(step.title);
    const std::string message = FromUnits<std::string>(step.message);
    const LRESULT result = plugin_.displayToast(message.c_str(), title.c_str(), param, flag);
    PrintLine("display-toast returned " + std::to_string(result));
  }
}
