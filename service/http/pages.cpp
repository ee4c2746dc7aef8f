#include "pages.h"

#include "help_text_codes.h"

#include <algorithm>

namespace service {

namespace {

// Small and inline: the page must stand alone, with nothing fetched from elsewhere.
const char kStyle[] =
    "body{font-family:sans-serif;max-width:46em;margin:1.5em auto;padding:0 1em;color:#222;"
    "background:#f4f4f1}"
    "h1{font-size:1.4em}h2{font-size:1.1em;margin-top:1.5em}"
    "td.s{border:1px solid #bbb;white-space:pre-wrap}"
    "textarea{width:100%;box-sizing:border-box;font:inherit}"
    ".note{color:#8a4b00}"
    "table.codes{border-collapse:collapse}table.codes td{padding:2px 8px}"
    ".no{color:#888}";

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What may follow '<' for an HTML parser to leave text and start a tag, comment or the like.
bool OpensMarkup(char next) {
  return IsAsciiLetter(next) || next == '/' || next == '!' || next == '?';
}

// What may follow '&' for an HTML parser to read a named or numeric character reference.
bool StartsReference(char next) { return IsAsciiLetter(next) || next == '#'; }

std::string PairList(const std::vector<Route>& routes) {
  std::string list = "<ul>\n";
  for (const Route& route : routes) {
    list += "<li><code>" + EscapeHtml(route.code) + "</code> " + EscapeHtml(route.description) +
            "</li>\n";
  }
  return list + "</ul>\n";
}

std::string Document(std::string_view title, std::string_view body) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta name=viewport content=\"width=device-width\">"
      "<title>";
  page.append(EscapeHtml(title))
      .append("</title><style>")
      .append(kStyle)
      .append("</style></head>\n<body>\n")
      .append(body);
  return page + "</body></html>\n";
}

std::string Form(const FormState& form) {
  std::string body =
      "<form action=\"/tr\" method=\"get\" accept-charset=\"UTF-8\">\n"
      "<p><textarea name=\"trtext\" rows=\"6\" cols=\"60\" required>";
  body += EscapeHtml(form.text);
  body += "</textarea></p>\n<p><label>Language pair <select name=\"lp\">\n";
  for (const Route& route : *form.routes) {
    body += "<option value=\"" + EscapeHtml(route.code) + "\"" +
            (route.code == form.code ? " selected" : "") + ">" + EscapeHtml(route.code) + " - " +
            EscapeHtml(route.description) + "</option>\n";
  }
  return body + "</select></label> <button type=\"submit\">Translate</button></p>\n</form>\n";
}

// Sent to LibreTranslate's POST /suggest, which keeps it for the operator.
std::string SuggestionForm(const FormState& form) {
  return "<h2>Suggest a better translation</h2>\n"
         "<form action=\"/suggest\" method=\"post\" accept-charset=\"UTF-8\">\n"
         "<input type=\"hidden\" name=\"q\" value=\"" +
         EscapeHtml(form.text) + "\">\n<input type=\"hidden\" name=\"source\" value=\"" +
         EscapeHtml(form.source) + "\">\n<input type=\"hidden\" name=\"target\" value=\"" +
         EscapeHtml(form.target) + "\">\n<p><textarea name=\"s\" rows=\"3\" cols=\"60\" required>" +
         EscapeHtml(form.translation) +
         "</textarea></p>\n<p><button type=\"submit\">Suggest a better translation</button></p>\n"
         "</form>\n";
}

const Route* Served(const std::vector<Route>& routes, std::string_view code) {
  auto found = std::find_if(routes.begin(), routes.end(),
                            [&](const Route& route) { return route.code == code; });
  return found == routes.end() ? nullptr : &*found;
}

// The engines in the order they are asked: the first serves, the others take over when it fails.
std::string ServedBy(const Route& route) {
  std::string names;
  for (const std::string& name : route.order) names += (names.empty() ? "" : ", ") + name;
  return "served by " + EscapeHtml(names.empty() ? route.engine : names);
}

std::string CodeRow(std::string_view code, std::string_view description, const Route* route) {
  return std::string("<tr") + (route ? "" : " class=no") + "><td><code>" + EscapeHtml(code) +
         "</code></td><td>" + EscapeHtml(description) + "</td><td>" +
         (route ? ServedBy(*route) : "not served here") + "</td></tr>\n";
}

// The plug-in's help box lists codes this service may not have: say which it has, and by
// which engine.
std::string HelpTextCodeTable(const std::vector<Route>& routes) {
  const auto& codes = HelpTextCodes();
  auto served = std::count_if(codes.begin(), codes.end(),
                              [&](const HelpTextCode& c) { return Served(routes, c.code); });
  std::string table = "<h2>The plug-in's language codes</h2>\n<p>This service serves " +
                      std::to_string(served) + " of the " + std::to_string(codes.size()) +
                      " codes the plug-in's help lists.</p>\n<table class=codes>\n";
  for (const HelpTextCode& code : codes) {
    table += CodeRow(code.code, code.description, Served(routes, code.code));
  }
  table += "</table>\n";
  std::string others;
  for (const Route& route : routes) {
    bool listed = std::any_of(codes.begin(), codes.end(),
                              [&](const HelpTextCode& c) { return route.code == c.code; });
    if (!listed) others += CodeRow(route.code, route.description, &route);
  }
  if (!others.empty()) {
    table += "<p>Also served, though not in the help:</p>\n<table class=codes>\n" + others +
             "</table>\n";
  }
  return table;
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

std::string GuardEndMarker(std::string_view text) {
  std::string guarded(text);
  for (std::size_t at = 0; (at = guarded.find(kTranslationEndMarker, at)) != std::string::npos;) {
    guarded.replace(at, 1, "&lt;");
  }
  return guarded;
}

std::string EscapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

std::string ResultPage(std::string_view escaped_translation, const FormState& form) {
  std::string body = "<h1>Translation</h1>\n";
  if (!form.detected.empty()) {
    body += "<p class=detected>Detected: " + EscapeHtml(form.detected) + "</p>\n";
  }
  body += "<table><tr>";
  body.append(kTranslationStartMarker)
      .append(escaped_translation)
      .append(kTranslationEndMarker)
      .append("</tr></table>\n");
  if (IsBlank(form.text)) {
    body += "<p class=note>There was nothing to translate: type a text below.</p>\n";
  }
  if (!form.translation.empty()) body += SuggestionForm(form);
  body += Form(form) + "<p><a href=\"/\">All language pairs</a></p>\n";
  return Document("Translation", body);
}

std::string MessagePage(std::string_view title, std::string_view message,
                        const std::vector<Route>& routes) {
  std::string body = "<h1>" + EscapeHtml(title) + "</h1>\n<p>" + EscapeHtml(message) + "</p>\n";
  if (!routes.empty()) body += "<p>Available language pairs:</p>\n" + PairList(routes);
  body += "<p><a href=\"/\">Back to the translation form</a></p>\n";
  return Document(title, body);
}

std::string IndexPage(const std::vector<Route>& routes, std::string_view more) {
  std::string body = "<h1>Translation</h1>\n";
  FormState empty;
  empty.routes = &routes;
  body += Form(empty);
  body += "<h2>Language pairs</h2>\n";
  body += routes.empty() ? "<p>No language pair is available.</p>\n" : PairList(routes);
  body.append(more);
  return Document("Translation", body + HelpTextCodeTable(routes));
}

}  // namespace service
