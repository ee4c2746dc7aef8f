#include "plugin/toast.h"
#include "plugin/exports.h"

#include "support/stand_in_test.h"

#include <gmock/gmock.h>

#include <string>

using ::testing::ElementsAre;

namespace {

// What the host's window would copy out of the record while the broadcast is delivered.
struct Received {
  HWND window = nullptr;
  UINT message = 0;
  LPARAM form = -1;
  const void* title = nullptr;
  std::string message8;
  std::u16string message16;
  DWORD param = 0;
  DWORD flag = 0;
  DWORD reserved = 0xDEADBEEF;
};

class ToastTest : public StandInTest {
 protected:
  void SetUp() override {
    StandInTest::SetUp();
    standin::SetSendMessageHandler(
        [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
          const auto* record = reinterpret_cast<const ToastRecord*>(wParam);
          got.window = window;
          got.message = message;
          got.form = lParam;
          got.title = record->title;
          if (lParam == TOAST_FROM_WIDE)
            got.message16 = static_cast<const char16_t*>(record->message);
          else
            got.message8 = static_cast<const char*>(record->message);
          got.param = record->param;
          got.flag = record->flag;
          got.reserved = record->reserved;
          return 0x1234;
        });
  }
  Received got;
};

TEST_F(ToastTest, AnsiToastBroadcastsTheRegisteredMessageWithTheRecord) {
  const char* title = "Title";
  EXPECT_EQ(DisplayToastExport("Hello", title, 77, TRUE), 0x1234);
  EXPECT_THAT(standin::CallNames(), ElementsAre("RegisterWindowMessageA", "SendMessageA"));
  EXPECT_EQ(Args("RegisterWindowMessageA")[0], "MessengerPlus_DisplayToast");
  EXPECT_EQ(got.window, HWND_BROADCAST);
  EXPECT_EQ(got.message, 0xC000u);
  EXPECT_EQ(got.form, 0);
  EXPECT_EQ(got.title, title);
  EXPECT_EQ(got.message8, "Hello");
  EXPECT_EQ(got.param, 77u);
  EXPECT_EQ(got.reserved, 0u);
}

TEST_F(ToastTest, WideToastSendsItsOwnCopyWithLParamOne) {
  const char16_t* title = u"T";
  EXPECT_EQ(DisplayToastWExport(u"H\u00e9llo", title, 5, FALSE), 0x1234);
  EXPECT_EQ(got.form, 1);
  EXPECT_EQ(got.title, title);
  EXPECT_EQ(got.message16, u"H\u00e9llo");
  EXPECT_EQ(got.reserved, 0u);
}

TEST_F(ToastTest, LongMessagesAreCutTo255CharactersInBothForms) {
  const std::string long8(300, 'm');
  const std::u16string long16(300, u'w');
  DisplayToastExport(long8.c_str(), "t", 0, FALSE);
  EXPECT_EQ(got.message8, long8.substr(0, 255));
  DisplayToastWExport(long16.c_str(), u"t", 0, FALSE);
  EXPECT_EQ(got.message16, long16.substr(0, 255));
  DisplayToastExport(long8.substr(0, 255).c_str(), "t", 0, FALSE);
  EXPECT_EQ(got.message8.size(), 255u);
}

TEST_F(ToastTest, OnlyTheLowByteOfTheFlagCounts) {
  const struct {
    BOOL flag;
    DWORD expected;
  } cases[] = {{1, 0xFFFFFFFF}, {255, 0xFFFFFFFF}, {0, 0}, {256, 0}, {0x101, 0xFFFFFFFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flag);
    DisplayToastExport("m", "t", 0, c.flag);
    EXPECT_EQ(got.flag, c.expected);
    DisplayToastWExport(u"m", u"t", 0, c.flag);
    EXPECT_EQ(got.flag, c.expected);
  }
}

TEST_F(ToastTest, NullMessageIsSentEmpty) {
  DisplayToastExport(nullptr, "t", 0, FALSE);
  EXPECT_EQ(got.message8, "");
  DisplayToastWExport(nullptr, u"t", 0, FALSE);
  EXPECT_EQ(got.message16, u"");
}

TEST_F(ToastTest, EveryCallRegistersTheSameMessage) {
  DisplayToastExport("a", "t", 0, FALSE);
  const UINT first = got.message;
  DisplayToastWExport(u"b", u"t", 0, FALSE);
  EXPECT_EQ(got.message, first);
  EXPECT_EQ(standin::CallsTo("RegisterWindowMessageA").size(), 2u);
}

}  // namespace
