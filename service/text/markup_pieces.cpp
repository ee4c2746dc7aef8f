#include "markup_pieces.h"

#include "service/text/protected_spans.h"

#include <gumbo.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace service {

namespace {

using Text = std::string_view;

// Content that is code, data or a form's value rather than prose: kept whole, tags and all.
const Text kKeptElements[] = {"code", "iframe", "noembed", "noframes", "plaintext",
                              "pre",  "script", "style",   "textarea", "xmp"};

// Elements that begin and end a block of text: a sentence never runs across their tags.
const Text kBlockElements[] = {
    "address",    "article", "aside",   "blockquote", "body",   "br",       "caption",  "center",
    "dd",         "details", "dialog",  "dir",        "div",    "dl",       "dt",       "fieldset",
    "figcaption", "figure",  "footer",  "form",       "h1",     "h2",       "h3",       "h4",
    "h5",         "h6",      "head",    "header",     "hgroup", "hr",       "html",     "iframe",
    "legend",     "li",      "listing", "main",       "menu",   "nav",      "noscript", "ol",
    "optgroup",   "option",  "p",       "plaintext",  "pre",    "script",   "section",  "select",
    "style",      "summary", "table",   "tbody",      "td",     "textarea", "tfoot",    "th",
    "thead",      "title",   "tr",      "ul",         "xmp"};

// The first window a stray token is looked for in; it doubles until the token ends in it.
constexpr std::size_t kStrayTokenWindow = 256;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsWordByte(char c) {
  return IsAlpha(c) || IsDigit(c) || (static_cast<unsigned char>(c) & 0x80);
}

template <std::size_t N>
bool OneOf(Text name, const Text (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// Owns one parse; gumbo's tree points into the buffer it was given, which outlives it.
struct ParseDeleter {
  void operator()(GumboOutput* output) const {
    gumbo_destroy_output(&kGumboDefaultOptions, output);
  }
};
using Parse = std::unique_ptr<GumboOutput, ParseDeleter>;

Parse ParseHtml(Text html) {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // nobody reads them
  return Parse(gumbo_parse_with_options(&options, html.data(), html.size()));
}

const GumboVector& Children(const GumboNode& node) {
  return node.type == GUMBO_NODE_DOCUMENT ? node.v.document.children : node.v.element.children;
}

bool HasChildren(const GumboNode& node) {
  return node.type == GUMBO_NODE_DOCUMENT || node.type == GUMBO_NODE_ELEMENT ||
         node.type == GUMBO_NODE_TEMPLATE;
}

// Calls visit(node, state) for every node in document order, each with the state its parent's
// visit left; children only where it returns true. A stack of our own: the nesting of a hostile
// document is as deep as its length allows.
template <typename Visit>
void Walk(const GumboOutput& output, bool state, Visit visit) {
  std::vector<std::pair<const GumboNode*, bool>> stack{{output.document, state}};
  while (!stack.empty()) {
    auto [node, inherited] = stack.back();
    stack.pop_back();
    if (!visit(*node, inherited) || !HasChildren(*node)) continue;
    const GumboVector& children = Children(*node);
    for (unsigned i = children.length; i > 0; --i) {
      stack.emplace_back(static_cast<const GumboNode*>(children.data[i - 1]), inherited);
    }
  }
}

// The bytes of `piece` as an offset range in `text`; false where gumbo gave none there (an
// element it implied has no bytes).
bool RangeIn(Text text, const GumboStringPiece& piece, std::size_t& begin, std::size_t& end) {
  if (piece.data == nullptr || piece.length == 0 || piece.data < text.data() ||
      piece.data + piece.length > text.data() + text.size()) {
    return false;
  }
  begin = static_cast<std::size_t>(piece.data - text.data());
  end = begin + piece.length;
  return true;
}

Text Attribute(const GumboElement& element, const char* name, bool& present) {
  const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
  present = attribute != nullptr;
  return present ? Text(attribute->value) : Text();
}

bool HasClass(const GumboElement& element, Text name) {
  bool present = false;
  Text classes = Attribute(element, "class", present);
  std::size_t i = 0;
  while (i < classes.size()) {
    while (i < classes.size() && IsBlank(classes[i])) ++i;
    std::size_t end = i;
    while (end < classes.size() && !IsBlank(classes[end])) ++end;
    if (classes.substr(i, end - i) == name) return true;
    i = end;
  }
  return false;
}

// The HTML standard's translate attribute: "yes" or empty turns translation on, "no" off, and
// anything else leaves the parent's state.
bool Translates(const GumboElement& element, bool parent) {
  bool present = false;
  Text value = Attribute(element, "translate", present);
  if (!present) return parent;
  auto is = [&](Text word) {
    return value.size() == word.size() &&
           std::equal(value.begin(), value.end(), word.begin(),
                      [](char a, char b) { return (a | 0x20) == b; });
  };
  if (value.empty() || is("yes")) return true;
  return is("no") ? false : parent;
}

Text TagName(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
  return Text();
}

// Code and data, pages' own "notranslate", and the links Mastodon writes for an @mention or a
// #hashtag (class "u-url mention", "mention hashtag"), whose words are names.
bool KeptWhole(const GumboElement& element) {
  Text tag = TagName(element);
  if (OneOf(tag, kKeptElements) || HasClass(element, "notranslate")) return true;
  return element.tag == GUMBO_TAG_A &&
         (HasClass(element, "mention") || HasClass(element, "hashtag"));
}

// Where to begin a token in text: "<" and a letter, "/", "!" or "?" always open a tag, a
// comment or a declaration in the text of an HTML body.
bool OpensToken(Text text, std::size_t i) {
  if (text[i] != '<' || i + 1 >= text.size()) return false;
  char next = text[i + 1];
  return IsAlpha(next) || next == '/' || next == '!' || next == '?';
}

// The length of the token that opens `part`, told by a parse of it alone: the tag or comment
// that starts there, else the first node after it. 0 when the part holds nothing else.
std::size_t TokenLengthIn(Text part) {
  Parse parse = ParseHtml(part);
  std::size_t first = 0;
  Walk(*parse, false, [&](const GumboNode& node, bool&) {
    const GumboStringPiece* pieces[2] = {nullptr, nullptr};
    if (node.type == GUMBO_NODE_ELEMENT || node.type == GUMBO_NODE_TEMPLATE) {
      pieces[0] = &node.v.element.original_tag;
      pieces[1] = &node.v.element.original_end_tag;
    } else if (node.type != GUMBO_NODE_DOCUMENT) {
      pieces[0] = &node.v.text.original_text;
    }
    for (const GumboStringPiece* piece : pieces) {
      std::size_t begin = 0, end = 0;
      if (piece == nullptr || !RangeIn(part, *piece, begin, end)) continue;
      std::size_t candidate = begin == 0 ? end : begin;
      if (first == 0 || candidate < first) first = candidate;
    }
    return true;
  });
  return first;
}

// A token the parser ignored ("</div>" with no <div> open, a second <body>) stays inside the
// text around it; this finds where it ends, looking no further than it must.
std::size_t StrayTokenLength(Text rest) {
  for (std::size_t window = kStrayTokenWindow;; window *= 2) {
    Text part = rest.substr(0, window);
    std::size_t length = TokenLengthIn(part);
    // A token that reaches the window's end may go on past it.
    bool whole = part.size() == rest.size() || (length > 0 && length < part.size());
    if (whole) return length > 0 ? length : part.size();
  }
}

// Which bytes of the input are text to translate, and which begin a tag that ends a sentence.
class Marks {
 public:
  explicit Marks(Text html) : html_(html), text_(html.size(), false), ends_(html.size(), false) {}

  void EndSentenceAt(const GumboStringPiece& tag) {
    std::size_t begin = 0, end = 0;
    if (RangeIn(html_, tag, begin, end)) ends_[begin] = true;
  }

  // A text node's bytes: its words, less what ProtectSpans keeps, the references and the
  // tokens the parser left in it.
  void MarkTextNode(const GumboStringPiece& original) {
    std::size_t begin = 0, end = 0;
    if (!RangeIn(html_, original, begin, end)) return;
    std::size_t segment = begin;
    for (std::size_t i = begin; i < end;) {
      if (OpensToken(html_.substr(0, end), i)) {
        MarkSegment(segment, i);
        i += StrayTokenLength(html_.substr(i, end - i));
        segment = i;
      } else {
        ++i;
      }
    }
    MarkSegment(segment, end);
  }

  std::vector<Piece> Pieces();

 private:
  void MarkSegment(std::size_t begin, std::size_t end);
  void KeepReferences(std::size_t begin, std::size_t end);
  void KeepWordless();
  void KeepBlanksAtBreaks();

  Text html_;
  std::vector<bool> text_;
  std::vector<bool> ends_;
};

void Marks::MarkSegment(std::size_t begin, std::size_t end) {
  if (begin >= end) return;
  const std::vector<Piece> pieces = ProtectSpans(html_.substr(begin, end - begin));
  std::size_t at = begin;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::string& bytes = pieces[i].text;
    // ProtectSpans keeps the blanks at the ends of a line; here they may lie inside a
    // sentence ("I love <b>my</b> friend") and are settled with the tags next to them.
    bool edge =
        (i == 0 || i + 1 == pieces.size()) && std::all_of(bytes.begin(), bytes.end(), IsBlank);
    if (!pieces[i].keep || edge) std::fill_n(text_.begin() + at, bytes.size(), true);
    at += bytes.size();
  }
  KeepReferences(begin, end);
}

// "&amp;", "&#39;", "&#x1F600;": the answer is HTML, so a reference stays as it was written.
void Marks::KeepReferences(std::size_t begin, std::size_t end) {
  for (std::size_t i = begin; i < end; ++i) {
    if (html_[i] != '&') continue;
    std::size_t j = i + 1;
    if (j < end && html_[j] == '#') {
      ++j;
      bool hex = j < end && (html_[j] == 'x' || html_[j] == 'X');
      if (hex) ++j;
      std::size_t digits = j;
      while (j < end && (hex ? IsHexDigit(html_[j]) : IsDigit(html_[j]))) ++j;
      if (j == digits) continue;
    } else {
      if (j >= end || !IsAlpha(html_[j])) continue;
      while (j < end && (IsAlpha(html_[j]) || IsDigit(html_[j]))) ++j;
    }
    if (j >= end || html_[j] != ';') continue;
    std::fill(text_.begin() + i, text_.begin() + j + 1, false);
    i = j;
  }
}

// Text is translated only where it holds words: a run of blanks and punctuation alone would
// reach an engine as an empty sentence.
void Marks::KeepWordless() {
  for (std::size_t i = 0; i < html_.size();) {
    std::size_t end = i;
    while (end < html_.size() && text_[end] == text_[i]) ++end;
    if (text_[i] && !std::any_of(html_.begin() + i, html_.begin() + end, IsWordByte)) {
      std::fill(text_.begin() + i, text_.begin() + end, false);
    }
    i = end;
  }
}

// The blanks between a sentence and the tag that ends it (or the start or end of the input)
// belong to the tag. Runs only shrink here, each keeping its words, so the runs around stay.
void Marks::KeepBlanksAtBreaks() {
  const std::size_t size = html_.size();
  bool after_break = true;  // the input's start ends every sentence before it
  for (std::size_t i = 0; i < size;) {
    std::size_t end = i;
    if (!text_[i]) {
      after_break = false;
      for (; end < size && !text_[end]; ++end) after_break = after_break || ends_[end];
      i = end;
      continue;
    }
    while (end < size && text_[end]) ++end;
    bool before_break = end == size;
    for (std::size_t k = end; !before_break && k < size && !text_[k]; ++k) {
      before_break = ends_[k];
    }
    std::size_t first = i, last = end;
    while (after_break && IsBlank(html_[first])) ++first;
    while (before_break && IsBlank(html_[last - 1])) --last;
    std::fill(text_.begin() + i, text_.begin() + first, false);
    std::fill(text_.begin() + last, text_.begin() + end, false);
    i = end;
  }
}

std::vector<Piece> Marks::Pieces() {
  KeepWordless();
  KeepBlanksAtBreaks();
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < html_.size();) {
    bool keep = !text_[i];
    std::size_t end = i;
    bool ends_sentence = false;
    for (; end < html_.size() && !text_[end] == keep; ++end) {
      ends_sentence = ends_sentence || ends_[end];
    }
    pieces.push_back(Piece{std::string(html_.substr(i, end - i)), keep, keep && ends_sentence});
    i = end;
  }
  return pieces;
}

}  // namespace

std::vector<Piece> ProtectMarkup(std::string_view html) {
  Marks marks(html);
  Parse parse = ParseHtml(html);
  Walk(*parse, true, [&](const GumboNode& node, bool& translates) {
    if (node.type == GUMBO_NODE_TEXT) {
      if (translates) marks.MarkTextNode(node.v.text.original_text);
      return false;
    }
    if (node.type != GUMBO_NODE_ELEMENT && node.type != GUMBO_NODE_TEMPLATE) {
      return node.type == GUMBO_NODE_DOCUMENT;
    }
    const GumboElement& element = node.v.element;
    if (OneOf(TagName(element), kBlockElements)) {
      marks.EndSentenceAt(element.original_tag);
      marks.EndSentenceAt(element.original_end_tag);
    }
    translates = Translates(element, translates);
    return !KeptWhole(element);
  });
  return marks.Pieces();
}

}  // namespace service
