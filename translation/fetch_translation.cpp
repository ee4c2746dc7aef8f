#include "fetch_translation.h"

#include "net/internet_client.h"

#include <cstring>

namespace {

bool NeedsEscaping(unsigned char byte) {
  return byte == '%' || byte == '&' || byte == '#' || byte == '+' || byte == '=' ||
         (byte >= 0x01 && byte <= 0x1F) || byte >= 0x7F;
}

void AppendEscaped(std::string& path, const char* text) {
  static const char HEX[] = "0123456789ABCDEF";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (NeedsEscaping(*p)) {
      path += '%';
      path += HEX[*p >> 4];
      path += HEX[*p & 0x0F];
    } else {
      path += static_cast<char>(*p);
    }
  }
}

// Closes the client's handles when the exchange is left by an exception.
class CloseOnUnwind {
 public:
  explicit CloseOnUnwind(InternetClient& client) : client_(client) {}
  CloseOnUnwind(const CloseOnUnwind&) = delete;
  CloseOnUnwind& operator=(const CloseOnUnwind&) = delete;
  ~CloseOnUnwind() {
    if (armed_) client_.Close();
  }
  void Disarm() { armed_ = false; }

 private:
  InternetClient& client_;
  bool armed_ = true;
};

// Empty result when anything on the way failed.
bool FetchPage(const std::string& path, std::string& page) {
  InternetClient client;
  if (!client.Connect(TRANSLATION_SERVICE_URL, nullptr, nullptr, TRANSLATION_USER_AGENT))
    return false;
  CloseOnUnwind closeOnUnwind(client);
  if (client.Request(path.c_str(), REQUEST_GET, nullptr)) {
    char buffer[RESPONSE_READ_BLOCK];
    while (DWORD count = client.Response(buffer, RESPONSE_READ_BLOCK)) page.append(buffer, count);
  }
  closeOnUnwind.Disarm();
  client.Close();
  return !page.empty();
}

}  // namespace

std::string BuildTranslationPath(const char* text, const char* languagePair) {
  std::string path = TRANSLATION_PATH_PREFIX;
  AppendEscaped(path, text);
  path += LANGUAGE_PAIR_KEY;
  AppendEscaped(path, languagePair);
  return path;
}

bool ExtractTranslation(const std::string& page, std::string& translation) {
  const std::size_t start = page.find(TRANSLATION_START_MARKER);
  if (start == std::string::npos) return false;
  const std::size_t from = start + std::strlen(TRANSLATION_START_MARKER);
  const std::size_t end = page.find(TRANSLATION_END_MARKER, from);
  translation = page.substr(from, end == std::string::npos ? std::string::npos : end - from);
  return true;
}

std::string FetchTranslation(const char* text, const char* languagePair) {
  try {
    std::string page;
    std::string translation;
    if (text && languagePair && FetchPage(BuildTranslationPath(text, languagePair), page) &&
        ExtractTranslation(page, translation))
      return translation;
    return TRANSLATION_FAILED_TEXT;
  } catch (...) {
    return TRANSLATION_FAILED_TEXT;
  }
}
