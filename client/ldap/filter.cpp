/*
 * ldap/filter.cpp - search filters as LDAP filters.
 *
 * A filter buffer's attribute names, each with zero or more values, become
 * (&(attr=*)...(|(attr=v1)(attr=v2))...): a name alone is presence, values
 * of one name are alternatives, the names must all hold.  A string value
 * holding `*` is a substring pattern (its other characters escaped).  A
 * filter written as text (one name beginning with "(") is the LDAP grammar
 * already: its attribute names are mapped, and the values whose forms
 * differ are rewritten (names resolved through the context and given as
 * LDAP DNs, class names through the class table, Booleans 1/0 as
 * TRUE/FALSE, times in seconds as Generalized Time); other values pass as
 * written, their `\XX` escapes and `*` wildcards meaning what they mean in
 * LDAP.  Text that does not follow the grammar is ERR_INVALID_FILTER_SYNTAX
 * before anything is sent; a range (>=, <=) on an attribute the server has
 * no ordering rule for is ERR_INVALID_COMPARISON, never an empty answer;
 * an attribute the server does not know is ERR_NO_SUCH_ATTRIBUTE.  A
 * presence test of Member leaves out a Group's stand-in member (groups.h).
 */
#include "ldap/filter.h"

#include <cctype>

#include "entries.h"
#include "ldap/groups.h"
#include "ldap/mapping.h"

namespace nwc::ldap {

namespace {

bool is_string_syntax(uint32_t s) {
  return s == SYN_CE_STRING || s == SYN_CI_STRING || s == SYN_PR_STRING || s == SYN_NU_STRING ||
         s == SYN_TEL_NUMBER || s == SYN_CLASS_NAME;
}

std::string pattern(std::string_view text) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '*') {
      out += escape_filter_value(text.substr(start, i - start));
      if (i < text.size()) out += '*';
      start = i + 1;
    }
  }
  return out;
}

std::string trim(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return std::string(s.substr(a, b - a));
}

int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool unescape(std::string_view v, std::string &out) {
  out.clear();
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\') {
      out += v[i];
      continue;
    }
    if (i + 2 >= v.size()) return false;
    const int h = hexval(v[i + 1]), l = hexval(v[i + 2]);
    if (h < 0 || l < 0) return false;
    out += static_cast<char>(h * 16 + l);
    i += 2;
  }
  return true;
}

/* The server's definition of an attribute named either way; null when the
   server does not know it. */
const AttrDef *known_attr(const LOp &op, std::string_view name) {
  const AttrDef *d = op.schema->attribute(name);
  return d != nullptr ? d : op.schema->attribute(attr_from_ldap(name));
}

struct TextFilter {
  const LOp &op;
  std::string_view t;
  size_t pos = 0;
  std::string out;

  void blanks() {
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
  }

  NWDSCCODE item(std::string_view body) {
    size_t eq = body.find('=');
    if (eq == std::string_view::npos || eq == 0) return ERR_INVALID_FILTER_SYNTAX;
    std::string opr = "=";
    size_t attr_end = eq;
    if (body[eq - 1] == '~' || body[eq - 1] == '>' || body[eq - 1] == '<') {
      opr = std::string(1, body[eq - 1]) + "=";
      attr_end = eq - 1;
    }
    const std::string attr = trim(body.substr(0, attr_end));
    const std::string value = trim(body.substr(eq + 1));
    if (attr.empty()) return ERR_INVALID_FILTER_SYNTAX;
    const std::string lname = attr_to_ldap(attr);
    const AttrDef *d = known_attr(op, attr);
    if (d == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    if (opr == "=" && value == "*") {
      out += presence_filter(lname);
      return 0;
    }
    const uint32_t syn = d->syntax;
    std::string plain, written = value;
    switch (syn) {
    case SYN_DIST_NAME: {
      if (!unescape(value, plain)) return ERR_INVALID_FILTER_SYNTAX;
      auto dn = parse_name(plain, op.ctx.name_context, op.ctx.flags);
      if (!dn) return ERR_INVALID_COMPARISON;
      written = escape_filter_value(dn_to_ldap(*dn));
      break;
    }
    case SYN_CLASS_NAME:
      if (!unescape(value, plain)) return ERR_INVALID_FILTER_SYNTAX;
      if (plain.find('*') == std::string::npos) written = escape_filter_value(class_to_ldap(plain));
      break;
    case SYN_BOOLEAN:
      if (value == "1") written = "TRUE";
      else if (value == "0") written = "FALSE";
      break;
    case SYN_TIME:
      if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
        auto g = value_to_ldap(Value::integer(SYN_TIME, static_cast<int32_t>(std::stoul(value))));
        if (g) written = *g;
      }
      break;
    default: break;
    }
    /* The server cannot order the values of an attribute without an
       ordering rule: it would answer such a range with nothing. */
    const bool range = opr == ">=" || opr == "<=";
    if (range && value.find('*') != std::string::npos) return ERR_INVALID_FILTER_SYNTAX; /* no wildcards there */
    if (range && !d->ordered) return ERR_INVALID_COMPARISON;
    out += "(" + lname + opr + written + ")";
    return 0;
  }

  NWDSCCODE filter() {
    blanks();
    if (pos >= t.size() || t[pos] != '(') return ERR_INVALID_FILTER_SYNTAX;
    ++pos;
    blanks();
    if (pos >= t.size()) return ERR_INVALID_FILTER_SYNTAX;
    const char c = t[pos];
    if (c == '&' || c == '|' || c == '!') {
      ++pos;
      out += '(';
      out += c;
      int n = 0;
      for (;;) {
        blanks();
        if (pos < t.size() && t[pos] == ')') break;
        if (NWDSCCODE st = filter()) return st;
        ++n;
      }
      if (n == 0 || (c == '!' && n != 1)) return ERR_INVALID_FILTER_SYNTAX;
      ++pos;
      out += ')';
      return 0;
    }
    const size_t close = t.find(')', pos);
    if (close == std::string_view::npos) return ERR_INVALID_FILTER_SYNTAX;
    const std::string_view body = t.substr(pos, close - pos);
    if (body.find('(') != std::string_view::npos) return ERR_INVALID_FILTER_SYNTAX;
    pos = close + 1;
    return item(body);
  }
};

} // namespace

NWDSCCODE filter_text_to_ldap(const LOp &op, std::string_view text, std::string &out) {
  TextFilter f{op, text, 0, {}};
  if (NWDSCCODE st = f.filter()) return st;
  f.blanks();
  if (f.pos != text.size()) return ERR_INVALID_FILTER_SYNTAX;
  out = std::move(f.out);
  return 0;
}

NWDSCCODE filter_to_ldap(const LOp &op, pBuf_T filter, std::string &out) {
  out = "(objectClass=*)";
  if (filter == nullptr) return 0;
  std::vector<RequestAttr> attrs;
  if (NWDSCCODE st = request_attrs(filter, DSV_SEARCH_FILTER, attrs)) return st;
  if (attrs.empty()) return 0;
  if (attrs.size() == 1 && attrs[0].values.empty() && !attrs[0].name.empty() && attrs[0].name[0] == '(')
    return filter_text_to_ldap(op, attrs[0].name, out);
  std::string all;
  for (const RequestAttr &a : attrs) {
    const std::string lname = attr_to_ldap(a.name);
    if (known_attr(op, a.name) == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    if (a.values.empty()) {
      all += presence_filter(lname);
      continue;
    }
    std::string any;
    for (const Value &v : a.values) {
      if (is_string_syntax(v.syntax) && v.syntax != SYN_CLASS_NAME && !v.texts.empty() &&
          v.texts[0].find('*') != std::string::npos) {
        any += "(" + lname + "=" + pattern(v.texts[0]) + ")";
        continue;
      }
      auto text = value_to_ldap(v);
      if (!text) return ERR_INVALID_COMPARISON;
      any += "(" + lname + "=" + escape_filter_value(*text) + ")";
    }
    all += a.values.size() == 1 ? any : "(|" + any + ")";
  }
  out = attrs.size() == 1 ? all : "(&" + all + ")";
  return 0;
}

} // namespace nwc::ldap
