/*
 * filter_eval.cpp - assertions of a search filter made from values, a
 * filter buffer read into a filter tree, and a filter tested on one entry.
 *
 * An assertion keeps its values as equality keys, so testing it needs only
 * the keys of the entry's values (store.h keys_of, has_key): equality is one
 * index probe, presence another, patterns and ranges read the keys of one
 * attribute of one entry.
 */
#include "filter.h"

#include <algorithm>

#include "buffer.h"
#include "items.h"

namespace nwc {

namespace {

bool supports(nuint32 syntax_id, uint16_t flag) {
  const SyntaxDef *sd = syntax(syntax_id);
  return sd != nullptr && (sd->flags & flag) != 0;
}

/* The smallest byte string above every string that begins with `p`; empty
   when there is none (p empty or all 0xFF). */
std::string successor(std::string p) {
  while (!p.empty() && static_cast<unsigned char>(p.back()) == 0xFF) p.pop_back();
  if (!p.empty()) p.back() = static_cast<char>(static_cast<unsigned char>(p.back()) + 1);
  return p;
}

} // namespace

bool is_string_syntax(nuint32 s) {
  switch (s) {
  case SYN_CE_STRING:
  case SYN_CI_STRING:
  case SYN_PR_STRING:
  case SYN_NU_STRING:
  case SYN_TEL_NUMBER:
  case SYN_CLASS_NAME:
    return true;
  default:
    return false;
  }
}

NWDSCCODE make_assertion(const AttrDef &attr, FilterNode::Kind kind, const Value &v, FilterNode &out) {
  const SyntaxDef *sd = syntax(attr.syntax);
  if (sd == nullptr || sd->equality == Match::None || v.syntax != attr.syntax) return ERR_INVALID_COMPARISON;
  if (kind != FilterNode::Equal && !supports(attr.syntax, DS_SUPPORTS_ORDER)) return ERR_INVALID_COMPARISON;
  Value n = v;
  if (normalise_value(n) != 0 || check_syntax(n) != 0) return ERR_INVALID_COMPARISON;
  out = FilterNode{};
  out.kind = kind;
  out.attr_id = attr.id;
  out.key = equality_key(n);
  return 0;
}

NWDSCCODE make_pattern(const AttrDef &attr, const std::vector<std::string> &pieces, FilterNode &out) {
  if (!is_string_syntax(attr.syntax) || pieces.size() < 2) return ERR_INVALID_COMPARISON;
  out = FilterNode{};
  out.kind = FilterNode::Pattern;
  out.attr_id = attr.id;
  for (const std::string &p : pieces) {
    /* Each piece is keyed as a value would be (case folded, blanks or
       dashes dropped as the syntax says); an empty piece stays empty. */
    out.pieces.push_back(p.empty() ? std::string() : equality_key(Value::text(attr.syntax, p)));
  }
  return 0;
}

FilterNode make_presence(const AttrDef &attr) {
  FilterNode n;
  n.kind = FilterNode::Present;
  n.attr_id = attr.id;
  return n;
}

KeyRange key_range_of(const FilterNode &a) {
  KeyRange r;
  switch (a.kind) {
  case FilterNode::Equal:
    r.lo = r.hi = a.key;
    r.bounded = r.hi_inclusive = r.single = true;
    break;
  case FilterNode::Pattern:
    r.lo = a.pieces.front();
    r.hi = successor(r.lo);
    r.bounded = !r.hi.empty();
    break;
  case FilterNode::AtLeast:
    r.lo = a.key;
    break;
  case FilterNode::AtMost:
    r.hi = a.key;
    r.bounded = r.hi_inclusive = true;
    break;
  default: /* presence: every key */
    break;
  }
  return r;
}

bool key_matches(const FilterNode &a, const std::string &key) {
  switch (a.kind) {
  case FilterNode::Equal:
    return key == a.key;
  case FilterNode::AtLeast:
    return key >= a.key;
  case FilterNode::AtMost:
    return key <= a.key;
  case FilterNode::Present:
    return true;
  case FilterNode::Pattern: {
    const std::string &first = a.pieces.front(), &last = a.pieces.back();
    if (key.size() < first.size() + last.size()) return false;
    if (key.compare(0, first.size(), first) != 0) return false;
    if (key.compare(key.size() - last.size(), last.size(), last) != 0) return false;
    size_t at = first.size();
    const size_t end = key.size() - last.size();
    for (size_t i = 1; i + 1 < a.pieces.size(); ++i) {
      const std::string &p = a.pieces[i];
      if (p.empty()) continue;
      const size_t found = key.find(p, at);
      if (found == std::string::npos || found + p.size() > end) return false;
      at = found + p.size();
    }
    return true;
  }
  default:
    return false;
  }
}

NWDSCCODE filter_from_buffer(const Op &op, pBuf_T filter, FilterNode &out) {
  out = FilterNode{};
  if (filter == nullptr) return 0;
  const Buffer *b = buffer_of(filter);
  if (b->verb == DSV_SEARCH_FILTER && !b->result && b->items.size() == 1 &&
      b->items[0].tag == tag::ATTR_NAME && !b->items[0].name.empty() && b->items[0].name[0] == '(')
    return parse_filter_text(op, b->items[0].name, out);
  std::vector<RequestAttr> req;
  if (NWDSCCODE st = request_attrs(filter, DSV_SEARCH_FILTER, req)) return st;
  for (const RequestAttr &r : req) {
    const AttrDef *a = op.schema->attribute(r.name);
    if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    if (r.values.empty()) {
      out.children.push_back(make_presence(*a));
      continue;
    }
    FilterNode any;
    any.kind = FilterNode::Or;
    for (const Value &v : r.values) {
      FilterNode n;
      NWDSCCODE st = 0;
      if (is_string_syntax(a->syntax) && v.syntax == a->syntax && v.texts.size() == 1 &&
          v.texts[0].find('*') != std::string::npos) {
        std::vector<std::string> pieces;
        size_t from = 0;
        for (size_t star; (star = v.texts[0].find('*', from)) != std::string::npos; from = star + 1)
          pieces.push_back(v.texts[0].substr(from, star - from));
        pieces.push_back(v.texts[0].substr(from));
        st = make_pattern(*a, pieces, n);
      } else {
        st = make_assertion(*a, FilterNode::Equal, v, n);
      }
      if (st != 0) return st;
      any.children.push_back(std::move(n));
    }
    if (any.children.size() == 1)
      out.children.push_back(std::move(any.children[0]));
    else
      out.children.push_back(std::move(any));
  }
  if (out.children.size() == 1) {
    FilterNode only = std::move(out.children[0]);
    out = std::move(only);
  }
  return 0;
}

Expected<bool> filter_holds(Store &store, EntryId id, const FilterNode &f) {
  switch (f.kind) {
  case FilterNode::And:
  case FilterNode::Or: {
    const bool is_and = f.kind == FilterNode::And;
    for (const FilterNode &c : f.children) {
      auto h = filter_holds(store, id, c);
      if (!h) return h;
      if (*h != is_and) return !is_and;
    }
    return is_and;
  }
  case FilterNode::Not: {
    auto h = filter_holds(store, id, f.children.at(0));
    if (!h) return h;
    return !*h;
  }
  case FilterNode::Equal:
    return store.has_key(id, f.attr_id, f.key);
  case FilterNode::Present:
    return store.has_attribute(id, f.attr_id);
  default: {
    auto keys = store.keys_of(id, f.attr_id);
    if (!keys) return fail(keys.status());
    return std::any_of(keys->begin(), keys->end(), [&](const std::string &k) { return key_matches(f, k); });
  }
  }
}

} // namespace nwc
