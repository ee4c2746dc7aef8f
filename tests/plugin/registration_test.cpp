#include "plugin/exports.h"
#include "plugin/help_text.h"

#include "support/stand_in_test.h"

#include <gmock/gmock.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HelpText, HasFiftyThreeLinesWithTheCodeTableAndServiceAddress) {
  const std::string text = HelpText;
  ASSERT_NE(text.back(), '\n');
  const auto lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 53u);
  EXPECT_EQ(lines[0], "\tMirelskan plugin v.1.0");
  EXPECT_EQ(lines[7], "/xtrn fr_en Un petit test de traduction");
  EXPECT_EQ(lines[8], "will return \"A little translation test");
  EXPECT_EQ(lines[13], "zh_en ->Simple chinese to english");
  EXPECT_EQ(lines[43], "ko_en ->Correan to english");
  EXPECT_EQ(lines[48], "es_fr ->Spanish to french");
  EXPECT_EQ(lines[50], "go to http://localhost for more translation options");
  EXPECT_EQ(lines[52][0], '\t');
  for (std::size_t i = 13; i < 49; ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_EQ(lines[i].substr(5, 3), " ->");
    EXPECT_EQ(lines[i][2], '_');
  }
  for (std::size_t blank : {1, 2, 4, 9, 10, 12, 49, 51}) EXPECT_EQ(lines[blank], "");
}

class RegistrationTest : public StandInTest {};

TEST_F(RegistrationTest, PublishInfoWritesOnlyItsBytes) {
  const unsigned char S = 0xA5;
  std::vector<unsigned char> info(64, S), table(19300, S), third(16, S);
  EXPECT_EQ(PublishInfo(info.data(), table.data(), third.data()), 1);

  EXPECT_EQ(std::memcmp(info.data(), "Mirelskan Plugin", 17), 0);
  EXPECT_EQ(std::memcmp(table.data(), "\x01\x00\x00\x00", 4), 0);
  EXPECT_EQ(std::memcmp(table.data() + 4, "To translate text", 18), 0);
  EXPECT_EQ(std::memcmp(table.data() + 6404, "xtrn", 5), 0);
  EXPECT_EQ(std::memcmp(table.data() + 12804, "langue_code text to translate", 30), 0);
  EXPECT_EQ(std::memcmp(third.data(), "\0\0\0\0", 4), 0);

  auto untouched = [&](const std::vector<unsigned char>& record, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (record[i] != S) return false;
    return true;
  };
  EXPECT_TRUE(untouched(info, 17, info.size()));
  EXPECT_TRUE(untouched(table, 22, 6404));
  EXPECT_TRUE(untouched(table, 6409, 12804));
  EXPECT_TRUE(untouched(table, 12834, table.size()));
  EXPECT_TRUE(untouched(third, 4, third.size()));
}

TEST_F(RegistrationTest, PublishInfoSkipsNullRecords) {
  std::vector<unsigned char> table(19300, 0xA5);
  EXPECT_EQ(PublishInfo(nullptr, table.data(), nullptr), 1);
  EXPECT_EQ(std::memcmp(table.data() + 6404, "xtrn", 5), 0);
}

TEST_F(RegistrationTest, IdleEntryPointsAnswerWithoutSideEffects) {
  char buffer[8] = "full";
  EXPECT_EQ(ParseTag(1, 2, buffer), 0);
  EXPECT_STREQ(buffer, "");
  std::strcpy(buffer, "full");
  EXPECT_EQ(ReceiveNotify(1, 2, 3, buffer), 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(ParseTag(0, 0, nullptr), 0);
  EXPECT_EQ(ReceiveNotify(0, 0, 0, nullptr), 1);
  EXPECT_EQ(Initialize(7, 8, 9), 1);
  Uninitialize();
  EXPECT_TRUE(standin::Calls().empty());
}

TEST_F(RegistrationTest, ConfigureShowsTheHelpBoxAndPassesOnItsResult) {
  EXPECT_EQ(Configure(), IDOK);
  ASSERT_EQ(standin::MessageBoxes().size(), 1u);
  EXPECT_EQ(standin::MessageBoxes()[0].caption, "About Mirelskan Plugin");
  EXPECT_EQ(standin::MessageBoxes()[0].text, HelpText);
  standin::SetMessageBoxResult(0);
  EXPECT_EQ(Configure(), 0);
}

}  // namespace
