// Directory names: see names.h for the grammar and the rules.
#include "names/names.h"

#include <algorithm>
#include <cctype>

#include "nwclient.h"

namespace nwc {
namespace {

constexpr std::string_view kRootName = "[Root]";
// The attribute types a name's RDNs may have without a schema, in the
// spelling a name is written with.
constexpr std::string_view kStandardTypes[] = {"CN", "OU", "O", "C", "L", "S", "SA"};

// Text with a per-byte "was escaped" mark, so that separators and blanks
// can be told from literal ones after the backslashes are gone.  A view:
// the text and its marks belong to the caller (tokenize), and a name
// without backslashes, the usual one, is viewed where it stands, unmarked.
struct Marked {
  std::string_view text;
  const char* esc = nullptr;  // one byte per byte of text, nonzero when escaped; null when none is
  size_t size() const { return text.size(); }
  bool escaped(size_t i) const { return esc != nullptr && esc[i] != 0; }
  bool is(size_t i, char c) const { return text[i] == c && !escaped(i); }
  Marked slice(size_t from, size_t to) const {
    return Marked{text.substr(from, to - from), esc != nullptr ? esc + from : nullptr};
  }
  bool any_escaped() const {
    for (size_t i = 0; esc != nullptr && i < text.size(); ++i)
      if (esc[i]) return true;
    return false;
  }
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Unescaped blanks at both ends dropped, inner runs of unescaped blanks
// folded to one blank.
std::string normalise_blanks(const Marked& m) {
  const std::string_view t = m.text;
  if (t.empty() || (!is_blank(t.front()) && !is_blank(t.back()) && t.find('\t') == std::string_view::npos &&
                    t.find("  ") == std::string_view::npos))
    return std::string(t);  // nothing to drop or fold
  size_t b = 0, e = m.size();
  while (b < e && is_blank(m.text[b]) && !m.escaped(b)) ++b;
  while (e > b && is_blank(m.text[e - 1]) && !m.escaped(e - 1)) --e;
  std::string out;
  bool in_run = false;
  for (size_t i = b; i < e; ++i) {
    const bool plain_blank = is_blank(m.text[i]) && !m.escaped(i);
    if (plain_blank) {
      if (!in_run) out += ' ';
      in_run = true;
    } else {
      out += m.text[i];
      in_run = false;
    }
  }
  return out;
}

std::vector<Marked> split(const Marked& m, char sep) {
  std::vector<Marked> parts;
  size_t start = 0;
  for (size_t i = 0; i < m.size(); ++i) {
    if (m.is(i, sep)) {
      parts.push_back(m.slice(start, i));
      start = i + 1;
    }
  }
  parts.push_back(m.slice(start, m.size()));
  return parts;
}

bool blank_only(const Marked& m) {
  for (size_t i = 0; i < m.size(); ++i)
    if (!(is_blank(m.text[i]) && !m.escaped(i))) return false;
  return true;
}

struct Tokens {
  bool root = false;          // the whole name is [Root]
  bool absolute = false;      // leading dot, or ends in [Root]
  size_t trailing_dots = 0;
  std::vector<Rdn> rdns;      // types may be empty
};

Expected<Ava> parse_ava(const Marked& m) {
  size_t eq = m.size();
  for (size_t i = 0; i < m.size(); ++i) {
    if (m.is(i, '=')) {
      if (eq != m.size()) return fail(ERR_INVALID_OBJECT_NAME);  // a second '='
      eq = i;
    }
  }
  Ava ava;
  if (eq == m.size()) {
    ava.value = normalise_blanks(m);
  } else {
    const Marked type = m.slice(0, eq);
    if (type.any_escaped()) return fail(ERR_INVALID_OBJECT_NAME);
    ava.type = canonical_type(normalise_blanks(type));
    if (ava.type.empty()) return fail(ERR_INVALID_OBJECT_NAME);
    ava.value = normalise_blanks(m.slice(eq + 1, m.size()));
  }
  if (ava.value.empty()) return fail(ERR_INVALID_OBJECT_NAME);
  return ava;
}

Expected<Rdn> parse_rdn_marked(const Marked& m) {
  Rdn rdn;
  for (size_t start = 0, i = 0; i <= m.size(); ++i) {
    if (i < m.size() && !m.is(i, '+')) continue;
    auto ava = parse_ava(m.slice(start, i));
    if (!ava) return fail(ava.status());
    rdn.avas.push_back(std::move(*ava));
    start = i + 1;
  }
  if (rdn.avas.size() > 1) {
    for (const Ava& a : rdn.avas)
      if (a.type.empty()) return fail(ERR_INCONSISTENT_MULTIAVA);
  }
  return rdn;
}

bool is_root_word(const Marked& m) {
  // Blanks aside, "[Root]" has its brackets at its ends: most segments are
  // told apart by their last byte without folding anything.
  const std::string_view v = m.text;
  const size_t last = v.find_last_not_of(" \t");
  if (last == std::string_view::npos || v[last] != ']') return false;
  const std::string t = normalise_blanks(m);
  return !m.any_escaped() && fold_case(t) == fold_case(kRootName);
}

Expected<Tokens> tokenize(std::string_view text) {
  if (text.size() >= MAX_DN_BYTES * 2) return fail(ERR_INVALID_OBJECT_NAME);
  if (text.find('\0') != std::string_view::npos) return fail(ERR_INVALID_OBJECT_NAME);
  Marked m{text, nullptr};
  std::string unescaped, marks;  // m's storage when the name has backslashes
  if (text.find('\\') != std::string_view::npos) {
    for (size_t i = 0; i < text.size(); ++i) {
      const bool e = text[i] == '\\';
      if (e && ++i >= text.size()) return fail(ERR_INVALID_OBJECT_NAME);
      unescaped += text[i];
      marks += static_cast<char>(e);
    }
    m = Marked{unescaped, marks.data()};
  }
  Tokens t;
  if (blank_only(m)) return fail(ERR_INVALID_OBJECT_NAME);

  std::vector<Marked> segs = split(m, '.');
  // A name made of dots only climbs the name context.
  if (std::all_of(segs.begin(), segs.end(), blank_only)) {
    t.trailing_dots = segs.size() - 1;
    return t;
  }
  if (blank_only(segs.front())) {
    t.absolute = true;
    segs.erase(segs.begin());
  }
  while (!segs.empty() && blank_only(segs.back())) {
    ++t.trailing_dots;
    segs.pop_back();
  }
  if (!segs.empty() && is_root_word(segs.back())) {
    if (t.trailing_dots) return fail(ERR_INVALID_OBJECT_NAME);
    segs.pop_back();
    t.absolute = true;
    if (segs.empty()) {
      t.root = true;
      return t;
    }
  }
  if (t.absolute && t.trailing_dots) return fail(ERR_INVALID_OBJECT_NAME);
  t.rdns.reserve(segs.size());
  for (const Marked& seg : segs) {
    if (blank_only(seg)) return fail(ERR_INVALID_OBJECT_NAME);
    auto rdn = parse_rdn_marked(seg);
    if (!rdn) return fail(rdn.status());
    t.rdns.push_back(std::move(*rdn));
  }
  return t;
}

// Default typing of the untyped RDNs of a whole name (see names.h).
void assign_types(std::vector<Rdn>& rdns, bool leaf_first) {
  const size_t n = rdns.size();
  for (size_t i = 0; i < n; ++i) {
    for (Ava& a : rdns[i].avas) {
      if (!a.type.empty()) continue;
      if (n == 1 || i == n - 1)
        a.type = "O";
      else if (i == 0 && leaf_first)
        a.type = "CN";
      else
        a.type = "OU";
      a.inferred = true;
    }
  }
}

void append_escaped(std::string& out, std::string_view value) {
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const bool edge_blank = c == ' ' && (i == 0 || i + 1 == value.size() || value[i - 1] == ' ');
    if (c == '.' || c == '=' || c == '+' || c == '\\' || edge_blank) out += '\\';
    out += c;
  }
}

void append_rdn(std::string& out, const Rdn& rdn, bool typeless) {
  for (size_t i = 0; i < rdn.avas.size(); ++i) {
    if (i) out += '+';
    if (!typeless && !rdn.avas[i].type.empty()) {
      out += rdn.avas[i].type;
      out += '=';
    }
    append_escaped(out, rdn.avas[i].value);
  }
}

// Checks an RDN and appends its text to `out`.
Status check_rdn(const Rdn& rdn, std::string& out) {
  for (size_t i = 0; i < rdn.avas.size(); ++i) {
    const Ava& a = rdn.avas[i];
    for (size_t j = i + 1; j < rdn.avas.size(); ++j)
      if (fold_case(a.type) == fold_case(rdn.avas[j].type)) return ERR_DUPLICATE_TYPE;
    if (a.type == "C" && count_chars(a.value) > 2) return ERR_COUNTRY_NAME_TOO_LONG;
  }
  const size_t at = out.size();
  append_rdn(out, rdn, false);
  if (out.size() - at > MAX_RDN_BYTES - 1) return ERR_RDN_TOO_LONG;
  return 0;
}

Expected<Dn> finish(std::vector<Rdn> rdns, bool leaf_first) {
  assign_types(rdns, leaf_first);
  Dn dn{std::move(rdns)};
  thread_local std::string full;  // the whole name's text, kept for its capacity
  full.clear();
  for (const Rdn& r : dn.rdns) {
    if (!full.empty()) full += '.';
    if (Status s = check_rdn(r, full)) return fail(s);
  }
  if (full.size() > MAX_DN_BYTES - 1 || count_chars(full) > MAX_DN_CHARS)
    return fail(ERR_INVALID_OBJECT_NAME);
  return dn;
}

std::string normalised_fold(std::string_view s) {
  // Blank runs are already single in parsed values; fold the case only.
  return fold_case(s);
}

Rdn folded(const Rdn& rdn, bool with_types) {
  Rdn k;
  for (const Ava& a : rdn.avas)
    k.avas.push_back(Ava{with_types ? fold_case(a.type) : std::string(), normalised_fold(a.value), false});
  std::sort(k.avas.begin(), k.avas.end(), [](const Ava& x, const Ava& y) {
    return x.type != y.type ? x.type < y.type : x.value < y.value;
  });
  return k;
}

// Number of RDNs, counted from the root end, that a and b share.
size_t common_depth(const Dn& a, const Dn& b) {
  size_t c = 0;
  while (c < a.depth() && c < b.depth() &&
         same_rdn(a.rdns[a.depth() - 1 - c], b.rdns[b.depth() - 1 - c]))
    ++c;
  return c;
}

// The relative form of dn against ctx: the leading RDNs to write and the
// number of trailing dots.
std::pair<size_t, size_t> relative_parts(const Dn& dn, const Dn& ctx) {
  size_t c = common_depth(dn, ctx);
  if (c == dn.depth()) --c;  // dn is the context or above it: name its last RDN
  return {dn.depth() - c, ctx.depth() - c};
}

std::string join(const Dn& dn, size_t count, bool typeless) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += '.';
    out += format_rdn(dn.rdns[i], typeless);
  }
  return out;
}

}  // namespace

Dn Dn::parent() const {
  Dn p;
  if (!rdns.empty()) p.rdns.assign(rdns.begin() + 1, rdns.end());
  return p;
}

std::string canonical_type(std::string_view type) {
  // The standard types are ASCII: a type matches one when its bytes do,
  // ASCII letters compared without case.
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (std::string_view s : kStandardTypes)
    if (s.size() == type.size() &&
        std::equal(s.begin(), s.end(), type.begin(), [&](char a, char b) { return a == upper(b); }))
      return std::string(s);
  return std::string(type);
}

Expected<Dn> parse_dn(std::string_view text) {
  auto t = tokenize(text);
  if (!t) return fail(t.status());
  if (t->root) return Dn{};
  if (t->trailing_dots || t->rdns.empty()) return fail(ERR_INVALID_OBJECT_NAME);
  return finish(std::move(t->rdns), true);
}

namespace {

Expected<Dn> parse_context_text(std::string_view text) {
  bool blank = true;
  for (char c : text)
    if (!is_blank(c)) blank = false;
  if (blank) return Dn{};
  auto t = tokenize(text);
  if (!t) return fail(t.status());
  if (t->root) return Dn{};
  if (t->trailing_dots || t->rdns.empty()) return fail(ERR_INVALID_OBJECT_NAME);
  return finish(std::move(t->rdns), false);
}

}  // namespace

// A script names its entries relative to one name context, call after
// call: the last one parsed (per thread) is kept with its result.
Expected<Dn> parse_name_context(std::string_view text) {
  struct Last {
    bool have = false;
    std::string text;
    Expected<Dn> dn = Dn{};
  };
  thread_local Last last;
  if (last.have && last.text == text) return last.dn;
  last.dn = parse_context_text(text);
  last.text.assign(text);
  last.have = true;
  return last.dn;
}

Expected<Dn> resolve_name(std::string_view text, const Dn& ctx, uint32_t flags) {
  auto t = tokenize(text);
  if (!t) return fail(t.status());
  if (t->root) return Dn{};
  if (!(flags & DCV_CANONICALIZE_NAMES) || t->absolute) {
    if (t->trailing_dots || t->rdns.empty()) return fail(ERR_INVALID_OBJECT_NAME);
    return finish(std::move(t->rdns), true);
  }
  if (t->trailing_dots > ctx.depth()) return fail(ERR_INVALID_OBJECT_NAME);
  const bool leaf_first = !t->rdns.empty();
  std::vector<Rdn> rdns = std::move(t->rdns);
  rdns.insert(rdns.end(), ctx.rdns.begin() + static_cast<long>(t->trailing_dots), ctx.rdns.end());
  if (rdns.empty()) return Dn{};
  return finish(std::move(rdns), leaf_first);
}

Expected<Dn> parse_name(std::string_view text, std::string_view name_context, uint32_t flags) {
  Dn ctx;
  if (flags & DCV_CANONICALIZE_NAMES) {
    auto c = parse_name_context(name_context);
    if (!c) return fail(c.status());
    ctx = std::move(*c);
  }
  return resolve_name(text, ctx, flags);
}

Expected<Rdn> parse_rdn(std::string_view text) {
  auto t = tokenize(text);
  if (!t) return fail(t.status());
  if (t->root || t->absolute || t->trailing_dots || t->rdns.size() != 1)
    return fail(ERR_INVALID_OBJECT_NAME);
  for (const Ava& a : t->rdns[0].avas)
    if (a.type.empty()) return fail(ERR_INVALID_OBJECT_NAME);
  std::string text_of;
  if (Status s = check_rdn(t->rdns[0], text_of)) return fail(s);
  return std::move(t->rdns[0]);
}

std::string escape_value(std::string_view value) {
  std::string out;
  append_escaped(out, value);
  return out;
}

std::string format_rdn(const Rdn& rdn, bool typeless) {
  std::string out;
  append_rdn(out, rdn, typeless);
  return out;
}

std::string format_dn(const Dn& dn, bool typeless) {
  if (dn.is_root()) return std::string(kRootName);
  return join(dn, dn.depth(), typeless);
}

std::string format_name(const Dn& dn, const Dn& ctx, uint32_t flags) {
  const bool typeless = flags & DCV_TYPELESS_NAMES;
  if (dn.is_root()) return std::string(kRootName);
  if (!(flags & DCV_CANONICALIZE_NAMES) || ctx.is_root()) return format_dn(dn, typeless);
  const auto [count, dots] = relative_parts(dn, ctx);
  return join(dn, count, typeless) + std::string(dots, '.');
}

std::optional<std::string> format_plain_name(std::string_view full, std::string_view context_text,
                                             bool context_is_root, uint32_t flags) {
  static_assert(MAX_DN_CHARS <= MAX_RDN_BYTES - 1, "within the name's limit, each RDN is within its own");
  if (full.empty() || full.size() > MAX_DN_CHARS || full.size() > MAX_DN_BYTES - 1) return std::nullopt;
  const bool typeless = flags & DCV_TYPELESS_NAMES;
  // The RDNs to write: all, or those in front of the context's own text.
  size_t end = full.size();
  if ((flags & DCV_CANONICALIZE_NAMES) && !context_is_root) {
    if (full.size() <= context_text.size() + 1 || full.substr(full.size() - context_text.size()) != context_text ||
        full[full.size() - context_text.size() - 1] != '.')
      return std::nullopt;
    end = full.size() - context_text.size() - 1;
  }
  std::string out;
  for (size_t start = 0; start < full.size();) {
    size_t dot = full.find('.', start);
    if (dot == std::string_view::npos) dot = full.size();
    const std::string_view rdn = full.substr(start, dot - start);
    const size_t eq = rdn.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view type = rdn.substr(0, eq), value = rdn.substr(eq + 1);
    if (std::find(std::begin(kStandardTypes), std::end(kStandardTypes), type) == std::end(kStandardTypes))
      return std::nullopt;
    if (value.empty() || value.front() == ' ' || value.back() == ' ' || (type == "C" && value.size() > 2))
      return std::nullopt;
    for (size_t i = 0; i < value.size(); ++i) {
      const char c = value[i];
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                         c == '_' || (c == ' ' && value[i - 1] != ' ');
      if (!plain) return std::nullopt;
    }
    if (start < end) {
      if (!out.empty()) out += '.';
      out += typeless ? value : rdn;
    }
    start = dot + 1;
    if (dot == full.size() - 1) return std::nullopt;  // a trailing dot
  }
  return out;
}

std::string abbreviate_name(const Dn& dn, const Dn& ctx, uint32_t flags) {
  if (dn.is_root()) return std::string(kRootName);
  const auto [count, dots] = relative_parts(dn, ctx);
  const std::string typeless = join(dn, count, true) + std::string(dots, '.');
  if (flags & DCV_TYPELESS_NAMES) return typeless;
  // Without types only if reading it back gives the same types.
  auto back = resolve_name(typeless, ctx, DCV_CANONICALIZE_NAMES);
  if (back && same_dn(*back, dn)) return typeless;
  return join(dn, count, false) + std::string(dots, '.');
}

Expected<std::string> remove_all_types(std::string_view text) {
  auto t = tokenize(text);
  if (!t) return fail(t.status());
  if (t->root) return std::string(kRootName);
  std::string out = t->absolute ? "." : "";
  for (size_t i = 0; i < t->rdns.size(); ++i) {
    if (i) out += '.';
    out += format_rdn(t->rdns[i], true);
  }
  return out + std::string(t->trailing_dots, '.');
}

namespace {

// A text that blank normalisation leaves as it is and that folds by ASCII
// case alone: ASCII without tabs, blanks at its ends or runs of blanks.
bool plain_ascii(std::string_view s) {
  if (!s.empty() && (is_blank(s.front()) || is_blank(s.back()))) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80 || c == '\t' || (c == ' ' && i + 1 < s.size() && s[i + 1] == ' ')) return false;
  }
  return true;
}

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

bool ci_equal(std::string_view a, std::string_view b) {
  if (plain_ascii(a) && plain_ascii(b))
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
  auto norm = [](std::string_view s) { return fold_case(normalise_blanks(Marked{s, nullptr})); };
  return norm(a) == norm(b);
}

// One AVA, the usual RDN, is folded without building a folded copy.
std::string rdn_key(const Rdn& rdn) {
  if (rdn.avas.size() != 1) return format_rdn(folded(rdn, true));
  const Ava& a = rdn.avas[0];
  std::string out;
  if (!a.type.empty()) {
    out = fold_case(a.type);
    out += '=';
  }
  append_escaped(out, normalised_fold(a.value));
  return out;
}

std::string rdn_value_key(const Rdn& rdn) {
  if (rdn.avas.size() != 1) return format_rdn(folded(rdn, false), true);
  std::string out;
  append_escaped(out, normalised_fold(rdn.avas[0].value));
  return out;
}

std::string dn_key(const Dn& dn) {
  std::string out;
  for (size_t i = 0; i < dn.depth(); ++i) {
    if (i) out += '.';
    out += rdn_key(dn.rdns[i]);
  }
  return out;
}

bool same_rdn(const Rdn& a, const Rdn& b) { return rdn_key(a) == rdn_key(b); }

bool same_dn(const Dn& a, const Dn& b) {
  if (a.depth() != b.depth()) return false;
  for (size_t i = 0; i < a.depth(); ++i)
    if (!same_rdn(a.rdns[i], b.rdns[i])) return false;
  return true;
}

bool is_below(const Dn& dn, const Dn& ancestor) {
  return dn.depth() > ancestor.depth() && common_depth(dn, ancestor) == ancestor.depth();
}

}  // namespace nwc
