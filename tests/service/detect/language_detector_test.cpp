// Chat lines as users paste them, with the language each is in written out; the candidates are
// every language the detector knows unless the row names them, as a target-only code does.
#include "service/detect/language_detector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using service::detect::Detection;
using service::detect::LanguageDetector;

struct ChatLine {
  const char* name;
  const char* text;
  std::vector<std::string> candidates;
  const char* expected;   // "" where no candidate has evidence
  double confidence = 0;  // the answer's, where the row gives one
};

static const ChatLine kLines[] = {
    {"SpanishGreeting", "hola que tal", {}, "es"},
    {"EnglishGreeting", "hi, how are you?", {}, "en"},
    {"EnglishThreeWords", "I love you", {}, "en"},
    {"FrenchThreeWords", "Je ne sais pas", {}, "fr"},
    {"FrenchQuestion", "Tu viens ce soir ?", {}, "fr"},
    {"ItalianSentence", "La tua password non è corretta", {}, "it"},
    {"ItalianThreeWords", "ciao come stai", {}, "it"},
    {"PortugueseThreeWords", "muito obrigado amigo", {}, "pt"},
    {"PortugueseQuestion", "Você vai para casa hoje?", {}, "pt"},
    {"PortugueseContractionSpanishVerb", "Data da Factura", {}, "pt"},
    {"GermanQuestion", "Wie geht es dir heute?", {}, "de"},
    {"DutchQuestion", "Hoe gaat het met je vandaag?", {}, "nl"},
    {"Greek", "Καλημέρα σε όλους", {}, "el"},
    {"Russian", "Как дела?", {}, "ru"},
    {"Korean", "안녕하세요", {}, "ko"},
    {"JapaneseKanaAndKanji", "今日は暑いですね", {}, "ja"},
    {"SimplifiedChinese", "这个问题很简单", {}, "zh"},
    {"TraditionalChinese", "這個問題很簡單", {}, "zt"},
    // Characters both forms write alike leave Simplified ahead, by a margin that shows it.
    {"ChineseAlikeGreeting", "你好", {}, "zh", 0.55},
    {"ChineseAlikeName", "中文", {}, "zh", 0.55},
    {"ChineseAlikeCld2ReadsJapanese", "大家好", {}, "zh"},
    {"TraditionalOnlyForms", "這是繁體中文", {}, "zt"},
    {"TraditionalThanks", "謝謝", {}, "zt", 0.75},
    {"TraditionalStudy", "學習", {}, "zt"},
    {"SimplifiedOnlyForms", "这是简体中文", {}, "zh"},
    {"SimplifiedThanks", "谢谢", {}, "zh", 0.75},
    {"SimplifiedStudy", "学习", {}, "zh"},
    {"LinkAndNameLeftOut", "@johnsmith mira esto https://example.com/the/house/is/red", {}, "es"},
    {"EnglishWordsInAFrenchLink", "merci beaucoup www.thankyou.com/very/much", {}, "fr"},
    {"LinkAlone", "https://example.com/hello/world", {}, ""},
    {"NameAndTagAlone", "@marie #party", {}, ""},
    {"Digits", "12345 678,90", {}, ""},
    {"EmoticonsAlone", ":) <3 :-(", {}, ""},
    {"Empty", "", {}, ""},
    {"AlreadyInTheTarget", "How are you today?", {"fr", "es", "en"}, "en"},
    {"OnlyTheCandidatesCount", "Καλημέρα σε όλους", {"fr", "es", "en"}, ""},
    {"UnknownCandidatesIgnored", "Как дела?", {"xx", "ru"}, "ru"},
};

class LanguageDetectorTest : public ::testing::TestWithParam<ChatLine> {
 protected:
  static void SetUpTestSuite() { detector_ = new LanguageDetector(); }
  static void TearDownTestSuite() {
    delete detector_;
    detector_ = nullptr;
  }
  static LanguageDetector* detector_;
};

LanguageDetector* LanguageDetectorTest::detector_ = nullptr;

TEST_P(LanguageDetectorTest, FindsTheLanguageOrSaysNone) {
  const ChatLine& line = GetParam();
  Detection detection = detector_->Detect(line.text, line.candidates);
  EXPECT_EQ(detection.language.value_or(""), line.expected);
  if (detection.language) {
    ASSERT_FALSE(detection.candidates.empty());
    EXPECT_EQ(detection.candidates.front().language, line.expected);
    if (line.confidence > 0) {
      EXPECT_DOUBLE_EQ(detection.candidates.front().confidence, line.confidence);
    }
  } else {
    EXPECT_TRUE(detection.candidates.empty());
  }
  for (std::size_t i = 0; i < detection.candidates.size(); ++i) {
    SCOPED_TRACE(detection.candidates[i].language);
    EXPECT_GT(detection.candidates[i].confidence, 0.0);
    EXPECT_LE(detection.candidates[i].confidence, 1.0);
    if (i > 0) {
      EXPECT_LE(detection.candidates[i].confidence, detection.candidates[i - 1].confidence);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ChatLines, LanguageDetectorTest, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageDetector, LoadsTheAnalysersAndTheSpellingDictionaries) {
  LanguageDetector detector;
  EXPECT_EQ(detector.AnalysedLanguages(),
            (std::vector<std::string>{"de", "en", "es", "fr", "it", "nl", "pt"}));
}

TEST(LanguageDetector, WithoutAnalysersStillReadsTheWritingSystem) {
  LanguageDetector detector("/nonexistent", "/nonexistent");
  EXPECT_TRUE(detector.AnalysedLanguages().empty());
  EXPECT_EQ(detector.Detect("Как дела?").language.value_or(""), "ru");
}

// A dictionary in a legacy charset would be asked UTF-8 words it cannot match: the start fails
// rather than German losing its words unseen.
TEST(LanguageDetector, ADictionaryNotInUtf8StopsTheStart) {
  char folder[] = "/tmp/latin1-dictionary-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::ofstream(std::string(folder) + "/de_DE.aff") << "SET ISO8859-1\n";
  std::ofstream(std::string(folder) + "/de_DE.dic") << "1\nHaus\n";
  EXPECT_THROW(LanguageDetector("/nonexistent", folder), std::runtime_error);
  std::filesystem::remove_all(folder);
}

}  // namespace
