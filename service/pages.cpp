#include "pages.h"

namespace service {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What may follow '<' for an HTML parser to leave text and start a tag, comment or the like.
bool OpensMarkup(char next) {
  return IsAsciiLetter(next) || next == '/' || next == '!' || next == '?';
}

// What may follow '&' for an HTML parser to read a named or numeric character reference.
bool StartsReference(char next) { return IsAsciiLetter(next) || next == '#'; }

std::string PairList(const std::vector<LanguagePair>& pairs) {
  std::string list = "<ul>\n";
  for (const LanguagePair& pair : pairs) {
    list += "<li><code>" + EscapeHtml(pair.code) + "</code> " + EscapeHtml(pair.description) +
            "</li>\n";
  }
  return list + "</ul>\n";
}

std::string Page(std::string_view title, std::string_view body) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta name=viewport content=\"width=device-width\">"
      "<title>";
  page.append(EscapeHtml(title)).append("</title></head>\n<body>\n").append(body);
  return page + "</body></html>\n";
}

}  // namespace

std::string EscapeTranslation(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '<' && OpensMarkup(next)) {
      escaped += "&lt;";
    } else if (text[i] == '&' && StartsReference(next)) {
      escaped += "&amp;";
    } else {
      escaped += text[i];
    }
  }
  return escaped;
}

std::string EscapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string ResultPage(std::string_view escaped_translation) {
  std::string body = "<table><tr>";
  body.append(kTranslationStartMarker)
      .append(escaped_translation)
      .append(kTranslationEndMarker)
      .append("</tr></table>\n<p><a href=\"/\">More translation options</a></p>\n");
  return Page("Translation", body);
}

std::string MessagePage(std::string_view title, std::string_view message,
                        const std::vector<LanguagePair>& pairs) {
  std::string body = "<h1>" + EscapeHtml(title) + "</h1>\n<p>" + EscapeHtml(message) + "</p>\n";
  if (!pairs.empty()) body += "<p>Available language pairs:</p>\n" + PairList(pairs);
  return Page(title, body);
}

std::string IndexPage(const std::vector<LanguagePair>& pairs) {
  std::string body =
      "<h1>Translation</h1>\n"
      "<form action=\"/tr\" method=\"get\" accept-charset=\"UTF-8\">\n"
      "<p><textarea name=\"trtext\" rows=\"6\" cols=\"60\" required></textarea></p>\n"
      "<p><label>Language pair <select name=\"lp\">\n";
  for (const LanguagePair& pair : pairs) {
    body += "<option value=\"" + EscapeHtml(pair.code) + "\">" + EscapeHtml(pair.code) + " - " +
            EscapeHtml(pair.description) + "</option>\n";
  }
  body +=
      "</select></label> <button type=\"submit\">Translate</button></p>\n</form>\n"
      "<h2>Language pairs</h2>\n";
  body += pairs.empty() ? "<p>No language pair is available.</p>\n" : PairList(pairs);
  return Page("Translation", body);
}

}  // namespace service
