#include "target_code_list.h"

#include "pages.h"
#include "service/detect/language_detector.h"

#include <map>

namespace service {

std::string TargetCodeList(const std::vector<Route>& routes) {
  std::map<std::string, std::vector<const Route*>> by_target;
  for (const Route& route : routes) {
    if (route.code.size() == 5 && route.code[2] == '_') {
      by_target[route.code.substr(3)].push_back(&route);
    }
  }
  std::string list =
      "<h2>Codes that name only the target</h2>\n"
      "<p>The source language is detected among those with a route to the target; a text "
      "already in the target language comes back as typed.</p>\n<ul>\n";
  for (const auto& [target, sources] : by_target) {
    list += "<li><code>" + EscapeHtml(target) + "</code> or <code>auto_" + EscapeHtml(target) +
            "</code>: into " + EscapeHtml(detect::LanguageTitle(target)) + " from";
    const char* separator = " ";
    for (const Route* route : sources) {
      list += separator + EscapeHtml(detect::LanguageTitle(route->code.substr(0, 2))) + " (<code>" +
              EscapeHtml(route->code) + "</code>, " + EscapeHtml(route->engine) + ")";
      separator = ", ";
    }
    list += "</li>\n";
  }
  return list + "</ul>\n";
}

}  // namespace service
