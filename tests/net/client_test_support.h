// What the client's request tests share: a connected client, raised messages, call counts.
#pragma once

#include "net/internet_client.h"
#include "support/stand_in_test.h"

#include <string>

// The message a request operation raised, or a marker when it returned.
template <typename Operation>
std::string RaisedBy(Operation operation) {
  try {
    operation();
  } catch (const char* message) {
    return message;
  }
  return "<nothing raised>";
}

inline std::size_t CountCalls(const std::string& function) {
  return standin::CallsTo(function).size();
}

// The flags both POST kinds open their request with, per scheme.
struct ProtocolCase {
  const char* url;
  const char* referrer;
  std::string flags;
};

inline const ProtocolCase kProtocolCases[] = {
    {"http://localhost", nullptr, "71303232"},         // 0x04400040
    {"https://localhost", "http://ref/", "79691840"},  // 0x04C00040
    {"ftp://localhost", nullptr, "71303232"},
};

class ClientRequestTest : public StandInTest {
 protected:
  static void Connect(InternetClient& client, const char* url = "http://localhost") {
    ASSERT_TRUE(client.Connect(url, nullptr, nullptr, "agent"));
  }
};
