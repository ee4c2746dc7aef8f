#include "service/engine/upstream/apy_engine.h"

#include <gtest/gtest.h>

namespace {

using service::upstream::ApyApi;
using service::upstream::UpstreamPair;

TEST(ApyApi, MapsThreeLetterCodesKeepingTheUpstreamsSpelling) {
  const char* listed = R"({"responseData": [
      {"sourceLanguage": "fre", "targetLanguage": "ger"},
      {"sourceLanguage": "zho", "targetLanguage": "eng"},
      {"sourceLanguage": "chi", "targetLanguage": "kor"},
      {"sourceLanguage": "eng", "targetLanguage": "cmn"},
      {"sourceLanguage": "dut", "targetLanguage": "gre"},
      {"sourceLanguage": "spa", "targetLanguage": "por_BR"},
      {"sourceLanguage": "oci", "targetLanguage": "cat"},
      {"sourceLanguage": "eng", "targetLanguage": "eng"}],
    "responseDetails": null, "responseStatus": 200})";
  std::vector<std::string> read;
  for (const UpstreamPair& pair : ApyApi().ReadPairs(listed)) {
    read.push_back(pair.code + " " + pair.source + "|" + pair.target);
  }
  EXPECT_EQ(read, (std::vector<std::string>{"en_zh eng|cmn", "fr_de fre|ger", "nl_el dut|gre",
                                            "zh_en zho|eng", "zh_ko chi|kor"}));
}

TEST(ApyApi, TakesOnlyAWholeTranslation) {
  struct Case {
    const char* name;
    const char* body;
    const char* text;  // nullptr: not whole
  };
  static const Case kCases[] = {
      {"whole", R"({"responseData": {"translatedText": "Hola"}, "responseStatus": 200})", "Hola"},
      {"cut", R"({"responseData": {"translatedText": "Hola"}, "responseSta)", nullptr},
      {"status 500", R"({"responseData": {"translatedText": "Hola"}, "responseStatus": 500})",
       nullptr},
      {"no status", R"({"responseData": {"translatedText": "Hola"}})", nullptr},
      {"null text", R"({"responseData": {"translatedText": null}, "responseStatus": 200})",
       nullptr},
      {"no data", R"({"responseData": null, "responseStatus": 200})", nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.text) {
      EXPECT_EQ(ApyApi().ReadTranslation(c.body), c.text);
    } else {
      EXPECT_ANY_THROW(ApyApi().ReadTranslation(c.body));
    }
  }
}

}  // namespace
