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

class ClientRequestTest : public StandInTest {
 protected:
  static void Connect(InternetClient& client, const char* url = "http://localhost") {
    ASSERT_TRUE(client.Connect(url, nullptr, nullptr, "agent"));
  }
};
