// The service's request decoding: any bytes percent-encoded come back whole, a field is found
// by its decoded name, and decoding never lengthens the text.
//
// Input: raw query \0 name \0 value \0 controls (controls[0] bit 0: lower-case hex digits)
#include "fuzz/fuzz_support.h"
#include "service/http/form_query.h"

namespace {

std::string PercentEncoded(const std::string& bytes, bool lowerCase) {
  const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char byte : bytes) {
    encoded += '%';
    encoded += digits[byte >> 4];
    encoded += digits[byte & 0x0F];
  }
  return encoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace service;
  const FuzzParts parts(data, size);
  const std::string& raw = parts.Part(0);
  const std::string& name = parts.Part(1);
  const std::string& value = parts.Part(2);
  const bool lowerCase = parts.Byte(3, 0) & 1;

  const std::string decoded = FormDecode(raw);
  Require(decoded.size() <= raw.size(), "decoding never lengthens");
  if (raw.find_first_of("%+") == std::string::npos)
    Require(decoded == raw, "text without '%' or '+' decodes to itself");
  Require(FormDecode(PercentEncoded(raw, lowerCase)) == raw, "every byte comes back");

  const std::string query =
      PercentEncoded(name, lowerCase) + "=" + PercentEncoded(value, !lowerCase) + "&" + raw;
  Require(FormField(query, name) == value, "the first field with the name gives its value");
  Require(FormField(raw + "&" + query, name).has_value(), "a field is found behind others");

  const std::string_view target = TargetQuery(raw);
  const std::size_t question = raw.find('?');
  Require(question == std::string::npos ? target.empty()
                                        : target == std::string_view(raw).substr(question + 1),
          "the query is what follows the first '?'");
  return 0;
}
