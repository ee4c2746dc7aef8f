#include "net/internet_client.h"

#include "client_test_support.h"
#include "win32_stand_in.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

struct Field {
  const char* name;
  const char* value;
  bool isFile;
};

class FormPostTest : public ClientRequestTest {
 protected:
  static void AddFields(InternetClient& client, const std::vector<Field>& fields) {
    for (const Field& f : fields) client.AddFormField(f.name, f.value, f.isFile);
  }
};

struct BodyCase {
  const char* name;
  std::vector<Field> fields;
  std::string body;
};

const BodyCase kBodyCases[] = {
    {"empty list", {}, ""},
    {"one field", {{"a", "b", false}}, "a=b"},
    {"two fields", {{"a", "1", false}, {"b", "2", false}}, "a=1&b=2"},
    {"empty name and value", {{"", "", false}}, "="},
    {"two empty fields", {{"", "", false}, {"", "", false}}, "=&="},
    {"separators sent unchanged", {{"k", "x y&z=1", false}}, "k=x y&z=1"},
    {"file flag sends the path as text", {{"doc", "C:\\f.txt", true}}, "doc=C:\\f.txt"},
    {"percent, plus and high bytes unchanged",
     {{"caf\xE9", "100%+\xFF", false}, {"n", "v", false}},
     "caf\xE9=100%+\xFF&n=v"},
};

TEST_F(FormPostTest, SendsBodyByteForByte) {
  for (const BodyCase& c : kBodyCases) {
    SCOPED_TRACE(c.name);
    standin::Reset();
    InternetClient client;
    Connect(client);
    AddFields(client, c.fields);

    EXPECT_EQ(client.FormBodyLength(), c.body.size());
    ASSERT_TRUE(client.Request("/form", REQUEST_POST, nullptr));

    ASSERT_EQ(standin::SentBodies().size(), 1u);
    EXPECT_EQ(standin::SentBodies()[0], c.body);
    const std::string length = std::to_string(c.body.size());
    EXPECT_EQ(Args("HttpSendRequestA"),
              (Strings{"h3", "Content-Type: application/x-www-form-urlencoded\r\n", "49", "<ptr>",
                       length}));
    EXPECT_EQ(Args("HeapAlloc"), (Strings{"<ptr>", "8", std::to_string(c.body.size() + 1)}));
    EXPECT_EQ(CountCalls("HeapFree"), 1u);
    EXPECT_EQ(standin::LiveHeapBlocks(), 0);
    EXPECT_EQ(CountCalls("CreateFileA"), 0u);
    EXPECT_NE(client.RequestHandle(), nullptr);
  }
}

struct CapacityCase {
  const char* name;
  std::vector<Field> fields;
  DWORD capacity;
  DWORD result;
  std::string written;  // the buffer's front afterwards; the rest keeps its filler
};

const CapacityCase kCapacityCases[] = {
    {"capacity equal to the length", {{"a", "1", false}, {"b", "2", false}}, 7, 0, ""},
    {"capacity one short of the length", {{"a", "1", false}, {"b", "2", false}}, 6, 0, ""},
    {"zero capacity", {{"a", "b", false}}, 0, 0, ""},
    {"room for the terminator",
     {{"a", "1", false}, {"b", "2", false}},
     8,
     7,
     std::string("a=1&b=2\0", 8)},
    {"more room than needed", {{"a", "b", false}}, 16, 3, std::string("a=b\0", 4)},
    {"empty list", {}, 16, 0, ""},
};

TEST_F(FormPostTest, WriteFormBodyHonoursCapacity) {
  for (const CapacityCase& c : kCapacityCases) {
    SCOPED_TRACE(c.name);
    InternetClient client;
    AddFields(client, c.fields);
    std::string buffer(32, '#');
    EXPECT_EQ(client.WriteFormBody(&buffer[0], c.capacity), c.result);
    EXPECT_EQ(buffer.substr(0, c.written.size()), c.written);
    EXPECT_EQ(buffer.substr(c.written.size()), std::string(32 - c.written.size(), '#'));
  }
}

TEST_F(FormPostTest, WritePairWritesNoTerminator) {
  FormField field;
  field.name = "key";
  field.value = "v a";
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(field.WritePair(buffer), 7u);
  EXPECT_EQ(std::string(buffer, 8), "key=v a#");
}

TEST_F(FormPostTest, OpensPostWithFlagsPerProtocol) {
  for (const ProtocolCase& c : kProtocolCases) {
    SCOPED_TRACE(c.url);
    standin::Reset();
    InternetClient client;
    Connect(client, c.url);
    ASSERT_TRUE(client.Request("/p?q=1", REQUEST_POST, c.referrer));
    EXPECT_EQ(Args("HttpOpenRequestA"),
              (Strings{"h2", "POST", "/p?q=1", "HTTP/1.0", c.referrer ? c.referrer : "<null>",
                       "[*/*]", c.flags, "0"}));
    EXPECT_EQ(Args("HttpAddRequestHeadersA"),
              (Strings{"h3", "Accept: */*\r\n", "13", "2147483648"}));
  }
}

TEST_F(FormPostTest, SetsCookiesBeforeTakingTheBody) {
  InternetClient client;
  Connect(client);
  client.AddCookie("s", "1");
  client.AddCookie("t", "2");
  client.AddFormField("a", "b", false);
  const std::size_t start = standin::Calls().size();
  ASSERT_TRUE(client.Request("/form", REQUEST_POST, nullptr));

  std::vector<std::string> names;
  for (std::size_t i = start; i < standin::Calls().size(); ++i)
    names.push_back(standin::Calls()[i].function);
  EXPECT_EQ(names, (Strings{"HttpOpenRequestA", "HttpAddRequestHeadersA", "InternetSetCookieA",
                            "InternetSetCookieA", "HeapAlloc", "HttpSendRequestA", "HeapFree"}));
  EXPECT_EQ(Args("InternetSetCookieA", 1), (Strings{"http://localhost/form", "t", "2"}));
}

struct SendCase {
  const char* name;
  bool fails;
  DWORD lastError;
  bool sent;
};

const SendCase kSendCases[] = {
    {"send succeeds", false, 0, true},
    {"redirect needs confirmation counts as sent", true, 12168, true},
    {"cannot connect", true, 12029, false},
    {"no reason given", true, 0, false},
};

TEST_F(FormPostTest, SendResultFollowsTheRedirectRule) {
  for (const SendCase& c : kSendCases) {
    SCOPED_TRACE(c.name);
    for (const bool direct : {false, true}) {
      standin::Reset();
      if (c.fails) standin::FailCall("HttpSendRequestA", 1, c.lastError);
      InternetClient client;
      Connect(client);
      client.AddFormField("a", "b", false);
      if (direct) {
        EXPECT_EQ(RaisedBy([&] { client.RequestPost("/form", nullptr); }),
                  c.sent ? "<nothing raised>" : "request failed...");
      } else {
        EXPECT_EQ(client.Request("/form", REQUEST_POST, nullptr), c.sent);
        EXPECT_EQ(client.RequestHandle() != nullptr, c.sent);
        EXPECT_EQ(standin::OpenInternetHandles(), c.sent ? 3 : 2);
      }
      EXPECT_EQ(standin::SentBodies(), (Strings{"a=b"}));
      EXPECT_EQ(CountCalls("HeapFree"), 1u);
      EXPECT_EQ(standin::LiveHeapBlocks(), 0);
    }
  }
}

}  // namespace
