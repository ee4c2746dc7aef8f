#include "step_parser.h"

#include <cstdlib>

namespace {

// Splits at commas into at most `parts` pieces; the last piece takes the rest.
std::vector<std::string> SplitArguments(const std::string& text, std::size_t parts) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (pieces.size() + 1 < parts) {
    const std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) break;
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

bool ParseNumber(const std::string& text, std::vector<std::uint32_t>& numbers) {
  if (text.empty()) return false;
  char* end = nullptr;
  numbers.push_back(static_cast<std::uint32_t>(std::strtoul(text.c_str(), &end, 0)));
  return *end == '\0';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Each plain byte is one unit of its value; \uHHHH only where units may exceed a byte.
bool DecodeEscapes(const std::string& text, bool wide, std::vector<unsigned>& units) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte != '\\') {
      units.push_back(byte);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': units.push_back('\\'); break;
      case '"': units.push_back('"'); break;
      case 'n': units.push_back('\n'); break;
      case 'r': units.push_back('\r'); break;
      case 't': units.push_back('\t'); break;
      case 'x':
      case 'u': {
        const std::size_t digits = text[i] == 'x' ? 2 : 4;
        if (text[i] == 'u' && !wide) return false;
        if (i + digits >= text.size()) return false;
        unsigned unit = 0;
        for (std::size_t d = 1; d <= digits; ++d) {
          const int value = HexDigit(text[i + d]);
          if (value < 0) return false;
          unit = unit * 16 + static_cast<unsigned>(value);
        }
        units.push_back(unit);
        i += digits;
        break;
      }
      default: return false;
    }
  }
  return true;
}

// ParseTag takes two numbers, ReceiveNotify three; a further "null" passes no buffer.
bool ParseNumbers(const std::string& arguments, std::size_t count, Step& step) {
  const std::vector<std::string> parts = SplitArguments(arguments, count + 1);
  if (parts.size() < count) return false;
  for (std::size_t i = 0; i < count; ++i)
    if (!ParseNumber(parts[i], step.numbers)) return false;
  step.noBuffer = parts.size() == count + 1;
  return !step.noBuffer || parts[count] == "null";
}

bool ParseToast(const std::string& arguments, Step& step) {
  const bool wide = step.kind == Step::Kind::kToastWide;
  const std::vector<std::string> parts = SplitArguments(arguments, 4);
  return parts.size() == 4 && ParseNumber(parts[0], step.numbers) &&
         ParseNumber(parts[1], step.numbers) && DecodeEscapes(parts[2], wide, step.title) &&
         DecodeEscapes(parts[3], wide, step.message);
}

bool ParseAction(const std::string& action, Step& step) {
  const std::size_t equals = action.find('=');
  const std::string name = action.substr(0, equals);
  const bool hasArguments = equals != std::string::npos;
  const std::string arguments = hasArguments ? action.substr(equals + 1) : "";
  if (name == "--configure") {
    step.kind = Step::Kind::kConfigure;
    return !hasArguments;
  }
  if (name == "--publish-info") {
    step.kind = Step::Kind::kPublishInfo;
    step.records = hasArguments ? arguments : "123";
    return step.records.find_first_not_of("123") == std::string::npos;
  }
  if (name == "--parse-tag") {
    step.kind = Step::Kind::kParseTag;
    return ParseNumbers(hasArguments ? arguments : "0,0", 2, step);
  }
  if (name == "--receive-notify") {
    step.kind = Step::Kind::kReceiveNotify;
    return ParseNumbers(hasArguments ? arguments : "0,0,0", 3, step);
  }
  if (name == "--toast" || name == "--toast-wide") {
    step.kind = name == "--toast" ? Step::Kind::kToast : Step::Kind::kToastWide;
    return hasArguments && ParseToast(arguments, step);
  }
  return false;
}

}  // namespace

Step ParseStep(const std::string& line) {
  Step step;
  if (line.compare(0, 1, "/") == 0) {
    const std::size_t space = line.find(' ');
    step.kind = Step::Kind::kCommand;
    step.word = line.substr(0, space);
    step.parameters = space == std::string::npos ? "" : line.substr(space + 1);
  } else if (line.compare(0, 2, "--") == 0 && !ParseAction(line, step)) {
    // Nothing half-read reaches the session.
    step = Step();
    step.kind = Step::Kind::kUnknownAction;
  }
  return step;
}
