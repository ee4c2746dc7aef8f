#include "help_text_codes.h"

#include "wire/wire_contract.h"

namespace service {

const std::vector<HelpTextCode>& HelpTextCodes() {
#define CODE_ENTRY(code, shown, description) {code, description},
  static const std::vector<HelpTextCode> codes = {WIRE_HELP_CODES(CODE_ENTRY)};
#undef CODE_ENTRY
  return codes;
}

}  // namespace service
