#include "host/step_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = Step::Kind;

Step Expect(Kind kind, std::vector<std::uint32_t> numbers = {}, bool noBuffer = false) {
  Step step;
  step.kind = kind;
  step.numbers = std::move(numbers);
  step.noBuffer = noBuffer;
  return step;
}

Step Command(std::string word, std::string parameters) {
  Step step = Expect(Kind::kCommand);
  step.word = std::move(word);
  step.parameters = std::move(parameters);
  return step;
}

Step Records(std::string records) {
  Step step = Expect(Kind::kPublishInfo);
  step.records = std::move(records);
  return step;
}

Step Toast(Kind kind, std::vector<std::uint32_t> numbers, std::vector<unsigned> title,
           std::vector<unsigned> message) {
  Step step = Expect(kind, std::move(numbers));
  step.title = std::move(title);
  step.message = std::move(message);
  return step;
}

struct StepCase {
  const char* name;
  const char* line;
  Step want;
};

const Kind kUnknown = Kind::kUnknownAction;

const StepCase kCases[] = {
    {"CommandCutAtFirstSpace", "/xtrn fr_en  Un test", Command("/xtrn", "fr_en  Un test")},
    {"CommandWithoutSpace", "/xtrn", Command("/xtrn", "")},
    {"SlashAlone", "/", Command("/", "")},
    {"NoSlashNoDashes", "xtrn fr_en", Expect(Kind::kNotACommand)},
    {"EmptyLine", "", Expect(Kind::kNotACommand)},
    {"OneDash", "-configure", Expect(Kind::kNotACommand)},
    {"Configure", "--configure", Expect(Kind::kConfigure)},
    {"ConfigureTakesNoArguments", "--configure=1", Expect(kUnknown)},
    {"PublishInfoAllByDefault", "--publish-info", Records("123")},
    {"PublishInfoSome", "--publish-info=13", Records("13")},
    {"PublishInfoNone", "--publish-info=", Records("")},
    {"PublishInfoNoRecordFour", "--publish-info=124", Expect(kUnknown)},
    {"ParseTagZerosByDefault", "--parse-tag", Expect(Kind::kParseTag, {0, 0})},
    {"ParseTagHex", "--parse-tag=0xffffffff,0x80000000",
     Expect(Kind::kParseTag, {4294967295u, 2147483648u})},
    {"ParseTagNoBuffer", "--parse-tag=1,2,null", Expect(Kind::kParseTag, {1, 2}, true)},
    {"ParseTagOneNumber", "--parse-tag=1", Expect(kUnknown)},
    {"ParseTagThirdNotNull", "--parse-tag=1,2,3", Expect(kUnknown)},
    {"ParseTagEmptyNumber", "--parse-tag=,2", Expect(kUnknown)},
    {"ParseTagTrailingLetter", "--parse-tag=1,2x", Expect(kUnknown)},
    {"ParseTagNameExact", "--parse-tags=1,2", Expect(kUnknown)},
    {"ReceiveNotifyZerosByDefault", "--receive-notify", Expect(Kind::kReceiveNotify, {0, 0, 0})},
    {"ReceiveNotifyNoBuffer", "--receive-notify=1,2,3,null",
     Expect(Kind::kReceiveNotify, {1, 2, 3}, true)},
    {"ReceiveNotifyTwoNumbers", "--receive-notify=1,2", Expect(kUnknown)},
    {"ReceiveNotifyPastNull", "--receive-notify=1,2,3,null,4", Expect(kUnknown)},
    {"ToastMessageKeepsCommas", "--toast=1,0x10,T,a,b", Toast(Kind::kToast, {1, 16}, {'T'},
                                                              {'a', ',', 'b'})},
    {"ToastEscapes", R"(--toast=0,0,\\\"\n\r\t,\x41\xFf)",
     Toast(Kind::kToast, {0, 0}, {'\\', '"', '\n', '\r', '\t'}, {0x41, 0xFF})},
    {"ToastWideUnits", R"(--toast-wide=0,0,\u20ac,\xe9)",
     Toast(Kind::kToastWide, {0, 0}, {0x20AC}, {0xE9})},
    {"ToastHighByteOneUnit", "--toast=0,0,t,\xA5", Toast(Kind::kToast, {0, 0}, {'t'}, {0xA5})},
    {"ToastAnsiHasNoU", R"(--toast=0,0,\u20ac,m)", Expect(kUnknown)},
    {"ToastHexNotDigit", R"(--toast=0,0,t,\xg1)", Expect(kUnknown)},
    {"ToastHexCutShort", R"(--toast=0,0,t,\x4)", Expect(kUnknown)},
    {"ToastUnknownEscape", R"(--toast=0,0,t,\q)", Expect(kUnknown)},
    {"ToastTrailingBackslash", R"(--toast=0,0,t,m\)", Expect(kUnknown)},
    {"ToastThreeParts", "--toast=0,0,t", Expect(kUnknown)},
    {"ToastWithoutArguments", "--toast-wide", Expect(kUnknown)},
    {"UnknownAction", "--frobnicate", Expect(kUnknown)},
};

class StepParserTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(StepParserTest, ReadsLine) {
  const Step got = ParseStep(GetParam().line);
  const Step& want = GetParam().want;
  EXPECT_EQ(static_cast<int>(got.kind), static_cast<int>(want.kind));
  EXPECT_EQ(got.word, want.word);
  EXPECT_EQ(got.parameters, want.parameters);
  EXPECT_EQ(got.records, want.records);
  EXPECT_EQ(got.numbers, want.numbers);
  EXPECT_EQ(got.noBuffer, want.noBuffer);
  EXPECT_EQ(got.title, want.title);
  EXPECT_EQ(got.message, want.message);
}

INSTANTIATE_TEST_SUITE_P(Lines, StepParserTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
