// Attribute values: shapes, canonical encoding, equality keys and the
// per-syntax checks.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "names/names.h"
#include "schema/schema.h"

namespace nwc {
namespace {

constexpr int kAny = -1;

struct Shape {
  int texts, nums, blobs;
};

Shape shape_of(uint32_t syntax) {
  switch (syntax) {
    case SYN_UNKNOWN: return {0, 0, 1};
    case SYN_DIST_NAME:
    case SYN_CE_STRING:
    case SYN_CI_STRING:
    case SYN_PR_STRING:
    case SYN_NU_STRING:
    case SYN_TEL_NUMBER:
    case SYN_CLASS_NAME: return {1, 0, 0};
    case SYN_CI_LIST: return {kAny, 0, 0};
    case SYN_BOOLEAN:
    case SYN_INTEGER:
    case SYN_COUNTER:
    case SYN_TIME:
    case SYN_INTERVAL: return {0, 1, 0};
    case SYN_OCTET_STRING: return {0, 0, 1};
    case SYN_FAX_NUMBER: return {1, 1, 1};
    case SYN_NET_ADDRESS: return {0, 1, 1};
    case SYN_OCTET_LIST: return {0, 0, kAny};
    case SYN_EMAIL_ADDRESS: return {1, 1, 0};
    case SYN_PATH: return {2, 1, 0};
    case SYN_REPLICA_POINTER: return {1, kAny, kAny};
    case SYN_OBJECT_ACL: return {2, 1, 0};
    case SYN_PO_ADDRESS: return {6, 0, 0};
    case SYN_TIMESTAMP: return {0, 3, 0};
    case SYN_STREAM: return {0, 0, 0};
    case SYN_BACK_LINK: return {1, 1, 0};
    case SYN_TYPED_NAME: return {1, 2, 0};
    case SYN_HOLD: return {1, 1, 0};
    default: return {0, 0, 0};
  }
}

bool shape_ok(const Value& v) {
  if (v.syntax >= kSyntaxCount) return false;
  const Shape s = shape_of(v.syntax);
  auto fits = [](int want, size_t have) { return want == kAny || static_cast<size_t>(want) == have; };
  if (!fits(s.texts, v.texts.size()) || !fits(s.nums, v.nums.size()) || !fits(s.blobs, v.blobs.size()))
    return false;
  if (v.syntax == SYN_REPLICA_POINTER)  // type, number, then one address type per address
    return v.nums.size() >= 2 && v.nums.size() - 2 == v.blobs.size();
  return true;
}

// ---- encoding helpers ---------------------------------------------------------
void put32(std::string& out, uint32_t n) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
}
void put_be32(std::string& out, uint32_t n) {
  for (int i = 3; i >= 0; --i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
}
void put_bytes(std::string& out, const std::string& b) {
  put32(out, static_cast<uint32_t>(b.size()));
  out += b;
}

struct Reader {
  std::string_view d;
  size_t pos = 0;
  bool ok = true;
  uint32_t u32() {
    if (pos + 4 > d.size()) {
      ok = false;
      return 0;
    }
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(static_cast<unsigned char>(d[pos + i])) << (8 * i);
    pos += 4;
    return n;
  }
  std::string bytes() {
    const uint32_t n = u32();
    if (!ok || pos + n > d.size()) {
      ok = false;
      return {};
    }
    std::string s(d.substr(pos, n));
    pos += n;
    return s;
  }
};

// ---- matching keys ------------------------------------------------------------
std::string trimmed_blanks(std::string_view s) {
  std::string out;
  bool pending = false;
  for (char c : s) {
    if (c == ' ' || c == '\t') {
      pending = !out.empty();
      continue;
    }
    if (pending) out += ' ';
    pending = false;
    out += c;
  }
  return out;
}
std::string key_ce(std::string_view s) { return trimmed_blanks(s); }
std::string key_ci(std::string_view s) { return fold_case(trimmed_blanks(s)); }
std::string key_num(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '-' && c != '\t') out += c;
  return out;
}
// What a name's text parses to, for canonical_dn_text and key_dn: an add
// names its entry in several values (its ACL), so the last few texts parsed
// are kept per thread (both are functions of the text alone).
struct ParsedName {
  bool ok = false;
  std::string canonical;  // format_dn of the parsed name
  std::string key;        // dn_key
};

const ParsedName& parsed_name(std::string_view s) {
  constexpr size_t kKept = 64;
  thread_local std::vector<std::pair<std::string, ParsedName>> kept;
  thread_local size_t next = 0;
  for (const auto& [text, p] : kept)
    if (text == s) return p;
  ParsedName p;
  if (auto dn = parse_dn(s)) {
    p.ok = true;
    p.canonical = format_dn(*dn);
    p.key = dn_key(*dn);
  }
  if (kept.size() < kKept) {
    kept.emplace_back(std::string(s), std::move(p));
    return kept.back().second;
  }
  auto& slot = kept[next];
  next = (next + 1) % kKept;
  slot = {std::string(s), std::move(p)};
  return slot.second;
}

std::string key_dn(std::string_view s) {
  if (is_special_subject(s)) return "\x01" + key_ci(s);
  const ParsedName& p = parsed_name(s);
  return p.ok ? p.key : "\x02" + key_ci(s);
}
std::string key_signed(uint32_t n) {
  std::string out;
  put_be32(out, n ^ 0x80000000u);
  return out;
}
std::string key_unsigned(uint32_t n) {
  std::string out;
  put_be32(out, n);
  return out;
}
std::string key_blob(const std::string& b) {
  std::string out;
  put_be32(out, static_cast<uint32_t>(b.size()));
  return out + b;
}

bool printable(std::string_view s) {
  static constexpr std::string_view kExtra = " '()+,-./:=?";
  for (char c : s) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum && kExtra.find(c) == std::string_view::npos) return false;
  }
  return true;
}

bool numeric(std::string_view s) {
  for (char c : s)
    if (!(c >= '0' && c <= '9') && c != ' ') return false;
  return true;
}

bool has_text(std::string_view s) { return !trimmed_blanks(s).empty(); }

bool valid_name(std::string_view s) { return parsed_name(s).ok; }

constexpr std::string_view kSpecialSubjects[] = {"[Public]", "[Root]", "[Creator]", "[Self]",
                                                 "[Inheritance Mask]"};

Status canonical_dn_text(std::string& s) {
  const ParsedName& p = parsed_name(s);
  if (!p.ok) return ERR_SYNTAX_VIOLATION;
  s = p.canonical;
  return 0;
}

}  // namespace

Value Value::text(uint32_t syntax, std::string s) { return Value{syntax, {std::move(s)}, {}, {}}; }
Value Value::integer(uint32_t syntax, int32_t n) {
  return Value{syntax, {}, {static_cast<uint32_t>(n)}, {}};
}
Value Value::bytes(uint32_t syntax, std::string b) { return Value{syntax, {}, {}, {std::move(b)}}; }
Value Value::acl(std::string attr, std::string subject, uint32_t privileges) {
  return Value{SYN_OBJECT_ACL, {std::move(attr), std::move(subject)}, {privileges}, {}};
}
Value Value::net_address(uint32_t type, std::string address) {
  return Value{SYN_NET_ADDRESS, {}, {type}, {std::move(address)}};
}
Value Value::typed_name(std::string object, uint32_t level, uint32_t interval) {
  return Value{SYN_TYPED_NAME, {std::move(object)}, {level, interval}, {}};
}
Value Value::timestamp(uint32_t seconds, uint16_t replica, uint16_t event) {
  return Value{SYN_TIMESTAMP, {}, {seconds, replica, event}, {}};
}

bool is_special_subject(std::string_view subject) {
  if (subject.find('[') == std::string_view::npos) return false;  // every one is bracketed
  for (std::string_view s : kSpecialSubjects)
    if (ci_equal(s, subject)) return true;
  return false;
}

std::string encode_value(const Value& v) {
  std::string out(1, '\x01');  // format version
  put32(out, static_cast<uint32_t>(v.texts.size()));
  for (const auto& t : v.texts) put_bytes(out, t);
  put32(out, static_cast<uint32_t>(v.nums.size()));
  for (uint32_t n : v.nums) put32(out, n);
  put32(out, static_cast<uint32_t>(v.blobs.size()));
  for (const auto& b : v.blobs) put_bytes(out, b);
  return out;
}

Expected<Value> decode_value(uint32_t syntax, std::string_view data) {
  if (data.empty() || data[0] != '\x01') return fail(ERR_INCONSISTENT_DATABASE);
  Reader r{data, 1};
  Value v;
  v.syntax = syntax;
  for (uint32_t n = r.u32(), i = 0; r.ok && i < n; ++i) v.texts.push_back(r.bytes());
  for (uint32_t n = r.u32(), i = 0; r.ok && i < n; ++i) v.nums.push_back(r.u32());
  for (uint32_t n = r.u32(), i = 0; r.ok && i < n; ++i) v.blobs.push_back(r.bytes());
  if (!r.ok || r.pos != data.size()) return fail(ERR_INCONSISTENT_DATABASE);
  return v;
}

Status normalise_value(Value& v) {
  if (!shape_ok(v)) return ERR_SYNTAX_VIOLATION;
  switch (v.syntax) {
    case SYN_DIST_NAME:
    case SYN_REPLICA_POINTER:
    case SYN_BACK_LINK:
    case SYN_TYPED_NAME:
    case SYN_HOLD:
    case SYN_PATH:
      return canonical_dn_text(v.texts[0]);
    case SYN_OBJECT_ACL:
      for (std::string_view s : kSpecialSubjects) {
        if (ci_equal(s, v.texts[1])) {
          v.texts[1] = std::string(s);
          return 0;
        }
      }
      return canonical_dn_text(v.texts[1]);
    default:
      return 0;
  }
}

std::string equality_key(const Value& v) {
  if (!shape_ok(v)) return encode_value(v);
  const auto& t = v.texts;
  const auto& n = v.nums;
  const auto& b = v.blobs;
  const std::string sep(1, '\0');
  std::string k;
  switch (v.syntax) {
    case SYN_UNKNOWN:
    case SYN_OCTET_STRING: return b[0];
    case SYN_DIST_NAME: return key_dn(t[0]);
    case SYN_CE_STRING:
    case SYN_PR_STRING: return key_ce(t[0]);
    case SYN_CI_STRING:
    case SYN_CLASS_NAME: return key_ci(t[0]);
    case SYN_NU_STRING:
    case SYN_TEL_NUMBER: return key_num(t[0]);
    case SYN_CI_LIST:
    case SYN_PO_ADDRESS:
      for (size_t i = 0; i < t.size(); ++i) k += (i ? sep : "") + key_ci(t[i]);
      return k;
    case SYN_BOOLEAN:
    case SYN_TIME: return key_unsigned(n[0]);
    case SYN_INTEGER:
    case SYN_COUNTER:
    case SYN_INTERVAL: return key_signed(n[0]);
    case SYN_FAX_NUMBER: return key_num(t[0]);
    case SYN_NET_ADDRESS: return key_unsigned(n[0]) + b[0];
    case SYN_OCTET_LIST:
      for (const auto& item : b) k += key_blob(item);
      return k;
    case SYN_EMAIL_ADDRESS: return key_unsigned(n[0]) + key_ci(t[0]);
    case SYN_PATH: return key_unsigned(n[0]) + key_dn(t[0]) + sep + key_ci(t[1]);
    case SYN_REPLICA_POINTER: return key_dn(t[0]);
    case SYN_OBJECT_ACL: return key_dn(t[1]) + sep + key_ci(t[0]) + sep + key_unsigned(n[0]);
    case SYN_TIMESTAMP: return key_unsigned(n[0]) + key_unsigned(n[1]) + key_unsigned(n[2]);
    case SYN_STREAM: return {};
    case SYN_BACK_LINK: return key_dn(t[0]) + sep + key_unsigned(n[0]);
    case SYN_TYPED_NAME: return key_dn(t[0]) + sep + key_unsigned(n[0]) + key_unsigned(n[1]);
    case SYN_HOLD: return key_dn(t[0]);
    default: return encode_value(v);
  }
}

Status check_syntax(const Value& v) {
  if (!shape_ok(v)) return ERR_SYNTAX_VIOLATION;
  for (const auto& t : v.texts)
    if (t.find('\0') != std::string::npos) return ERR_SYNTAX_VIOLATION;
  const auto& t = v.texts;
  const auto& n = v.nums;
  bool ok = true;
  switch (v.syntax) {
    case SYN_DIST_NAME:
    case SYN_BACK_LINK:
    case SYN_TYPED_NAME:
    case SYN_HOLD:
    case SYN_REPLICA_POINTER: ok = valid_name(t[0]); break;
    case SYN_CE_STRING:
    case SYN_CI_STRING:
    case SYN_CLASS_NAME: ok = has_text(t[0]); break;
    case SYN_PR_STRING:
    case SYN_TEL_NUMBER: ok = has_text(t[0]) && printable(t[0]); break;
    case SYN_NU_STRING: ok = has_text(t[0]) && numeric(t[0]); break;
    case SYN_CI_LIST: ok = std::all_of(t.begin(), t.end(), has_text); break;
    case SYN_BOOLEAN: ok = n[0] <= 1; break;
    case SYN_FAX_NUMBER:
      ok = has_text(t[0]) && printable(t[0]) && n[0] <= v.blobs[0].size() * 8;
      break;
    case SYN_EMAIL_ADDRESS: ok = has_text(t[0]); break;
    case SYN_PATH: ok = valid_name(t[0]); break;
    case SYN_OBJECT_ACL: ok = has_text(t[0]) && (is_special_subject(t[1]) || valid_name(t[1])); break;
    case SYN_TIMESTAMP: ok = n[1] <= 0xFFFF && n[2] <= 0xFFFF; break;
    default: break;
  }
  return ok ? 0 : ERR_SYNTAX_VIOLATION;
}

}  // namespace nwc
