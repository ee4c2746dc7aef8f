#include "host/step_parser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Every field a step sets, on one line; numbers and units in hex.
std::string Describe(const Step& step) {
  static const char* const kKinds[] = {"not-a-command",  "unknown", "command",
                                       "configure",      "publish", "parse-tag",
                                       "receive-notify", "toast",   "toast-wide"};
  std::ostringstream out;
  out << kKinds[static_cast<int>(step.kind)] << std::hex;
  if (step.kind == Step::Kind::kCommand) out << " [" << step.word << "][" << step.parameters << "]";
  if (step.kind == Step::Kind::kPublishInfo) out << " records=" << step.records;
  if (!step.numbers.empty()) out << " numbers";
  for (const std::uint32_t number : step.numbers) out << ' ' << number;
  if (step.noBuffer) out << " no-buffer";
  if (!step.title.empty()) out << " title";
  for (const unsigned unit : step.title) out << ' ' << unit;
  if (!step.message.empty()) out << " message";
  for (const unsigned unit : step.message) out << ' ' << unit;
  return out.str();
}

struct StepCase {
  const char* name;
  const char* line;
  const char* step;
};

const StepCase kCases[] = {
    {"CommandCutAtFirstSpace", "/xtrn fr_en  Un test", "command [/xtrn][fr_en  Un test]"},
    {"CommandWithoutSpace", "/xtrn", "command [/xtrn][]"},
    {"EmptyLine", "", "not-a-command"},
    {"OneDash", "-configure", "not-a-command"},
    {"Configure", "--configure", "configure"},
    {"ConfigureTakesNoArguments", "--configure=1", "unknown"},
    {"PublishInfoAllByDefault", "--publish-info", "publish records=123"},
    {"PublishInfoSome", "--publish-info=13", "publish records=13"},
    {"PublishInfoNone", "--publish-info=", "publish records="},
    {"PublishInfoNoRecordFour", "--publish-info=124", "unknown"},
    {"ParseTagZerosByDefault", "--parse-tag", "parse-tag numbers 0 0"},
    {"ParseTagHex", "--parse-tag=0xffffffff,2147483648", "parse-tag numbers ffffffff 80000000"},
    {"ParseTagNoBuffer", "--parse-tag=1,2,null", "parse-tag numbers 1 2 no-buffer"},
    {"ParseTagOneNumber", "--parse-tag=1", "unknown"},
    {"ParseTagThirdNotNull", "--parse-tag=1,2,3", "unknown"},
    {"ParseTagEmptyNumber", "--parse-tag=,2", "unknown"},
    {"ParseTagTrailingLetter", "--parse-tag=1,2x", "unknown"},
    {"ParseTagNameExact", "--parse-tags=1,2", "unknown"},
    {"NotifyZerosByDefault", "--receive-notify", "receive-notify numbers 0 0 0"},
    {"NotifyNoBuffer", "--receive-notify=1,2,3,null", "receive-notify numbers 1 2 3 no-buffer"},
    {"NotifyTwoNumbers", "--receive-notify=1,2", "unknown"},
    {"NotifyPastNull", "--receive-notify=1,2,3,null,4", "unknown"},
    {"ToastKeepsCommas", "--toast=1,0x10,T,a,b", "toast numbers 1 10 title 54 message 61 2c 62"},
    {"ToastEscapes", R"(--toast=0,0,\\\"\n\r\t,\x41\xFf)",
     "toast numbers 0 0 title 5c 22 a d 9 message 41 ff"},
    {"ToastWide", R"(--toast-wide=0,0,\u20ac,\xe9)",
     "toast-wide numbers 0 0 title 20ac message e9"},
    {"ToastHighByteOneUnit", "--toast=0,0,t,\xA5", "toast numbers 0 0 title 74 message a5"},
    {"ToastAnsiHasNoU", R"(--toast=0,0,\u20ac,m)", "unknown"},
    {"ToastHexNotDigit", R"(--toast=0,0,t,\xg1)", "unknown"},
    {"ToastHexCutShort", R"(--toast=0,0,t,\x4)", "unknown"},
    {"ToastUnknownEscape", R"(--toast=0,0,t,\q)", "unknown"},
    {"ToastTrailingBackslash", R"(--toast=0,0,t,m\)", "unknown"},
    {"ToastThreeParts", "--toast=0,0,t", "unknown"},
    {"ToastWithoutArguments", "--toast-wide", "unknown"},
    {"UnknownAction", "--frobnicate", "unknown"},
};

class StepParserTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(StepParserTest, ReadsLine) {
  EXPECT_EQ(Describe(ParseStep(GetParam().line)), GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(Lines, StepParserTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
