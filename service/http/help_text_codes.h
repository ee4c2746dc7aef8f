// The language codes the plug-in's help box offers its users, so the service's pages can say
// which of them it serves.
#pragma once

#include <vector>

namespace service {

struct HelpTextCode {
  const char* code;
  const char* description;
};

// All 36, in the help box's order.
const std::vector<HelpTextCode>& HelpTextCodes();

}  // namespace service
