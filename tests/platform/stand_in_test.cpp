#include "support/stand_in_test.h"

// A block left live here is freed by Reset, or LeakSanitizer (linux-sanitize) reports it.
TEST_F(StandInTest, ResetLeavesNothingBehind) {
  EXPECT_EQ(RegisterWindowMessageA("first"), 0xC000u);
  ASSERT_NE(HeapAlloc(GetProcessHeap(), 0, 64), nullptr);
  InternetOpenA("agent", 0, nullptr, nullptr, 0);
  standin::FailCall("InternetOpenA");
  SetLastError(5);

  standin::Reset();
  EXPECT_EQ(standin::LiveHeapBlocks(), 0);
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(RegisterWindowMessageA("second"), 0xC000u);
  EXPECT_EQ(standin::HandleName(InternetOpenA("agent", 0, nullptr, nullptr, 0)), "h1");
  EXPECT_EQ(standin::Calls().size(), 2u);
}
