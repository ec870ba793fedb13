/*
 * filter_text.cpp - a search filter written as text (the grammar is set out
 * in filter.h) read into a filter tree.
 *
 * The whole text is read before anything is searched: a text that does not
 * follow the grammar is ERR_INVALID_FILTER_SYNTAX, whatever part of it was
 * fine.  Nesting is bounded (kMaxDepth) so that a hostile text cannot
 * exhaust the stack.
 */
#include "filter.h"

#include <cstdlib>

#include "names/names.h"

namespace nwc {

namespace {

constexpr int kMaxDepth = 64;

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string trim(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && blank(s[a])) ++a;
  while (b > a && blank(s[b - 1])) --b;
  return std::string(s.substr(a, b - a));
}

class Parser {
public:
  Parser(const Op &op, std::string_view text) : op_(op), t_(text) {}

  NWDSCCODE parse(FilterNode &out) {
    skip_blanks();
    if (NWDSCCODE st = filter(out, 0)) return st;
    skip_blanks();
    return pos_ == t_.size() ? 0 : ERR_INVALID_FILTER_SYNTAX;
  }

private:
  const Op &op_;
  std::string_view t_;
  size_t pos_ = 0;

  void skip_blanks() {
    while (pos_ < t_.size() && blank(t_[pos_])) ++pos_;
  }
  bool eat(char c) {
    if (pos_ < t_.size() && t_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  NWDSCCODE filter(FilterNode &out, int depth) {
    if (depth > kMaxDepth || !eat('(')) return ERR_INVALID_FILTER_SYNTAX;
    skip_blanks();
    NWDSCCODE st = 0;
    if (eat('&') || eat('|')) {
      out = FilterNode{};
      out.kind = t_[pos_ - 1] == '&' ? FilterNode::And : FilterNode::Or;
      skip_blanks();
      while (pos_ < t_.size() && t_[pos_] == '(') {
        FilterNode c;
        if ((st = filter(c, depth + 1))) return st;
        out.children.push_back(std::move(c));
        skip_blanks();
      }
      if (out.children.empty()) return ERR_INVALID_FILTER_SYNTAX;
    } else if (eat('!')) {
      out = FilterNode{};
      out.kind = FilterNode::Not;
      skip_blanks();
      FilterNode c;
      if ((st = filter(c, depth + 1))) return st;
      out.children.push_back(std::move(c));
      skip_blanks();
    } else if ((st = item(out))) {
      return st;
    }
    return eat(')') ? 0 : ERR_INVALID_FILTER_SYNTAX;
  }

  /* attr op value, up to (not including) the closing parenthesis. */
  NWDSCCODE item(FilterNode &out) {
    const size_t start = pos_;
    while (pos_ < t_.size() && t_[pos_] != '=' && t_[pos_] != '(' && t_[pos_] != ')' && t_[pos_] != '*' &&
           t_[pos_] != '\\')
      ++pos_;
    if (pos_ >= t_.size() || t_[pos_] != '=') return ERR_INVALID_FILTER_SYNTAX;
    FilterNode::Kind kind = FilterNode::Equal;
    size_t name_end = pos_;
    if (name_end > start && (t_[name_end - 1] == '>' || t_[name_end - 1] == '<' || t_[name_end - 1] == '~')) {
      const char o = t_[name_end - 1];
      kind = o == '>' ? FilterNode::AtLeast : o == '<' ? FilterNode::AtMost : FilterNode::Equal;
      --name_end;
    }
    const bool plain_equal = name_end == pos_;
    const std::string name = trim(t_.substr(start, name_end - start));
    ++pos_; /* the '=' */
    if (name.empty()) return ERR_INVALID_FILTER_SYNTAX;
    /* The value: pieces between unescaped stars, escapes decoded. */
    std::vector<std::string> pieces(1);
    while (pos_ < t_.size() && t_[pos_] != ')') {
      const char c = t_[pos_];
      if (c == '(') return ERR_INVALID_FILTER_SYNTAX;
      if (c == '*') {
        pieces.emplace_back();
        ++pos_;
      } else if (c == '\\') {
        if (pos_ + 2 >= t_.size()) return ERR_INVALID_FILTER_SYNTAX;
        const int h = hex(t_[pos_ + 1]), l = hex(t_[pos_ + 2]);
        if (h < 0 || l < 0) return ERR_INVALID_FILTER_SYNTAX;
        pieces.back() += static_cast<char>(h * 16 + l);
        pos_ += 3;
      } else {
        pieces.back() += c;
        ++pos_;
      }
    }
    if (pos_ >= t_.size()) return ERR_INVALID_FILTER_SYNTAX;
    if (pieces.size() > 1 && !plain_equal) return ERR_INVALID_FILTER_SYNTAX;
    const AttrDef *a = op_.schema->attribute(name);
    if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    if (pieces.size() == 2 && pieces[0].empty() && pieces[1].empty()) {
      out = make_presence(*a);
      return 0;
    }
    if (pieces.size() > 1) return make_pattern(*a, pieces, out);
    Value v;
    if (NWDSCCODE st = value_of(*a, pieces[0], v)) return st;
    return make_assertion(*a, kind, v, out);
  }

  /* A text read as a value of the attribute's syntax. */
  NWDSCCODE value_of(const AttrDef &a, const std::string &text, Value &v) {
    switch (a.syntax) {
    case SYN_DIST_NAME: {
      auto dn = resolve(op_, text.c_str());
      if (!dn) return ERR_INVALID_COMPARISON;
      v = Value::text(a.syntax, format_dn(*dn));
      return 0;
    }
    case SYN_CI_LIST:
      v = Value{a.syntax, {text}, {}, {}};
      return 0;
    case SYN_BOOLEAN: {
      const std::string t = fold_case(trim(text));
      if (t != "true" && t != "false" && t != "1" && t != "0") return ERR_INVALID_COMPARISON;
      v = Value::integer(a.syntax, t == "true" || t == "1");
      return 0;
    }
    case SYN_INTEGER:
    case SYN_COUNTER:
    case SYN_INTERVAL:
    case SYN_TIME: {
      const std::string t = trim(text);
      char *end = nullptr;
      const long long n = t.empty() ? 0 : std::strtoll(t.c_str(), &end, 10);
      const bool is_unsigned = a.syntax == SYN_TIME;
      if (t.empty() || *end != '\0' || n < (is_unsigned ? 0 : INT32_MIN) ||
          n > (is_unsigned ? static_cast<long long>(UINT32_MAX) : INT32_MAX))
        return ERR_INVALID_COMPARISON;
      v = Value{a.syntax, {}, {static_cast<uint32_t>(n)}, {}};
      return 0;
    }
    default:
      if (!is_string_syntax(a.syntax)) return ERR_INVALID_COMPARISON;
      v = Value::text(a.syntax, text);
      return 0;
    }
  }
};

} // namespace

NWDSCCODE parse_filter_text(const Op &op, std::string_view text, FilterNode &out) {
  Parser p(op, text);
  FilterNode f;
  if (NWDSCCODE st = p.parse(f)) return st;
  out = std::move(f);
  return 0;
}

} // namespace nwc
