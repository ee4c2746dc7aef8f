// What both POST kinds must release when they fail before or while sending: one table, run
// against the form POST and the multipart POST, each through Request and called directly.
#include "client_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum Kinds { FORM = 1, MULTIPART = 2, BOTH = FORM | MULTIPART };

struct FailureRow {
  const char* name;
  int kinds;
  bool connect;
  void (*script)();
  const char* message;
  std::size_t blocksAsked;
  std::size_t blocksReleased;
  std::size_t cookiesSet;
};

const FailureRow kFailureRows[] = {
    {"NotConnected", BOTH, false, [] {}, "handle not opened...", 0, 0, 0},
    {"RequestNotOpened", BOTH, true, [] { standin::FailCall("HttpOpenRequestA"); },
     "request failed...", 0, 0, 0},
    {"RequestOpenedAsInvalidHandle", BOTH, true,
     [] { standin::FailCallWithInvalidHandle("HttpOpenRequestA"); }, "request failed...", 0, 0, 0},
    {"AcceptHeaderRefused", BOTH, true, [] { standin::FailCall("HttpAddRequestHeadersA", 1); },
     "additional header failed...", 0, 0, 0},
    {"ContentTypeRefused", MULTIPART, true, [] { standin::FailCall("HttpAddRequestHeadersA", 2); },
     "additional header failed...", 0, 0, 0},
    {"FirstCookieRefused", BOTH, true, [] { standin::FailCall("InternetSetCookieA", 1); },
     "add cookie failed...", 0, 0, 1},
    {"SecondCookieRefused", BOTH, true, [] { standin::FailCall("InternetSetCookieA", 2); },
     "add cookie failed...", 0, 0, 2},
    {"HeapRefusesTheBodyBlock", BOTH, true,
     [] { standin::FailCall("HeapAlloc", 1, ERROR_NOT_ENOUGH_MEMORY); },
     "body allocation failed...", 1, 0, 2},
    {"ContentLengthRefused", MULTIPART, true,
     [] { standin::FailCall("HttpAddRequestHeadersA", 3); }, "additional header failed...", 1, 1,
     2},
    // The multipart send sequence reports without dots.
    {"SendRefused", MULTIPART, true, [] { standin::FailCall("HttpSendRequestExA"); },
     "request failed", 1, 1, 2},
    {"WriteRefused", MULTIPART, true, [] { standin::FailCall("InternetWriteFile"); },
     "request failed", 1, 1, 2},
    {"EndRefused", MULTIPART, true, [] { standin::FailCall("HttpEndRequestA"); }, "request failed",
     1, 1, 2},
};

struct FailureParam {
  const FailureRow* row;
  bool multipart;
  bool direct;  // the request operation itself, which raises, rather than Request
};

std::vector<FailureParam> FailureParams() {
  std::vector<FailureParam> params;
  for (const FailureRow& row : kFailureRows) {
    for (const bool multipart : {false, true}) {
      if ((row.kinds & (multipart ? MULTIPART : FORM)) == 0) continue;
      for (const bool direct : {false, true}) params.push_back({&row, multipart, direct});
    }
  }
  return params;
}

std::string FailureName(const ::testing::TestParamInfo<FailureParam>& info) {
  return std::string(info.param.row->name) + (info.param.multipart ? "_Multipart" : "_Form") +
         (info.param.direct ? "_Direct" : "_ThroughRequest");
}

class PostFailureTest : public ClientRequestTest,
                        public ::testing::WithParamInterface<FailureParam> {};

TEST_P(PostFailureTest, ReleasesWhatItTook) {
  const FailureRow& row = *GetParam().row;
  const bool multipart = GetParam().multipart;
  standin::AddFile("C:\\t.txt", "xyz");
  row.script();
  InternetClient client;
  if (row.connect) Connect(client);
  client.AddCookie("s", "1");
  client.AddCookie("t", "2");
  client.AddFormField("a", "b", false);
  if (multipart) client.AddFormField("f", "C:\\t.txt", true);
  if (GetParam().direct) {
    EXPECT_EQ(RaisedBy([&] {
                multipart ? client.RequestPostMultipart("/post", nullptr)
                          : client.RequestPost("/post", nullptr);
              }),
              row.message);
  } else {
    EXPECT_FALSE(
        client.Request("/post", multipart ? REQUEST_POST_MULTIPART : REQUEST_POST, nullptr));
    EXPECT_EQ(client.RequestHandle(), nullptr);
    EXPECT_EQ(standin::OpenInternetHandles(), row.connect ? 2 : 0);
  }
  EXPECT_EQ(CountCalls("InternetSetCookieA"), row.cookiesSet);
  EXPECT_EQ(CountCalls("HeapAlloc"), row.blocksAsked);
  EXPECT_EQ(CountCalls("HeapFree"), row.blocksReleased);
  EXPECT_EQ(standin::LiveHeapBlocks(), 0);
  EXPECT_EQ(standin::OpenFileHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Post, PostFailureTest, ::testing::ValuesIn(FailureParams()), FailureName);

}  // namespace
